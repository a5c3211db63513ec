#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts the clock against its own clock
# server: orvclockd's demo on a free loopback port, with its database and the clock's program
# folder in build/release/demo. Without a display the clock runs on a virtual one (Xvfb with a
# window manager and a tray) and a screenshot is saved to build/release/screenshot.png after a
# few seconds. The server stops when the clock ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DKRONWEL_BUILD_TESTS=OFF

demo=build/release/demo
mkdir -p "$demo"
build/release/bin/orvclockd demo --dir "$demo" --port 0 >"$demo/orvclockd.log" 2>&1 &
server=$!
stop_server() { kill -TERM $server 2>/dev/null; wait $server 2>/dev/null || true; }
trap stop_server EXIT
url=""
for _ in $(seq 100); do
  kill -0 $server 2>/dev/null || { cat "$demo/orvclockd.log"; exit 1; }
  url=$(sed -n 's/^orvclockd listening on //p' "$demo/orvclockd.log")
  if [ -n "$url" ] && (exec 3<>"/dev/tcp/127.0.0.1/${url##*:}" &&
      printf 'GET /sync.html HTTP/1.0\r\n\r\n' >&3 && head -c 12 <&3 | grep -q ' 200') 2>/dev/null; then
    break
  fi
  url=""
  sleep 0.1
done
[ -n "$url" ] || { echo "orvclockd did not answer; see $demo/orvclockd.log"; exit 1; }
echo "Clock server: $url (log: $demo/orvclockd.log)"
# The clock's program folder: the server wrote its .cfg files; the shipped data joins them.
export KRONWEL_HOME="$PWD/$demo/kronwel"
find build/release/bin -mindepth 1 -maxdepth 1 ! -name kronwel ! -name notalu ! -name orvclockd \
  -exec cp -rn {} "$KRONWEL_HOME/" \;

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  build/release/bin/kronwel
  exit
fi

n=71
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; stop_server' EXIT
export DISPLAY=:$n
sleep 1
openbox --sm-disable >/dev/null 2>&1 &
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
build/release/bin/kronwel &
clock=$!
sleep 5
import -window root build/release/screenshot.png && echo "Screenshot: build/release/screenshot.png"
echo "Kronwel runs on the virtual display $DISPLAY; Ctrl-C ends it."
trap 'kill -TERM $clock 2>/dev/null; wait $clock; kill $xvfb 2>/dev/null; stop_server' EXIT INT TERM
wait $clock
