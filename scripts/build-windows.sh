#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds velmora.exe with MinGW-w64 for 64-bit and 32-bit Windows, with
# the simulated network's netapi32.dll beside each, and checks what each
# imports, carries and exports.
# Usage: scripts/build-windows.sh [PRESET...]   (mingw and mingw32 by default)
#        scripts/build-windows.sh --check PRESET FOLDER
#          checks FOLDER/velmora.exe, and FOLDER/netapi32.dll when it is there,
#          as that preset's build (for a package's copies), without building
set -euo pipefail
cd "$(dirname "$0")/.."
check_only=""
if [ "${1:-}" = --check ]; then
  [ $# -eq 3 ] || {
    echo "usage: scripts/build-windows.sh --check PRESET FOLDER" >&2
    exit 2
  }
  check_only="$3"
  set -- "$2"
fi
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(mingw mingw32)
[ -n "$check_only" ] || scripts/install-deps.sh g++-mingw-w64-i686 binutils-mingw-w64-i686

fail() {
  echo "$1" >&2
  exit 1
}

check_build() {
  local preset="$1" build_dir="${check_only:-build/$1}" objdump machine
  case "$preset" in
    mingw) objdump=x86_64-w64-mingw32-objdump machine=8664 ;;
    mingw32) objdump=i686-w64-mingw32-objdump machine=14c ;;
    *) fail "unknown preset $preset (mingw or mingw32)" ;;
  esac
  if [ -z "$check_only" ]; then
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
  fi

  local exe="$build_dir/velmora.exe" dll="$build_dir/netapi32.dll" headers
  headers="$("$objdump" -p "$exe")"

  # The machine it was built for, from the PE header (after the "PE\0\0"
  # signature that the DOS header's word at 0x3C points to).
  local pe_offset found
  pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
  found=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')
  [ "$found" = "$(printf '%04x' $((16#$machine)))" ] || fail "$exe: built for machine 0x$found, not 0x$machine"
  echo "$exe: machine 0x$machine"

  # A GUI program.
  grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers" || fail "$exe: not a Windows GUI program"

  # It must run on a bare system: only system DLLs, none of MinGW's run-time DLLs.
  local dlls dll_name bad=0
  mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
  [ ${#dlls[@]} -gt 0 ] || fail "$exe: no imports found"
  for dll_name in "${dlls[@]}"; do
    case "${dll_name,,}" in
      user32.dll | comctl32.dll | kernel32.dll | netapi32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
      *)
        echo "$exe: imports $dll_name, which is not a system DLL" >&2
        bad=1
        ;;
    esac
  done
  [ "$bad" -eq 0 ] || exit 1
  echo "$exe: imports ${dlls[*]}"

  # Its resource section carries the dialogs, the icon and the version block.
  scripts/test-exe-resources.sh "$objdump" "$exe"

  # The simulated network exports exactly the NETAPI32 functions the program
  # imports, and itself needs no MinGW run-time DLL either.
  [ -z "$check_only" ] || [ -f "$dll" ] || return 0
  local imported exported
  imported="$(sed -n '/DLL Name: NETAPI32.dll/I,/^$/p' <<<"$headers" | awk 'NR > 2 && NF >= 3 { print $3 }' | sort)"
  exported="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort)"
  [ -n "$imported" ] || fail "$exe: imports nothing from NETAPI32.dll"
  if [ "$imported" != "$exported" ]; then
    echo "$dll exports other functions than $exe imports from NETAPI32:" >&2
    diff <(echo "$imported") <(echo "$exported") >&2 || true
    exit 1
  fi
  local dll_imports
  dll_imports="$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
  for dll_name in $dll_imports; do
    case "${dll_name,,}" in
      kernel32.dll | msvcrt.dll | user32.dll) ;;
      *) fail "$dll: imports $dll_name, which is not a system DLL" ;;
    esac
  done
  echo "$dll: exports $(echo "$exported" | tr '\n' ' ')"
}

for preset in "${presets[@]}"; do
  check_build "$preset"
done
