#!/usr/bin/env bash
# Builds ZARNITH and runs the scripted demonstration in the stand-in host under Wine:
# every command is printed with its output and result, and the console window is photographed
# at a few moments into build/demo/*.png.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/quiet-build.sh
quiet_build build ZARNITH \
  bash -c 'bash scripts/setup-debian.sh && cmake --preset mingw && cmake --build --preset mingw'
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
# The web page that SAVECSB /H wrote, as a browser shows it, where one is installed.
browser=$(command -v chromium-headless-shell chromium 2>/dev/null | head -1 || true)
if [ -n "$browser" ] && [ -f build/demo/savecsb.html ]; then
  "$browser" --headless --no-sandbox --disable-gpu --window-size=800,400 \
    --screenshot="$PWD/build/demo/savecsb-page.png" "file://$PWD/build/demo/savecsb.html" > /dev/null 2>&1 || true
  if [ -f build/demo/savecsb-page.png ]; then
    echo "screenshot: build/demo/savecsb-page.png (the page in $(basename "$browser"))"
  fi
fi
