#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts the clock. Without a display the
# clock runs on a virtual one (Xvfb with a window manager and a tray) and a screenshot is saved
# to build/release/screenshot.png after a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DKRONWEL_BUILD_TESTS=OFF
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/bin/kronwel
fi

n=71
while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=:$n
sleep 1
openbox --sm-disable >/dev/null 2>&1 &
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
build/release/bin/kronwel &
clock=$!
sleep 5
import -window root build/release/screenshot.png && echo "Screenshot: build/release/screenshot.png"
echo "Kronwel runs on the virtual display $DISPLAY; Ctrl-C ends it."
trap 'kill -TERM $clock 2>/dev/null; wait $clock; kill $xvfb 2>/dev/null' EXIT INT TERM
wait $clock
