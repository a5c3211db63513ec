#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need. Quick when all are there.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config   # build
  clang libclang-rt-14-dev libgtest-dev     # tests: sanitizers and fuzzers
  libsimpleini-dev                          # INI files
  libcpp-httplib-dev libsqlite3-dev         # orvclockd: HTTP server and its database
  qt6-base-dev qt6-translations-l10n        # windows, tray, local endpoints; Japanese dialogs
  fonts-ipafont-gothic                      # Japanese faces: the log window, the clock's Gothic texts
  fonts-dseg fonts-liberation fonts-dejavu-core  # the clock faces: seven segments, Tahoma/Verdana/Arial stand-ins
  libjpeg62-turbo-dev                       # JPEG panel pictures of the skins
  tzdata                                    # the tests pin a time zone
  xvfb xauth openbox trayer xdotool x11-utils imagemagick  # real windows in the tests
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
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
