#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Velmora's two packages into build/packages/, from the files that git
# tracks (with their uncommitted changes) and nothing else of this folder:
#   velmora_VERSION_amd64.deb      the Debian packages (debian/), made by
#   velmora-realnet_VERSION_amd64.deb  dpkg-buildpackage
#   velmora-VERSION-windows.zip    x64/velmora.exe and x86/velmora.exe
#                                  (stripped), each with its help file
#                                  Velmora.HLP beside it, README.txt (ASCII),
#                                  README-ja.txt, the help text without the
#                                  terminal's own section, and the license
# VERSION is the program's file version, from the version block of
# res/velmora.rc, the one place it is written.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh debhelper dpkg-dev zip g++-mingw-w64-i686 binutils-mingw-w64-i686

fail() {
  echo "package.sh: $1" >&2
  exit 1
}

rc=res/velmora.rc
n='[[:space:]]*\([0-9]\{1,5\}\)[[:space:]]*'
version="$(sed -n "s/^FILEVERSION$n,$n,$n,$n\$/\1.\2.\3.\4/p" "$rc")"
[ "$(wc -w <<<"$version")" -eq 1 ] || fail "$rc: no single line 'FILEVERSION a, b, c, d'"
label="$(sed -n 's/^[[:space:]]*VALUE "ProductVersion", "\(.*\)"[[:space:]]*$/\1/p' "$rc")"

work=build/package
out=build/packages
source="$work/velmora-$version"
rm -rf "$work" "$out"
mkdir -p "$work" "$out"
# The working tree as a commit (no branch or stash changes), or HEAD when clean.
snapshot="$(git -c user.name=package.sh -c user.email=package.sh@localhost stash create)"
git archive --prefix="velmora-$version/" "${snapshot:-HEAD}" | tar -x -C "$work"
when="$(git log -1 --format=%aD)"

# Windows: the program for both machines (each build writes Velmora.HLP
# beside it), and for the .deb the 64-bit one's simulated network.
(
  cd "$source"
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw --target velmora velmora_netapi32
  cmake --preset mingw32 >/dev/null
  cmake --build --preset mingw32 --target velmora
)

# The .deb; its changelog says which version it is.
maintainer="$(sed -n 's/^Maintainer: //p' "$source/debian/control")"
printf 'velmora (%s) unstable; urgency=medium\n\n  * Velmora %s (%s).\n\n -- %s  %s\n' \
  "$version" "$version" "$label" "$maintainer" "$when" >"$source/debian/changelog"
(cd "$source" && dpkg-buildpackage -b --no-sign -Jauto)
mv "$work/velmora_${version}_amd64.deb" "$work/velmora-realnet_${version}_amd64.deb" "$out/"

# The zip, its texts in Windows' form: CRLF lines, Japanese in Shift-JIS.
zip_root="$work/windows"
mkdir -p "$zip_root/x64" "$zip_root/x86"
# Symbols are of no use to a Windows user: the exes go stripped.
x86_64-w64-mingw32-strip -o "$zip_root/x64/velmora.exe" "$source/build/mingw/velmora.exe"
i686-w64-mingw32-strip -o "$zip_root/x86/velmora.exe" "$source/build/mingw32/velmora.exe"
cp "$source/build/mingw/Velmora.HLP" "$zip_root/x64/"
cp "$source/build/mingw32/Velmora.HLP" "$zip_root/x86/"
windows_text() { iconv -f UTF-8 -t CP932 "$1" | sed 's/$/\r/' >"$2"; }
# The label (Greek letters and all) only where Japanese is read.
sed "s/@VERSION@/$version/" "$source/packaging/windows/README.txt" >"$work/README.txt"
sed "s/@VERSION@/$version ($label)/" "$source/packaging/windows/README-ja.txt" >"$work/README-ja.txt"
for readme in README.txt README-ja.txt; do windows_text "$work/$readme" "$zip_root/$readme"; done
LC_ALL=C grep -q '[^[:print:][:space:]]' "$zip_root/README.txt" && fail "README.txt must be plain ASCII"
# The help text without the section on the terminal front end (its keys,
# tmux, the mouse), which does not apply on Windows: from that section's
# heading to the next one; and the list's pointer to it.
awk '/^■ / { terminal = ($0 ~ /^■ 端末での操作/) } !terminal' "$source/frontends/terminal/help/Velmora.txt" |
  sed 's/ (「端末での操作」を参照)//' >"$work/Velmora.txt"
windows_text "$work/Velmora.txt" "$zip_root/Velmora.txt"
windows_text "$source/LICENSE" "$zip_root/LICENSE.txt"
# The same sources give the same zip.
find "$zip_root" -exec touch -d "$when" {} +
zip_file="$PWD/$out/velmora-$version-windows.zip"
(cd "$zip_root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -X -D -q "$zip_file" -@)
echo "package.sh: made $out/velmora_${version}_amd64.deb and $out/velmora-$version-windows.zip"
