#!/usr/bin/env bash
# The words the README lists for zhost are the words zhost runs (zhost --help lists them from the
# table its dispatch uses).
#   zhost_words.sh BIN_DIR README     (inside scripts/wine-env.sh)
set -uo pipefail
readme=$(realpath "$2")
cd "$1"
runs=$(timeout 60 wine zhost.exe --help 2>/dev/null | tr -d '\r' | sed -n 's/^  \([A-Z][A-Z]*\)\b.*/\1/p' | sort)
listed=$(sed -n '/a few words of its own/,/`EXIT`;/p' "$readme" | grep -o '`[A-Z][A-Z]*[ `]' | tr -d '` ' | sort)
if [ -z "$runs" ] || [ "$runs" != "$listed" ]; then
  echo "zhost --help (<) and the README's list of zhost's words (>) differ:"
  diff <(printf '%s\n' "$runs") <(printf '%s\n' "$listed")
  exit 1
fi
