#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need. Quick when all are there.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config   # build
  clang libclang-rt-14-dev libgtest-dev     # tests: sanitizers and fuzzers
  libsimpleini-dev                          # INI files
  libcurl4-openssl-dev                      # the HTTP client
  libcpp-httplib-dev libsqlite3-dev         # orvclockd: HTTP server and its database
  qt6-base-dev qt6-translations-l10n        # windows, tray, local endpoints; Japanese dialogs
  libxcb1-dev libxcb-keysyms1-dev           # X11: the game's window, global hotkeys
  libsdl2-mixer-dev                         # the sound engine
  sox libsox-fmt-mp3 espeak-ng              # scripts/make_sounds.sh: the shipped sounds
  fonts-ipafont-gothic                      # Japanese faces: the log window, the clock's Gothic texts
  fonts-dseg fonts-liberation fonts-dejavu-core  # the clock faces: seven segments, Tahoma/Verdana/Arial stand-ins
  libjpeg62-turbo-dev                       # JPEG panel pictures of the skins
  tzdata                                    # the tests pin a time zone
  xvfb xauth openbox trayer xdotool x11-utils imagemagick  # real windows in the tests
  nginx-light tinyproxy chrony openssl      # loopback peers: web server, proxy, SNTP server
)

missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# The tests run their own nginx, tinyproxy and chronyd on free ports. A policy file that
# refuses every service start keeps the packages from starting the system's copies; one that
# was already there (containers have one) is left as it was.
policy=""
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
  $sudo chmod 755 /usr/sbin/policy-rc.d
  policy=1
fi
trap '[ -z "$policy" ] || $sudo rm -f /usr/sbin/policy-rc.d' EXIT
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

# A service of a package installed just now that started all the same is stopped and kept
# from starting at boot. Services that were there before are not ours to touch.
declare -A service_of=([nginx-light]=nginx [tinyproxy]=tinyproxy [chrony]=chrony)
declare -A pidfile_of=([nginx]=/run/nginx.pid [tinyproxy]=/run/tinyproxy/tinyproxy.pid [chrony]=/run/chrony/chronyd.pid)
for p in "${missing[@]}"; do
  s=${service_of[$p]:-}
  [ -n "$s" ] || continue
  if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now "$s" >/dev/null 2>&1 || true
  fi
  pidfile=${pidfile_of[$s]}
  if [ -s "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    $sudo kill "$(cat "$pidfile")" || true
  fi
done
