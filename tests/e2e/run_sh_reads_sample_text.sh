#!/usr/bin/env bash
# The first run as a user meets it: ./run.sh with no arguments sets up, builds, reads the
# bundled Czech text with voice CZ to its end and exits 0. Sound goes to SDL's disk driver
# (a file of raw output samples), so the test can check that the whole text was heard.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw"
# A private X server: no other test's window or key press can reach this one.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" \
  "$root/run.sh" </dev/null >"$out/stdout" 2>"$out/stderr" || {
  echo "run.sh failed with exit code $?"; cat "$out/stderr"; exit 1; }
[ -s "$out/stdout" ] && { echo "unexpected output:"; cat "$out/stdout"; exit 1; }
bytes=$(stat -c %s "$out/audio.raw")
seconds=$((bytes / 44100))   # 22,050 Hz, mono, 16-bit
echo "heard ${seconds} s of audio"
# The sample text takes about 75 s at speed 100; anything much shorter was cut off.
[ "$seconds" -ge 60 ] || { echo "the text was not read to its end"; exit 1; }
