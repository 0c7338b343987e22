#!/usr/bin/env bash
# Installs the Debian packages Hlasivo needs to build, run and test, but only those missing.
# Usage: scripts/deps.sh run|test
set -euo pipefail
mode=${1:-run}
need=(cmake g++ pkg-config libsdl2-dev libfreetype-dev libfontconfig-dev libx11-dev libxrandr-dev
      fonts-liberation fonts-liberation2 fonts-dejavu-core fonts-dejavu-extra
      libosmesa6-dev libegl-dev libgl-dev)
if [ "$mode" = test ]; then
  need+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils imagemagick libcairo2-dev libx11-dev libxcomposite-dev)
fi
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
