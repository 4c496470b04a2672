#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real velmora.exe (the 64-bit MinGW build) under Wine on this X
# display, on the same network file as the terminal front end:
# $VELMORA_NETWORK, else this user's default network file
# ($XDG_STATE_HOME/velmora/network or ~/.local/state/velmora/network), made on
# first use with this machine as its one computer. The program manages the
# network's local computer (its `local`, else its first `computer`) as Windows
# would: that name becomes Wine's computer name. Without a window manager the
# program runs in a Wine virtual desktop, which draws the title bars.
# Usage: scripts/run-wine.sh
#
# Installed by the Debian package as velmora-wine, this script finds the
# programs beside it: it then installs and builds nothing, and keeps the
# Wine prefix in the user's data folder.
set -euo pipefail
here="$(dirname "$(readlink -f "$0")")"
if [ -f "$here/velmora.exe" ]; then
  programs="$here"
  data_home="${XDG_DATA_HOME:-}"
  [ "${data_home#/}" != "$data_home" ] || data_home="$HOME/.local/share"
  prefix_home="$data_home/velmora"
  . "$here/wine-env.sh"
else
  cd "$here/.."
  root="$PWD"
  programs="$root/build/mingw"
  prefix_home="$programs"
  . scripts/wine-env.sh
fi

if [ -z "${DISPLAY:-}" ]; then
  echo "run-wine.sh: no X display (DISPLAY is not set); run it in a desktop session or over 'ssh -X'," \
    "or watch it in a virtual one: 'Xvfb :5 & DISPLAY=:5 scripts/run-wine.sh' with a VNC server on :5 (docs/wine.md)" >&2
  exit 1
fi
[ "$programs" = "$here" ] || wine_env_install
wine_env_check
if ! xdpyinfo >/dev/null 2>&1; then
  echo "run-wine.sh: cannot open the X display $DISPLAY; is it running, and may this user use it (xhost, XAUTHORITY)?" >&2
  exit 1
fi

wine_env_take_turn "$prefix_home"
if [ "$programs" != "$here" ]; then
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw --target velmora velmora_netapi32 >/dev/null
fi

if [ -n "${VELMORA_NETWORK:-}" ]; then
  network="$VELMORA_NETWORK"
else
  state_home="${XDG_STATE_HOME:-}"
  if [ "${state_home#/}" = "$state_home" ]; then
    folder="$HOME/.local/state/velmora"
  else
    folder="$state_home/velmora"
  fi
  network="$folder/network"
  if [ ! -e "$network" ]; then
    # As the terminal front end makes it: this machine, named as a computer.
    mkdir -p -m 0700 "$folder"
    name="$(hostname | cut -d. -f1 | tr '[:lower:]' '[:upper:]' | tr -c 'A-Z0-9\n-' '-' | cut -c1-15)"
    (set -o noclobber && umask 077 && printf 'computer %s\n' "${name:-LOCALHOST}" >"$network") 2>/dev/null || true
  fi
fi
if [ ! -f "$network" ]; then
  echo "run-wine.sh: there is no network file $network" >&2
  exit 1
fi

# The network's local computer, as the simulated network finds it; ASCII
# letters in upper case, as the network file's names are compared.
first_name() { sed -n "s/^[[:space:]]*$1[[:space:]]\{1,\}\([^[:space:]#]\{1,\}\).*/\1/p" "$network" | sed -n 1p; }
computer="$(first_name local)"
[ -n "$computer" ] || computer="$(first_name computer)"
computer="$(LC_ALL=C tr a-z A-Z <<<"$computer")"

wine_env_prepare "$prefix_home" "$programs"
wine_env_end_turn
wine_env_use_wine_help_viewer
VELMORA_NETWORK="$(winepath -w "$(realpath "$network")" 2>/dev/null)"
export VELMORA_NETWORK
echo "velmora.exe under Wine, network file $network${computer:+, computer $computer}"
cd "$programs"
desktop=()
wine_env_has_window_manager || desktop=(explorer /desktop=velmora,1024x768)

# Wine's own help viewer, which shows Velmora.HLP beside velmora.exe, starts
# the Wine session (or joins the one that runs); then the computer's name is
# set in it, before the program asks for it.
run_program() {
  wine_env_start_wine_help_viewer "$@"
  if [ -n "$computer" ] && ! wine_env_name_computer "$computer"; then
    echo "run-wine.sh: Wine did not take $computer as its computer name, so the program manages" \
      "this machine's instead; end the Wine programs of this prefix ('WINEPREFIX=$WINEPREFIX" \
      "wineserver -k') and run it again, or else remove the prefix to have it made afresh" >&2
  fi
  # In Wine's virtual desktop the main window would start drawn inactive.
  [ $# -eq 0 ] || wine_env_activate_window '^Velmora$' &
  wine "$@" velmora.exe
  # In a virtual desktop that exists already, the line above returns at once:
  # wait for the program (and the help viewer, which its exit closes) to finish.
  wineserver -w
}
if [ -n "$computer" ] && [ "$(id -u)" -eq 0 ] && unshare -u true 2>/dev/null; then
  # Root gives a Wine server started here the host name too, in a UTS
  # namespace of its own (where the container allows one); the session's name
  # is set as for any user, which also covers a server that runs already.
  export computer
  export -f run_program wine_env_start_wine_help_viewer wine_env_name_computer wine_env_activate_window
  unshare -u -- bash -c 'hostname "$computer" 2>/dev/null; run_program "$@"' run-wine "${desktop[@]}"
else
  run_program "${desktop[@]}"
fi
