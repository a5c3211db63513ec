#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DKRONWEL_BUILD_TESTS=OFF
exec build/release/bin/kronwel
