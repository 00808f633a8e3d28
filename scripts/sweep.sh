#!/usr/bin/env bash
# The hardening sweep on the hardened build: _FORTIFY_SOURCE=2 and the stack protector in every
# program and DLL, Wine's heap checking on (WINEDEBUG=warn+heap). Fails when a test fails or when
# Wine's heap checker reports anything.
#   scripts/sweep.sh [CALLS] [SEED]     (defaults: 20000 calls, the built-in seed)
# A longer run: scripts/sweep.sh 200000. The call being made is always in
# build-hardened/bin/sweep-last-call.txt (seed and index replay it: ZARNITH_SWEEP_FIRST=index
# ZARNITH_SWEEP_CALLS=1); the tables land in build-hardened/bin/sweep-summary.txt.
set -uo pipefail
cd "$(dirname "$0")/.."

calls="${1:-20000}"
source scripts/quiet-build.sh
quiet_build build-hardened "the hardened preset" bash -c 'cmake --preset hardened && cmake --build --preset hardened'

log="build-hardened/sweep.log"
rm -f build-hardened/bin/sweep-summary.txt
export ZARNITH_SWEEP_CALLS="$calls"
# Wine's heap checking walks the heap on every allocation and free, so a call's time grows with
# the square of the blocks it allocates. Compiling a long case-insensitive CSBFIND pattern costs
# Oniguruma about five blocks per character (a 26,000-character one: 130,000 blocks, 2.5 s
# without heap checking, 40 s with it). The limit is there to name a call that never returns, so
# it is set well above that rather than at the 20 s that suits a run without heap checking.
export ZARNITH_SWEEP_TIMEOUT_MS="${ZARNITH_SWEEP_TIMEOUT_MS:-240000}"
echo "Running the sweep: $calls calls with Wine's heap checking (log: build-hardened/sweep.log) ..."
[ $# -ge 2 ] && export ZARNITH_SWEEP_SEED="$2"
WINEDEBUG=warn+heap scripts/wine-env.sh build-hardened \
  bash -c 'cd build-hardened/bin && wine sweep_tests.exe' > "$log" 2>&1
rc=$?

# Wine's heap checker writes on its own channel: "err:heap:..." or "warn:heap:...".
heap=$(grep -E '(err|warn):heap' "$log" | head -20)
tail -5 "$log"
if [ -n "$heap" ]; then
  echo "Wine's heap checker reported problems (full log: $log):"
  echo "$heap"
  exit 1
fi
if [ $rc -ne 0 ]; then
  echo "sweep_tests failed (rc $rc); full log: $log"
  exit $rc
fi
echo "sweep clean: $calls calls, no heap reports (log: $log, tables: build-hardened/bin/sweep-summary.txt)"
