#!/usr/bin/env bash
# zhost never waits forever: a CSBFIND match and the F1 help screen with no key queued are
# answered after a few seconds (with a note naming QUEUEKEYS), and the script runs to its end.
#   zhost_unattended.sh BIN_DIR SCRIPT     (inside scripts/wine-env.sh)
set -uo pipefail
cd "$1"
out=$(timeout 120 wine zhost.exe "$2" 2>/dev/null | tr -d '\r')
rc=$?
fail=0
expect() { grep -Fq -- "$1" <<<"$out" || { echo "missing: $1"; fail=1; }; }
expect "CSBFIND is waiting for a key and the script queued none: zhost types q. QUEUEKEYS"
expect "CONHELP is waiting for a key and the script queued none: zhost types Escape."
expect "the script went on to its end"
[ $rc = 0 ] || { echo "zhost ended with $rc (124: it was still waiting after 120 s)"; fail=1; }
[ $fail = 0 ] || printf '%s\n' "$out"
exit $fail
