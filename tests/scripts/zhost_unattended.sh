#!/usr/bin/env bash
# zhost never waits forever: a CSBFIND match and the F1 help screen with no key queued are
# answered after a few seconds (with a note naming QUEUEKEYS), and the script runs to its end.
# Queued keys go one to each wait, which the transcript describes; ROWS shows the window's rows.
#   zhost_unattended.sh BIN_DIR SCRIPT     (inside scripts/wine-env.sh)
set -uo pipefail
cd "$1"
out=$(timeout 120 wine zhost.exe "$2" 2>/dev/null | tr -d '\r')
rc=$?
fail=0
expect() { grep -Fq -- "$1" <<<"$out" || { echo "missing: $1"; fail=1; }; }
expect "CSBFIND is waiting for a key and the script queued none: zhost types q. QUEUEKEYS"
expect "CONHELP is waiting for a key and the script queued none: zhost types Escape."
expect '(match shown in exchanged colours at column 0, row 0: "findme"; zhost types n, as queued)'
expect '(match shown in exchanged colours at column 0, row 1: "findme"; zhost types n, as queued)'
expect "(queued keys not read: q)"
expect "  1 | findme two"
expect "> ECHO the script went on to its end"
expect "the script went on to its end"
[ $rc = 0 ] || { echo "zhost ended with $rc (124: it was still waiting after 120 s)"; fail=1; }
[ $fail = 0 ] || printf '%s\n' "$out"
exit $fail
