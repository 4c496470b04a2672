#!/usr/bin/env bash
# Cross-builds velmora.exe with MinGW-w64 and checks what it imports and carries.
# Usage: scripts/build-windows.sh [build dir]   (build/mingw by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build/mingw}"
scripts/install-deps.sh
cmake --preset mingw -B "$build_dir" >/dev/null
cmake --build "$build_dir"
exe="$build_dir/velmora.exe"
objdump=x86_64-w64-mingw32-objdump

headers="$("$objdump" -p "$exe")"

# A GUI program.
if ! grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers"; then
  echo "$exe: not a Windows GUI program" >&2
  exit 1
fi

# It must run on a bare system: only system DLLs, none of MinGW's run-time DLLs.
mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
if [ ${#dlls[@]} -eq 0 ]; then
  echo "$exe: no imports found" >&2
  exit 1
fi
bad=0
for dll in "${dlls[@]}"; do
  case "${dll,,}" in
    user32.dll | comctl32.dll | kernel32.dll | netapi32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *)
      echo "$exe: imports $dll, which is not a system DLL" >&2
      bad=1
      ;;
  esac
done
[ "$bad" -eq 0 ] || exit 1
echo "$exe: imports ${dlls[*]}"

# Its resource section carries the dialogs, the icon and the version block.
checker="$build_dir/pe_resource_check"
if [ ! -x "$checker" ] || [ scripts/pe_resource_check.cpp -nt "$checker" ]; then
  c++ -std=c++17 -O1 -Wall -Wextra -Werror -o "$checker" scripts/pe_resource_check.cpp
fi
"$checker" "$exe"
