#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (KRONWEL_SANITIZE=OFF builds without) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh build/test -DKRONWEL_SANITIZE="${KRONWEL_SANITIZE:-ON}" -DKRONWEL_BUILD_TESTS=ON
ctest --test-dir build/test --output-on-failure -j2
