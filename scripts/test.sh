#!/usr/bin/env bash
# Builds everything and runs every test program under Wine on a console of its own.
# On a fresh Debian 12 machine it first installs what is missing (needs root).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake --preset mingw > build-configure.log 2>&1 || { cat build-configure.log; exit 1; }
rm -f build-configure.log
cmake --build --preset mingw
scripts/wine-env.sh build ctest --test-dir build --output-on-failure "$@"
