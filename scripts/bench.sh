#!/usr/bin/env bash
# Builds an optimised tree and prints the benchmark figures beside their targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh build/bench -DCMAKE_BUILD_TYPE=Release -DKRONWEL_BUILD_TESTS=ON
TZ=Asia/Tokyo build/bench/tests/bench_foundation
QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo build/bench/tests/bench_face
build/bench/tests/bench_app build/bench/bin/kronwel
TZ=Asia/Tokyo build/bench/tests/bench_sync
build/bench/tests/bench_window
scripts/bench_server.sh build/bench/bin/orvclockd
