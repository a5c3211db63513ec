#!/usr/bin/env bash
# Takes the README's pictures of the clock faces: the real program against orvclockd's demo
# on a virtual display, once per face (digital, mini digital, analog, and the digital face
# stacked), each cropped to the clock with a margin of desktop around it.
#   scripts/screenshots.sh [build dir]   (default build/release, built when missing)
# The pictures go to docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -x "$build/bin/kronwel" ] || [ ! -x "$build/bin/orvclockd" ]; then
  scripts/setup-debian.sh
  scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DKRONWEL_BUILD_TESTS=OFF
fi
work=$(mktemp -d)
cleanup() {
  [ -n "${clock:-}" ] && kill -TERM "$clock" 2>/dev/null && wait "$clock" 2>/dev/null
  [ -n "${server:-}" ] && kill -TERM "$server" 2>/dev/null && wait "$server" 2>/dev/null
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/orvclockd" demo --dir "$work/demo" --port 0 >"$work/orvclockd.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  grep -q '^orvclockd listening on ' "$work/orvclockd.log" 2>/dev/null && [ -f "$work/demo/kronwel/httpctrl.cfg" ] && break
  sleep 0.1
done
home="$work/demo/kronwel"
find "$build/bin" -mindepth 1 -maxdepth 1 ! -name kronwel ! -name notalu ! -name orvclockd -exec cp -rn {} "$home/" \;
export KRONWEL_HOME="$home" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

n=81
while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 800x480x24 -nolisten tcp &
xvfb=$!
export DISPLAY=:$n
sleep 1
# A calm desktop behind the see-through corners.
convert -size 800x480 gradient:'#5d6f63-#2f3b3a' "$work/desk.png"
display -window root "$work/desk.png" || true
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 0.5

mkdir -p docs
shoot() {  # name FMode Rotate
  # Three servers at night, in the morning and by day (time bases as a synchronisation
  # leaves them), the chaos alarm on.
  printf '[Window]\r\nFMode=%s\r\nRotate=%s\r\nFLeft=40\r\nFTop=40\r\nFAlpha=100\r\n[Network]\r\nStartupSync=0\r\n[Alarm]\r\nChaosAlarmEnabled=1\r\n' "$2" "$3" \
    >"$home/kronwel.ini"
  printf '[OrvTimeSystemCache]\r\nOrwBaseWeek0=1\r\nOrwBaseHour0=2\r\nOrwBaseMin0=40\r\nOrwBaseWeek1=3\r\nOrwBaseHour1=7\r\nOrwBaseMin1=5\r\nOrwBaseWeek2=5\r\nOrwBaseHour2=13\r\nOrwBaseMin2=30\r\n' \
    >>"$home/kronwel.ini"
  "$build/bin/kronwel" >/dev/null 2>&1 &
  clock=$!
  sleep 6
  local id geometry w h
  id=$(xdotool search --onlyvisible --name '^Kronwel$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  w=$((WIDTH + 24)); h=$((HEIGHT + 24))
  import -window root -crop "${w}x${h}+$((X - 12))+$((Y - 12))" +repage "docs/$1.png"
  echo "docs/$1.png: face ${WIDTH}x${HEIGHT}"
  kill -TERM "$clock"; wait "$clock" 2>/dev/null || true
  clock=""
}
shoot face-digital 0 0
shoot face-mini 1 0
shoot face-analog 2 0
shoot face-digital-stacked 0 1
