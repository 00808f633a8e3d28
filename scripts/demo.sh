#!/usr/bin/env bash
# Builds ZARNITH and runs the scripted demonstration in the stand-in host under Wine:
# every command is printed with its output and result, and the console window is photographed
# at a few moments into build/demo/*.png.
set -euo pipefail
cd "$(dirname "$0")/.."

# The build speaks only when it fails; its whole output is in the log.
mkdir -p build
log=build/build.log
echo "Building ZARNITH (the first build takes a few minutes; log: $log) ..."
if ! { bash scripts/setup-debian.sh && cmake --preset mingw && cmake --build --preset mingw; } > "$log" 2>&1; then
  tail -40 "$log"
  echo "The build failed; the whole log is $log."
  exit 1
fi
echo "Running demo/demo.zs in the stand-in host under Wine ..."
rm -rf build/demo
mkdir -p build/demo
scripts/wine-env.sh build bash -c '
  export ZARNITH_SCREENSHOTS="Z:$(pwd)/build/demo"
  scripts/screenshots.sh build/demo &
  taker=$!
  (cd build/bin && wine zhost.exe ../../demo/demo.zs | cat)
  rc=$?
  kill "$taker" 2>/dev/null; wait "$taker" 2>/dev/null
  exit $rc'
ls build/demo/*.png 2>/dev/null | sed "s/^/screenshot: /" || true
