#!/usr/bin/env bash
# The installed game as a player and an administrator meet it. Nothing is installed onto this
# machine: everything goes to temporary folders.
#   launcher  `cmake --install` into a temporary prefix: the font link, the icons at their sizes,
#             the menu entry; then the launcher, started from an unrelated folder, plays with
#             the installed settings, with ~/.config's and with $XDG_CONFIG_HOME's config.js
#             (each of its own window size) until ESC or SIGTERM, and fails to start on a
#             damaged one.
#   package   the Debian package from CPack: its contents and dependencies, listed and checked.
#
# Usage, from the repository root (CTest runs it there, under the test script's X server):
#   bash tests/install_test.sh launcher|package BUILD_DIR
set -euo pipefail

readonly system_font=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
readonly icon_sizes=(16 32 48 64 128 256) # pixels
readonly start_seconds=120                # a loaded machine's llvmpipe is slow to start
readonly end_seconds=60

if [ $# -ne 2 ]; then
  echo "usage: $0 launcher|package BUILD_DIR" >&2
  exit 2
fi
mode=$1
build_dir=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Starts the installed launcher from an unrelated folder in the background, with the given
# environment; its output goes to $work/NAME.log. Usage: launch NAME [VARIABLE=VALUE...]
launch() {
  local name=$1
  shift
  env -C "$work/elsewhere" -u XDG_CONFIG_HOME SDL_AUDIODRIVER=dummy HOME="$work/home" \
    XDG_RUNTIME_DIR="$work/runtime" "$@" "$work/prefix/bin/zephrane" </dev/null \
    >"$work/$name.log" 2>&1 &
  launcher=$!
}

# Waits up to SECONDS for PID to end; a launcher still running then is killed with its game (a
# game that hangs may not answer SIGTERM). False when it had to be killed.
ended_within() {
  local pid=$1 waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt "$2" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  kill -0 "$pid" 2>/dev/null || return 0
  pkill -KILL -P "$pid" 2>/dev/null || true
  kill -KILL "$pid" 2>/dev/null || true
  return 1
}

# Plays until the window is up with SIZE, then ends the game with ESC or with SIGTERM to the
# launcher (as a desktop session ends it), and checks the launcher's status 0, the settings
# file it named (none for the installed ones) and that the game went with it.
# Usage: play_until_end NAME escape|terminate WIDTHxHEIGHT SETTINGS [VARIABLE=VALUE...]
play_until_end() {
  local name=$1 ending=$2 size=$3 settings=$4 log=$work/$1.log waited=0 game window
  shift 4
  launch "$name" "$@"
  until grep -aq "Successfully initialized Engine" "$log"; do
    if ! kill -0 $launcher 2>/dev/null || [ $waited -ge $start_seconds ]; then
      fail "$name: the game did not start"
      cat "$log"
      ended_within $launcher 0 || true
      return
    fi
    sleep 1
    waited=$((waited + 1))
  done
  game=$(pgrep -P $launcher -x zephrane-game || true)
  window=$([ -z "$game" ] || timeout $end_seconds xdotool search --sync --all --pid "$game" \
    --name '^Zephrane$' | head -n 1 || true)
  if [ -z "$window" ]; then
    fail "$name: no zephrane-game child with a game window"
    ended_within $launcher 0 || true
    return
  fi
  local geometry
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')
  [ "$geometry" = "$size" ] || fail "$name: window of $geometry, not $size"

  if [ "$ending" = escape ]; then
    # One tap, as a player ends the game. A key held down instead could outlive this window
    # (its release would find no window) and reach the next game.
    xdotool windowfocus --sync "$window" key --window "$window" Escape
  else
    kill -TERM $launcher
  fi
  ended_within $launcher $end_seconds || fail "$name: $ending did not end the game"
  local status=0
  wait $launcher || status=$?
  [ $status -eq 0 ] || fail "$name: the launcher exited with $status after $ending, not 0"
  if kill -KILL "$game" 2>/dev/null; then
    fail "$name: the game outlived its launcher"
  fi
  if grep -a "Failed" "$log"; then
    fail "$name: the game reported a failure"
  fi
  local said
  said=$(sed -n 's/^zephrane: settings from //p' "$log")
  [ "$said" = "$settings" ] || fail "$name: settings from '$said', not '$settings'"
}

check_launcher() {
  local prefix=$work/prefix
  cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install failed"; return; }

  local font=$prefix/share/zephrane/Resources/fonts/arial.ttf
  [ -L "$font" ] && [ "$(readlink -f "$font")" = "$system_font" ] \
    || fail "the font is not a link to $system_font"
  for size in "${icon_sizes[@]}"; do
    local icon=$prefix/share/icons/hicolor/${size}x${size}/apps/zephrane.png
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    local measured
    measured=$(od -An -tu4 --endian=big -j16 -N8 "$icon" 2>/dev/null | xargs || true)
    [ "$measured" = "$size $size" ] || fail "icon $icon measures '$measured', not $size x $size"
  done
  desktop-file-validate "$prefix/share/applications/zephrane.desktop" \
    || fail "the menu entry does not validate"

  mkdir -p "$work/elsewhere" "$work/runtime" "$work/home/.config/zephrane" "$work/xdg/zephrane"
  play_until_end installed escape 1600x800 ""
  printf '{"width": 640, "height": 360}\n' >"$work/home/.config/zephrane/config.js"
  play_until_end home escape 640x360 "$work/home/.config/zephrane/config.js"
  printf '{"width": 720, "height": 400}\n' >"$work/xdg/zephrane/config.js"
  play_until_end xdg terminate 720x400 "$work/xdg/zephrane/config.js" XDG_CONFIG_HOME="$work/xdg"

  # A failed start: the game says why and the launcher passes its status on.
  printf '{"width": 640,\n' >"$work/xdg/zephrane/config.js"
  launch damaged XDG_CONFIG_HOME="$work/xdg"
  ended_within $launcher $start_seconds || true
  local status=0
  wait $launcher || status=$?
  [ $status -eq 255 ] || fail "damaged settings: the launcher exited with $status, not 255"
  grep -q "Failed to parse configuration file" "$work/damaged.log" \
    || fail "damaged settings: no parse failure reported"

  local left
  left=$(find "$work/runtime" -maxdepth 1 -name 'zephrane.*')
  [ -z "$left" ] || fail "the launcher left its run folder behind: $left"
}

check_package() {
  cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack failed"; return; }
  local deb
  deb=$(find "$work" -maxdepth 1 -name 'zephrane_*.deb')
  [ -n "$deb" ] || { fail "no zephrane_*.deb built"; return; }
  echo "== $(basename "$deb")"
  dpkg-deb -I "$deb"
  dpkg-deb -c "$deb" | tee "$work/contents.txt"

  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  # The font and every library the game links, each a Debian package of its own.
  for package in fonts-liberation2 libassimp5 libdevil1c2 libfreetype6 libglew2.2 libglfw3 \
    libjsoncpp25 libopengl0 libsdl2-mixer-2.0-0; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] \
      || fail "the package does not depend on $package"
  done

  for path in ./usr/bin/zephrane ./usr/bin/zephrane-game ./usr/share/zephrane/config.js \
    ./usr/share/zephrane/Shader/texture.vert \
    "./usr/share/zephrane/Resources/models/Futuristic combat jet.3ds" \
    ./usr/share/applications/zephrane.desktop ./usr/share/icons/hicolor/48x48/apps/zephrane.png \
    ./usr/share/doc/zephrane/copyright; do
    grep -qF " $path" "$work/contents.txt" || fail "the package lacks $path"
  done
  grep -qF "/Resources/fonts/arial.ttf -> $system_font" "$work/contents.txt" \
    || fail "the package's font is not a link to $system_font"
  # Everything under /usr, and nothing of the build's own bookkeeping.
  if awk '{print $6}' "$work/contents.txt" | grep -v '^\./usr/' \
    || grep -F ".generated" "$work/contents.txt"; then
    fail "the package holds files it should not"
  fi
}

case $mode in
  launcher) check_launcher ;;
  package) check_package ;;
  *)
    echo "unknown check $mode" >&2
    exit 2
    ;;
esac
if [ $failures -ne 0 ]; then
  echo "install_test $mode: $failures failure(s)"
  exit 1
fi
echo "install_test $mode: passed"
