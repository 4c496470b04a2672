#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the packages that scripts/package.sh made, as their users meet them,
# step by step as each step's line says (installing needs root).
# Usage: scripts/test-packages.sh   (after scripts/package.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh lintian man-db tmux unzip xdotool
# What velmora-wine needs beyond the package's recommends: the ja_JP.UTF-8
# locale, which velmora-wine only asks its user to make.
(. scripts/wine-env.sh && wine_env_install)

fail() {
  echo "test-packages.sh: $*" >&2
  exit 1
}
step() { echo "== $*"; }

deb="$(echo "$PWD"/build/packages/velmora_*_amd64.deb)"
version="$(sed 's/.*velmora_\(.*\)_amd64.deb$/\1/' <<<"$deb")"
realnet_deb="$PWD/build/packages/velmora-realnet_${version}_amd64.deb"
zip="$PWD/build/packages/velmora-$version-windows.zip"
[ -f "$deb" ] && [ -f "$realnet_deb" ] && [ -f "$zip" ] || fail "run scripts/package.sh first"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

step "lintian"
lintian --fail-on error -I "$deb" "$realnet_deb"

step "dependencies: no exact versions, and Samba only behind velmora-realnet"
for package in "$deb" "$realnet_deb"; do
  relations="$(dpkg-deb -f "$package" Depends Pre-Depends Recommends)"
  ! grep -q '(= ' <<<"$relations" || fail "$(basename "$package") has an exact version: $relations"
done
! dpkg-deb -f "$deb" Depends | grep -qi samba || fail "velmora depends on Samba: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Recommends | grep -qw velmora-realnet || fail "velmora does not recommend velmora-realnet"

step "install"
! dpkg-query -W velmora >/dev/null 2>&1 || fail "velmora is installed already; apt-get purge velmora first"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "$deb" "$realnet_deb" >/dev/null
mapfile -t installed < <(dpkg-query -L velmora velmora-realnet | grep -vx '/\.\|')

step "the command line, from the PATH"
[ "$(command -v velmora)" = /usr/bin/velmora ] || fail "velmora on the PATH is $(command -v velmora)"
velmora --version | grep -q "^Velmora $version " || fail "velmora --version gives '$(velmora --version)', not $version"
# The usage follows the locale: English under an English one (the manual
# page's), Japanese under none; both name the help file.
usage="$(env LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8 velmora --help)"
help_file=/usr/share/velmora/Velmora.txt
grep -qF "shows $help_file" <<<"$usage" || fail "velmora --help does not name the help file $help_file"
env -i PATH=/usr/bin:/bin velmora --help | grep -qF "$help_file" ||
  fail "velmora --help with no locale does not name the help file $help_file"

step "the help file beside the Windows program"
[ "$(od -An -tx4 -N4 /usr/lib/velmora/Velmora.HLP | tr -d ' ')" = 00035f3f ] ||
  fail "/usr/lib/velmora/Velmora.HLP is not a WinHelp file"

step "the manual page agrees with --help and the help file"
[ "$(man -w velmora)" = /usr/share/man/man1/velmora.1.gz ] || fail "man -w velmora: $(man -w velmora)"
man -w velmora-wine >/dev/null
# Every line of both texts, spaces aside, is on the page (headings without their marks).
page="$(LC_ALL=C.UTF-8 MANWIDTH=1000 man velmora 2>&1 | col -bx | tr -s '[:space:]' ' ')"
while IFS= read -r line; do
  line="$(sed "s/^\(# \|■ \|Usage: \)//" <<<"$line" | tr -s '[:space:]' ' ' | sed 's/^ //; s/ $//')"
  [ -z "$line" ] || [[ "$page" == *"$line"* ]] || fail "the manual page lacks: $line"
done < <(printf '%s\n' "$usage" && cat "$help_file")

step "the manual page with no locale: no troff warnings, and where the help is"
plain="$(env -i PATH=/usr/bin:/bin MANWIDTH=80 man velmora 2>"$scratch/man.err")"
[ ! -s "$scratch/man.err" ] || fail "man velmora with no locale warns: $(head -3 "$scratch/man.err")"
grep -qF "$help_file" <<<"$plain" || fail "man velmora with no locale does not name $help_file"

step "the installed example names nothing a package user lacks"
! grep -Eq 'scripts/|examples/office' /usr/share/doc/velmora/examples/office.network ||
  fail "the installed example's header names files of the source tree"

step "velmora in tmux on the installed example network (the terminal's own end-to-end case)"
cp /usr/share/doc/velmora/examples/office.network "$scratch/"
python3 tests/frontends/terminal/end_to_end.py velmora "$scratch/office.network" add-delete

step "velmora-wine on the example network: the program's main window, and its Help button opening the help file"
(
  . /usr/lib/velmora/wine-env.sh
  wine_env_own_display
  export HOME="$scratch/home" WINEPREFIX="$scratch/home/.local/share/velmora/wine-prefix"
  unset XDG_DATA_HOME
  trap wine_env_stop EXIT
  VELMORA_NETWORK="$scratch/office.network" velmora-wine >"$scratch/wine.log" 2>&1 &
  launcher=$!
  for _ in $(seq 1200); do
    xwininfo -root -tree 2>/dev/null | grep -qF '"Velmora": ("velmora.exe"' && break
    kill -0 $launcher 2>/dev/null || fail "velmora-wine ended without a window of velmora.exe:"$'\n'"$(cat "$scratch/wine.log")"
    sleep 0.1
  done
  xwininfo -root -tree 2>/dev/null | grep -qF '"Velmora": ("velmora.exe"' ||
    fail "no window of velmora.exe in 120 s; velmora-wine said:"$'\n'"$(cat "$scratch/wine.log")"
  help_title="$(sed -n '1s/^# //p' /usr/share/velmora/Velmora.txt)"
  timeout 60 xdotool search --sync --onlyvisible --name '^Velmora$' >/dev/null
  # velmora-wine's clicks that draw the window active at start (on the desktop, then on the title bar) can take a key
  # pressed in the same moment, as they would a user's, who then presses again.
  for _ in 1 2; do
    xdotool key alt+h
    timeout 15 xdotool search --sync --onlyvisible --name "$help_title" >/dev/null && break
  done
  xdotool search --onlyvisible --name "$help_title" >/dev/null ||
    fail "velmora-wine's Help button opened no window named $help_title"
)

step "removal leaves nothing behind"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 purge -y -qq velmora velmora-realnet >/dev/null
for path in "${installed[@]}"; do
  # Folders such as /usr/bin stay, owned by other packages.
  if [ -e "$path" ] || [ -L "$path" ]; then
    [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1 || fail "left behind: $path"
  fi
done

step "the Windows zip"
unzip -l "$zip"
listed="$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')"
[ "$listed" = "LICENSE.txt README-ja.txt README.txt Velmora.txt x64/Velmora.HLP x64/velmora.exe x86/Velmora.HLP x86/velmora.exe " ] ||
  fail "the zip holds $listed"
unzip -q "$zip" -d "$scratch/zip"
# README.txt reads the same on any Windows: plain ASCII; the Japanese one is Shift-JIS.
! LC_ALL=C grep -q '[^[:print:][:space:]]' "$scratch/zip/README.txt" || fail "README.txt is not plain ASCII"
# (Its lines end in CR LF, and the version stands alone on its line.)
grep -q "^Velmora $version[[:space:]]" "$scratch/zip/README.txt" || fail "README.txt does not name version $version"
iconv -f CP932 -t UTF-8 "$scratch/zip/README-ja.txt" | grep -q "^Velmora $version " ||
  fail "README-ja.txt is not Shift-JIS or does not name version $version"
! iconv -f CP932 -t UTF-8 "$scratch/zip/Velmora.txt" | grep -q "端末での操作" ||
  fail "Velmora.txt holds the terminal's own section"
! x86_64-w64-mingw32-objdump -h "$scratch/zip/x64/velmora.exe" | grep -q '\.debug' || fail "x64/velmora.exe is not stripped"
! i686-w64-mingw32-objdump -h "$scratch/zip/x86/velmora.exe" | grep -q '\.debug' || fail "x86/velmora.exe is not stripped"
scripts/build-windows.sh --check mingw "$scratch/zip/x64"
scripts/build-windows.sh --check mingw32 "$scratch/zip/x86"
echo "test-packages.sh: velmora $version: both packages pass"
