#!/bin/sh
# SPDX-License-Identifier: MIT
# check-imports.sh OBJDUMP EXE: the program must run from a bare folder, so it may import
# only DLLs that every Windows has. A MinGW runtime DLL (libstdc++, libgcc, winpthread)
# among them means the static linking did not take.
set -eu
dlls=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "$dlls"
[ -n "$dlls" ] || { echo "no imports found: not a PE file?"; exit 1; }
status=0
for dll in $dlls; do
    case $(echo "$dll" | tr '[:upper:]' '[:lower:]') in
        kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll | advapi32.dll | \
            shell32.dll | comctl32.dll | ole32.dll | shcore.dll | uxtheme.dll | dwmapi.dll | \
            hid.dll | setupapi.dll) ;;
        *) echo "not a system DLL: $dll"; status=1 ;;
    esac
done
exit $status
