#!/usr/bin/env bash
# Sets everything up, builds, and reads a text aloud.
#   ./run.sh                      reads the bundled Czech sample text with voice CZ
#   ./run.sh TEXT [VOICE [SPEED]] reads TEXT with VOICE (a folder under voices/) at SPEED percent
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
cd "$root"
scripts/deps.sh run
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DHLASIVO_TESTS=OFF >/dev/null
cmake --build build-run -j"$(nproc)" --target hlasivo >/dev/null
if [ $# -eq 0 ]; then
  set -- "$root/samples/ukazka.txt"
fi
text=$(realpath "$1"); shift
# The voice is looked up in the current directory: voices live under voices/.
cd "$root/voices"
exec "$root/build-run/hlasivo" "$text" "$@"
