#!/usr/bin/env bash
# Draws the shipped pictures again: the skins in data/skins and the program's bitmaps in
# clock/face/res. Run after changing artwork/make_artwork.cpp and commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/artwork -G Ninja -DKRONWEL_BUILD_TESTS=OFF >/dev/null
cmake --build build/artwork --target make_artwork
QT_QPA_PLATFORM=offscreen build/artwork/artwork/make_artwork data/skins clock/face/res
