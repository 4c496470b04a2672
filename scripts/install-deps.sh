#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Velmora needs, when any of them is missing.
# Usage: scripts/install-deps.sh [--run] [--realnet] [extra packages...]
#   --run      only what building and running the terminal front end needs
#   --realnet  with --run: also what the real network module needs
# Without --run: everything building and testing needs.
set -euo pipefail
run=(cmake ninja-build g++ libncurses-dev)
realnet=(pkg-config samba-dev libkrb5-dev nettle-dev libunistring-dev)
test=(libgtest-dev libgmock-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 tmux python3 python3-impacket)
packages=()
only_run="" with_realnet=""
while [ $# -gt 0 ]; do
  case "$1" in
    --run) only_run=1 ;;
    --realnet) with_realnet=1 ;;
    *) packages+=("$1") ;;
  esac
  shift
done
packages+=("${run[@]}")
if [ -z "$only_run" ] || [ -n "$with_realnet" ]; then packages+=("${realnet[@]}"); fi
[ -n "$only_run" ] || packages+=("${test[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}"
