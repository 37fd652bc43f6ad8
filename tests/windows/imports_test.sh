#!/usr/bin/env bash
# Only DLLs that every Windows has may be imported, so nothing needs to go
# beside the programs (oleacc, ole32 and oleaut32 serve screen readers).
# Usage: imports_test.sh OBJDUMP EXE...
set -uo pipefail
objdump="$1"; shift
bad=0
for exe in "$@"; do
  while read -r dll; do
    case "${dll,,}" in
      advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | \
        ole32.dll | oleacc.dll | oleaut32.dll | shell32.dll | user32.dll) ;;
      *) echo "$exe imports $dll" >&2; bad=1 ;;
    esac
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
[ $bad -eq 0 ] && echo "imports: only system DLLs"
exit $bad
