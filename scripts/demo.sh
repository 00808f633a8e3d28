#!/usr/bin/env bash
# Builds ZARNITH and runs the scripted demonstration in the stand-in host under Wine:
# every command is printed with its output and result.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh > /dev/null
cmake --preset mingw > /dev/null
cmake --build --preset mingw > /dev/null
scripts/wine-env.sh build bash -c 'cd build/bin && wine zhost.exe ../../demo/demo.zs | cat'
