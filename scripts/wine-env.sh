# SPDX-License-Identifier: GPL-3.0-or-later
# The Wine environment in which the real velmora.exe runs on Linux: sourced by
# scripts/run-wine.sh and scripts/test-wine.sh, which then call
#
#   wine_env_install              Debian packages and the ja_JP.UTF-8 locale
#   wine_env_check                one line naming whatever is still missing
#   wine_env_take_turn DIR        waits until no other script builds in or
#                                 prepares DIR (build/mingw, or the prefix's
#                                 home); wine_env_end_turn lets the next go
#   wine_env_prepare BUILD_DIR [PROGRAMS]
#                                 the Wine prefix BUILD_DIR/wine-prefix, made
#                                 once and reused, with the project's help
#                                 viewer (from PROGRAMS, else BUILD_DIR);
#                                 exports the environment below
#   wine_env_own_display          starts a private Xvfb and exports DISPLAY
#                                 (again for another one)
#   wine_env_fake_clock FILE      the programs' clock follows FILE (below)
#   wine_env_set_clock FILE "YYYY-MM-DD HH:MM[:SS]"
#   wine_env_start_help_viewer [--stay] [explorer /desktop=NAME,SIZE]
#                                 the project's help viewer (the recorder),
#                                 ready before the program
#   wine_env_use_wine_help_viewer Wine's own help viewer instead, which shows
#                                 Velmora.HLP: WinHelpA then starts it
#   wine_env_start_wine_help_viewer [explorer /desktop=NAME,SIZE]
#                                 starts it hidden, waiting for the program's
#                                 first request (and starting the session)
#   wine_env_name_computer NAME   makes NAME the computer name of the running
#                                 Wine session, for any user (below)
#   wine_env_activate_window TITLE
#                                 once a window of that title shows in the
#                                 virtual desktop, draws it active (below)
#   wine_env_stop                 ends the Wine server and the private Xvfbs
#
# The environment: WINEPREFIX, WINEARCH=win64, LANG and LC_ALL ja_JP.UTF-8
# (ANSI code page 932), WINEDLLOVERRIDES preferring the netapi32.dll beside
# velmora.exe to Wine's own, WINEDEBUG=-all unless already set.
#
# The prefix looks as the program looked on Windows NT 4: its colours
# (scripts/wine-look.reg) and the Marlett font, whose glyphs draw the title
# bar's buttons; Debian's fonts-wine ships it where Wine does not look, so it
# is copied into the prefix's Fonts folder.
#
# The clock file holds the offset of the programs' clock from the real one,
# in whole seconds with a sign ("+3600"); libfaketime reads it at every
# clock call, so writing a new offset (as the scenario player's `advance`
# does) moves the clock of every running Wine process at once. Tick counts
# stay real.

# Its own folder: scripts/ of the sources, or /usr/lib/velmora where the
# Debian package installs it with wine-look.reg beside it.
wine_env_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine_env_root="$(cd "$wine_env_dir/.." && pwd)"
wine_env_packages=(wine wine64 fonts-wine xvfb x11-utils xauth xdotool fonts-noto-cjk locales faketime)
wine_env_marlett=/usr/share/wine/fonts/marlett.ttf
wine_env_faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
wine_env_xvfb_pids=()

wine_env_has_locale() { locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; }

wine_env_install() {
  "$wine_env_root/scripts/install-deps.sh" "${wine_env_packages[@]}"
  if ! wine_env_has_locale; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Generating the ja_JP.UTF-8 locale"
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  fi
}

# Prints one line saying what is missing and how to get it; fails then.
wine_env_check() {
  local how="scripts/test-wine.sh installs it, or: sudo apt-get install"
  if ! command -v wine >/dev/null || ! [ -x /usr/lib/wine/wine64 ]; then
    echo "Wine (64-bit) is not installed; $how wine wine64" >&2
    return 1
  fi
  if ! wine_env_has_locale; then
    echo "the ja_JP.UTF-8 locale is missing (Wine needs it for code page 932);" \
      "scripts/test-wine.sh makes it, or: sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8" >&2
    return 1
  fi
  if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is not installed; $how xvfb" >&2
    return 1
  fi
  if ! fc-list :lang=ja 2>/dev/null | grep -q .; then
    echo "no Japanese font is installed; $how fonts-noto-cjk" >&2
    return 1
  fi
}

# CTest runs several Wine scripts side by side: two ninjas in one build
# folder, or two wineboots in one prefix, spoil each other's work. The lock is
# released explicitly, since the Wine server inherits the descriptor.
wine_env_take_turn() {
  mkdir -p "$1"
  exec 8>"$1/.velmora-turn.lock"
  flock 8
}

wine_env_end_turn() {
  flock -u 8 2>/dev/null || true
  exec 8>&-
}

wine_env_prepare() {
  local build_dir="$1" programs="${2:-$1}"
  export WINEPREFIX="$build_dir/wine-prefix"
  export WINEARCH=win64
  export WINEDEBUG="${WINEDEBUG:--all}"
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  # netapi32: the simulated network beside velmora.exe; winhlp32: the viewer
  # below; no .NET or HTML engine to offer to download, no menu entries.
  export WINEDLLOVERRIDES="netapi32=n;winhlp32.exe=n;winemenubuilder.exe=d;mscoree,mshtml="
  # Wine cannot give a replaced network file the old one's mode: files its
  # programs create are the user's alone, as the Linux side makes them.
  umask 077
  if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$build_dir"
    local started=$SECONDS
    wineboot --init >/dev/null 2>&1 || {
      echo "wineboot could not create the Wine prefix $WINEPREFIX" >&2
      return 1
    }
    wineserver -w
    touch "$WINEPREFIX/.velmora-ready"
    echo "Wine prefix ready in $((SECONDS - started)) s"
  fi
  local look="$wine_env_dir/wine-look.reg"
  if ! cmp -s "$look" "$WINEPREFIX/.velmora-look.reg"; then
    if [ ! -f "$wine_env_marlett" ]; then
      echo "Wine's Marlett font ($wine_env_marlett) is missing; scripts/test-wine.sh installs it, or: sudo apt-get install fonts-wine" >&2
      return 1
    fi
    cp "$wine_env_marlett" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
    if ! wine regedit /S "Z:${look//\//\\}" || ! wineserver -w; then
      echo "could not give the Wine prefix $WINEPREFIX the look of $look" >&2
      return 1
    fi
    cp "$look" "$WINEPREFIX/.velmora-look.reg"
    touch "$WINEPREFIX/.velmora-ready"
  fi
  # The help viewer of the project, wherever Wine looks for winhlp32.exe.
  local viewer="$programs/velmora-winhelp.exe" place
  if [ -f "$viewer" ]; then
    for place in windows/winhlp32.exe windows/system32/winhlp32.exe; do
      cmp -s "$viewer" "$WINEPREFIX/drive_c/$place" || cp "$viewer" "$WINEPREFIX/drive_c/$place"
    done
  fi
}

# True when a window manager runs on $DISPLAY.
wine_env_has_window_manager() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

wine_env_own_display() {
  local fifo
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  wine_env_xvfb_pids+=($!)
  local number=""
  read -r -t 10 number <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

wine_env_fake_clock() {
  local file="$1"
  [ -f "$file" ] || echo "+0" >"$file"
  if [ ! -f "$wine_env_faketime_lib" ]; then
    echo "libfaketime is not installed; scripts/test-wine.sh installs it, or: sudo apt-get install faketime" >&2
    return 1
  fi
  export FAKETIME_TIMESTAMP_FILE="$file" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1
  # Without it libfaketime also fakes file times, and Wine rebuilds its prefix.
  export NO_FAKE_STAT=1
  export LD_PRELOAD="$wine_env_faketime_lib${LD_PRELOAD:+:$LD_PRELOAD}"
}

# Sets the clock file so that the programs' local clock reads the given time.
wine_env_set_clock() {
  local file="$1" when="$2" target now
  target="$(LD_PRELOAD='' date -d "$when" +%s)" || return 1
  now="$(LD_PRELOAD='' date +%s)"
  printf '%+d\n' $((target - now)) >"$file.new" && mv "$file.new" "$file"
}

# Starts the help viewer in the Wine session and waits until WinHelpA can find
# its window: a viewer that USER32 starts itself comes too late for the first
# request. Arguments: --stay, to keep it for every program of the session
# (else it ends at the first HELP_QUIT, as a help viewer does); then what runs
# it in the program's desktop, if not the default one (explorer
# /desktop=NAME,SIZE).
wine_env_start_help_viewer() {
  local ready stay=()
  [ "${1:-}" != --stay ] || {
    stay=(--stay)
    shift
  }
  ready="$(mktemp -u)"
  wine "$@" 'C:\windows\winhlp32.exe' -x "${stay[@]}" --ready "Z:${ready//\//\\}" >/dev/null 2>&1 &
  # Two minutes: a new Wine session on a loaded machine takes far longer
  # than the few seconds it usually does.
  for _ in $(seq 1200); do
    [ -e "$ready" ] && break
    sleep 0.1
  done
  if [ ! -e "$ready" ]; then
    echo "the help viewer did not start in the Wine session" >&2
    return 1
  fi
  rm -f "$ready"
}

# Wine's own winhlp32.exe (builtin) rather than the recorder that
# wine_env_prepare may have put in the prefix.
wine_env_use_wine_help_viewer() {
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES//winhlp32.exe=n/winhlp32.exe=b}"
}

# Started beforehand, as Windows' help engine keeps its viewer: a viewer that
# WinHelpA starts itself comes too late for the first request. It ends at the
# program's HELP_QUIT.
wine_env_start_wine_help_viewer() {
  wine "$@" winhlp32.exe -x >/dev/null 2>&1 &
}

# Wine 8's GetComputerNameA reads the volatile registry value below, which
# wineboot fills from the host name when a Wine server starts. Written once
# the session runs, it holds until the server ends; no privilege is needed.
# A session that is still starting may overwrite it once, so it is read back
# after a pause and written again until it holds.
wine_env_name_computer() {
  local key='HKLM\System\CurrentControlSet\Control\ComputerName\ActiveComputerName'
  for _ in 1 2 3 4 5; do
    wine reg add "$key" /v ComputerName /t REG_SZ /d "$1" /f >/dev/null 2>&1 || return 1
    sleep 1
    wine reg query "$key" /v ComputerName 2>/dev/null | tr -d '\r' | grep -qE "REG_SZ[[:space:]]+$1\$" && return 0
  done
  return 1
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true
  wine_env_stop_displays
}

wine_env_stop_displays() {
  local pid
  for pid in "${wine_env_xvfb_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wine_env_xvfb_pids=()
}

# Wine's virtual desktop makes the program's first window the active window
# of its thread before the window is the foreground window (the program
# gives the focus in WM_INITDIALOG, before its window shows), so the title
# bar is drawn inactive; making it the foreground later does not redraw it,
# as it is active already, nor does a click on it. Only a change of the
# active window does (a dialog opened and closed). On Windows the window is
# active at start: a click on the desktop and one on the window's title bar,
# as a user would make them, give it that look; the pointer then goes back.
# Without xdotool it does nothing.
wine_env_activate_window() {
  local title="$1" window left top
  command -v xdotool >/dev/null || return 0
  window="$(timeout 90 xdotool search --sync --onlyvisible --name "$title" 2>/dev/null | sed -n 1p)"
  [ -n "$window" ] || return 0
  read -r left top < <(xwininfo -id "$window" 2>/dev/null |
    awk -F: '/Absolute upper-left [XY]/ { printf "%d ", $2 } END { print "" }')
  [ -n "${top:-}" ] || return 0
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell 2>/dev/null)"
  # The desktop's lower left corner, then the title bar right of its icon.
  xdotool mousemove 1 766 click 1 sleep 0.3 mousemove $((left + 60)) $((top + 8)) click 1 sleep 0.3 \
    mousemove "${X:-0}" "${Y:-0}" 2>/dev/null || true
}
