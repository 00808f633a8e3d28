#!/usr/bin/env bash
# ZARNITH.dll must be a PE32+ x86-64 DLL that needs nothing but TCC's TakeCmd.dll, onig.dll and
# Windows system DLLs, and that imports from onig.dll only what every Oniguruma 6.x exports
# (anything newer is looked up at run time, since TCC may have its own, older onig.dll loaded),
# and from TakeCmd.dll only names TCC's TakeCmd.dll exports (Windows refuses a DLL with an import it
# cannot resolve; Wine loads it anyway). The stand-in TakeCmd.dll exports those names and no other
# host function, so that no test passes on a name TCC lacks.
#   check_imports.sh ZARNITH.dll host/takecmd-exports.txt [stand-in TakeCmd.dll]
set -euo pipefail
dll=$1
exports_list=$2
standin=${3:-}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

file_header=$("$objdump" -f "$dll")
grep -q "file format pei-x86-64" <<<"$file_header" || { echo "not a PE32+ x86-64 file"; exit 1; }

dump=$("$objdump" -p "$dll")
allowed='^(TakeCmd\.dll|onig\.dll|KERNEL32\.dll|USER32\.dll|SHELL32\.dll|PSAPI\.DLL|msvcrt\.dll|ADVAPI32\.dll|GDI32\.dll|VERSION\.dll)$'
fail=0
while read -r name; do
  if ! grep -Eiq "$allowed" <<<"$name"; then echo "unexpected import: $name"; fail=1; fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

onig_allowed='^(onig_new|onig_region_new|onig_search|onig_region_free|onig_free|onig_error_code_to_str|OnigEncodingUTF16_LE|OnigSyntax(Perl|Ruby|Grep|PosixExtended|GnuRegex|Java))$'
while read -r symbol; do
  if ! grep -Eq "$onig_allowed" <<<"$symbol"; then echo "unexpected onig.dll import: $symbol"; fail=1; fi
done < <(awk '/DLL Name: onig.dll/{on=1; next} /DLL Name:/{on=0} on && NF==3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$dump")

# The first word of each line of the list that is no comment.
tcc_exports=$(sed -e '/^#/d' -e '/^\s*$/d' "$exports_list" | awk '{print $1}' | LC_ALL=C sort -u)
while read -r symbol; do
  if ! grep -qxF -- "$symbol" <<<"$tcc_exports"; then echo "TakeCmd.dll import that TCC does not export: $symbol"; fail=1; fi
done < <(awk '/DLL Name: TakeCmd.dll/{on=1; next} /DLL Name:/{on=0} on && NF==3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$dump")
if [ -n "$standin" ]; then
  while read -r symbol; do
    case $symbol in StandIn_*) continue ;; esac
    if ! grep -qxF -- "$symbol" <<<"$tcc_exports"; then echo "stand-in export that TCC does not have: $symbol"; fail=1; fi
  done < <("$objdump" -p "$standin" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p')
fi

# Exactly the names the host looks up are exported, undecorated: the protocol's five and the 45
# registered names' entries. Anything more would be internal code exported by accident.
expected="InitializePlugin GetPluginInfo ShutdownPlugin Help Usage
  _ALTENTER _BUFROWS _BUFCOLS _BUFX _BUFY _CURCHAR _CURSOR _FGCONSOLE _FONTINFO _FONTINFO2 _FSMODE
  _MAXCON _MOUSECX _MOUSECY _QE _RULER _TRAYH _TRAYW _WINROWS _WINCOLS _XCLOSE f_BUFCHAR f_ICONS
  ALTENTER CLUP CONHELP CONSIZE CSBFIND CURSOR CYCLE FCLS GENBREAK GOTOXY QE REPAINT RSTRCON SAVECON
  SAVECSB SCROLL SETFONT SETICON SYSMENU XCLOSE VBEEP KEYHANDLER"
want=$(tr -s ' \n' '\n' <<<"$expected" | sed '/^$/d' | LC_ALL=C sort)
got=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' <<<"$dump" | LC_ALL=C sort)
for name in $(LC_ALL=C comm -23 <(echo "$want") <(echo "$got")); do echo "missing export: $name"; fail=1; done
for name in $(LC_ALL=C comm -13 <(echo "$want") <(echo "$got")); do echo "unexpected export: $name"; fail=1; done
[ $fail = 0 ] && echo "imports and exports: ok"
exit $fail
