#!/usr/bin/env bash
# A build step writes nothing outside its own folder: run with TMPDIR, TMP and TEMP pointing at an
# empty folder that stands for /tmp (the real one is shared with other builds), that folder must
# stay empty and the step's folder must hold only what the step makes.
#   stays_in_its_folder.sh WORK EXPECTED COMMAND...
# COMMAND writes into WORK/out and is to leave exactly EXPECTED (file names, blank-separated) there.
set -uo pipefail
work=$1 expected=$2
shift 2
rm -rf "$work"
mkdir -p "$work/tmp" "$work/out"
TMPDIR="$work/tmp" TMP="$work/tmp" TEMP="$work/tmp" "$@" || { echo "the step failed"; exit 1; }
fail=0
left=$(ls -A "$work/tmp")
[ -z "$left" ] || { echo "left in the temporary folder:" $left; fail=1; }
made=$(ls -A "$work/out" | sort | tr '\n' ' ')
want=$(tr ' ' '\n' <<<"$expected" | sort | tr '\n' ' ')
[ "$made" = "$want" ] || { echo "the step's folder holds: $made (expected: $want)"; fail=1; }
[ $fail = 1 ] || rm -rf "$work"
exit $fail
