#!/usr/bin/env bash
# Installs what is missing, builds everything with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (KRONWEL_SANITIZE=OFF builds without) and runs every test,
# the fuzzers among them for KRONWEL_FUZZ_SECONDS each (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh build/test -DCMAKE_CXX_COMPILER=clang++ -DKRONWEL_BUILD_TESTS=ON \
  -DKRONWEL_SANITIZE="${KRONWEL_SANITIZE:-ON}" \
  -DKRONWEL_FUZZ=ON -DKRONWEL_FUZZ_SECONDS="${KRONWEL_FUZZ_SECONDS:-30}"
ctest --test-dir build/test --output-on-failure -j2
