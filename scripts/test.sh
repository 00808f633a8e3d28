#!/usr/bin/env bash
# Builds everything and runs every test program under Wine on a console of its own.
# On a fresh Debian 12 machine it first installs what is missing (needs root).
#   scripts/test.sh [CTEST OPTIONS...]      e.g. scripts/test.sh -R buffer_tests
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/quiet-build.sh
quiet_build build "ZARNITH and its tests" \
  bash -c 'bash scripts/setup-debian.sh && cmake --preset mingw && cmake --build --preset mingw'
echo "Running the tests (about 3 minutes, most of it the hardening sweep) ..."
# From inside the build folder: ctest then has no folder change to announce.
scripts/wine-env.sh build bash -c 'cd build && ctest --output-on-failure "$@"' ctest "$@"
