#!/usr/bin/env bash
# The installed game as a player and an administrator meet it. Nothing is installed onto this
# machine: everything goes to temporary folders.
#   launcher  `cmake --install` into a temporary prefix: the font link, the icons, the menu
#             entry, --help/--version/a bad option without a display; then the launcher,
#             started from an unrelated folder, plays with the installed settings, with
#             ~/.config's (and a damaged gamepad file there) and with $XDG_CONFIG_HOME's
#             config.js (each of its own window size) until ESC, SIGTERM, SIGINT or its own
#             SIGKILL, and says how a damaged config.js, a missing shader and a missing model
#             end; scripts/play.sh the same for the first two and a normal end.
#   package   the Debian package from CPack: its contents and dependencies, lintian and the
#             AppStream validator.
#
# Usage, from the repository root (CTest runs it there, under the test script's X server):
#   bash tests/install_test.sh launcher|package BUILD_DIR
set -euo pipefail

readonly system_font=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
readonly icon_sizes=(16 32 48 64 128 256) # pixels
readonly start_seconds=120                # a loaded machine's llvmpipe is slow to start
readonly end_seconds=60
readonly app_id=io.github.zephrane.Zephrane

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
  # In a process group of its own with SIGINT at its default, as in a terminal's foreground (a
  # script's background ignores SIGINT).
  setsid env -C "$work/elsewhere" -u XDG_CONFIG_HOME --default-signal=INT SDL_AUDIODRIVER=dummy \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" "$@" "$work/prefix/games/zephrane" </dev/null \
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

# Plays until the window is up with SIZE, then ends the game with ESC, or with SIGTERM, SIGINT
# or SIGKILL to the launcher, and checks the launcher's status (0, or 137 when killed), the
# settings files it named (none for the installed ones) and that the game went with it.
# Usage: play_until_end NAME escape|TERM|INT|KILL WIDTHxHEIGHT SETTINGS [VARIABLE=VALUE...]
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
  game=$(pgrep -P $launcher -x zephrane || true)
  window=$([ -z "$game" ] || timeout $end_seconds xdotool search --sync --all --pid "$game" \
    --name '^Zephrane$' | head -n 1 || true)
  if [ -z "$window" ]; then
    fail "$name: no zephrane child with a game window"
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
  elif [ "$ending" = INT ]; then
    kill -INT -- -$launcher # Ctrl+C: the whole foreground process group
  else
    kill -"$ending" $launcher
  fi
  ended_within $launcher $end_seconds || fail "$name: $ending did not end the game"
  local status=0 expected=0
  wait $launcher || status=$?
  [ "$ending" != KILL ] || expected=137
  [ $status -eq $expected ] || fail "$name: the launcher exited with $status after $ending"
  ended_within "$game" 10 || fail "$name: the game outlived its launcher"
  if grep -a "Failed" "$log"; then
    fail "$name: the game reported a failure"
  fi
  local said
  said=$(sed -n 's/^zephrane: settings from //p' "$log" | xargs)
  [ "$said" = "$settings" ] || fail "$name: settings from '$said', not '$settings'"
}

# Waits for the wrapper $launcher, started as NAME, that should fail to start, and checks that its
# status is not 0 and that its log says WHY. Usage: failed_start NAME WHY
failed_start() {
  local name=$1 why=$2 status=0
  ended_within $launcher $start_seconds || fail "$name: still running"
  wait $launcher || status=$?
  [ $status -ne 0 ] || fail "$name: exited 0"
  grep -q "$why" "$work/$name.log" || fail "$name: no '$why' in: $(cat "$work/$name.log")"
}

check_launcher() {
  local prefix=$work/prefix data=$work/prefix/share/games/zephrane
  cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install failed"; return; }

  [ "$(readlink -f "$data/Resources/fonts/arial.ttf")" = "$system_font" ] \
    || fail "the font is not a link to $system_font"
  for size in "${icon_sizes[@]}"; do
    local icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    local measured
    measured=$(od -An -tu4 --endian=big -j16 -N8 "$icon" 2>/dev/null | xargs || true)
    [ "$measured" = "$size $size" ] || fail "icon $icon measures '$measured', not $size x $size"
  done
  desktop-file-validate "$prefix/share/applications/$app_id.desktop" \
    || fail "the menu entry does not validate"

  # The command line, answered without a display by the launcher's game.
  local out status
  for option in --help --version --bogus; do
    status=0
    out=$(env -u DISPLAY "$prefix/games/zephrane" $option 2>&1 >/dev/null) || status=$?
    case $option:$status:$out in
      --help:0:) ;;
      --version:0:) ;;
      "--bogus:2:zephrane: unknown option --bogus"$'\n'"usage: zephrane"*) ;;
      *) fail "zephrane $option: status $status, standard error: $out" ;;
    esac
  done
  out=$(env -u DISPLAY "$prefix/games/zephrane" --help)
  [[ $out == *"config.js"*"~/.config/zephrane/"*"LEFT / RIGHT"* ]] || fail "--help says: $out"
  [ "$("$prefix/games/zephrane" --version)" = "zephrane 0.1.0" ] || fail "--version"

  local settings=$work/home/.config/zephrane
  mkdir -p "$work/elsewhere" "$work/runtime" "$settings" "$work/xdg/zephrane"
  play_until_end installed escape 1600x800 ""
  printf '{"width": 640, "height": 360}\n' >"$settings/config.js"
  printf 'not a mapping\n' >"$settings/gamecontrollerdb.txt"
  play_until_end home INT 640x360 "$settings/config.js $settings/gamecontrollerdb.txt"
  grep -q "Gamepad: gamecontrollerdb.txt was not loaded (line 1" "$work/home.log" \
    || fail "the damaged gamepad mappings in $settings were not reported"
  printf '{"width": 720, "height": 400}\n' >"$work/xdg/zephrane/config.js"
  play_until_end xdg TERM 720x400 "$work/xdg/zephrane/config.js" XDG_CONFIG_HOME="$work/xdg"
  # A model that is missing is reported, and the game is played and ended as usual.
  mv "$data/Resources/models/single.obj" "$work/"
  play_until_end killed KILL 720x400 "$work/xdg/zephrane/config.js" XDG_CONFIG_HOME="$work/xdg"
  mv "$work/single.obj" "$data/Resources/models/"
  grep -q "ERROR::ASSIMP" "$work/killed.log" || fail "the missing model was not reported"
  [ -n "$(find "$work/runtime" -maxdepth 1 -name 'zephrane.*')" ] || fail "no run folder left"

  # Failed starts: the game says why, and neither wrapper says 0. The next start clears the
  # killed launcher's run folder.
  printf '{"width": 640,\n' >"$work/xdg/zephrane/config.js"
  launch damaged XDG_CONFIG_HOME="$work/xdg"
  failed_start damaged "Failed to parse configuration file"
  mv "$data/Shader/texture.frag" "$work/"
  launch shader
  failed_start shader "Failed to open shader file: Shader/texture.frag"
  mv "$work/texture.frag" "$data/Shader/"
  local left
  left=$(find "$work/runtime" -maxdepth 1 -name 'zephrane.*')
  [ -z "$left" ] || fail "the launcher left its run folder behind: $left"

  # scripts/play.sh in a copy of the repository's root with a stand-in for setup.sh.
  local root=$work/root
  mkdir -p "$root/scripts"
  cp scripts/play.sh "$root/scripts/" && echo true >"$root/scripts/setup.sh"
  cp -r Shader "$root/" && ln -s "$(pwd)/Resources" "$root/Resources"
  play() {
    env SDL_AUDIODRIVER=dummy ZEPHRANE_BUILD_DIR="$build_dir" bash "$root/scripts/play.sh" \
      </dev/null >"$work/$1.log" 2>&1 &
    launcher=$!
  }
  printf '{"width": 640,\n' >"$root/config.js"
  play play-damaged
  failed_start play-damaged "Failed to parse configuration file"
  printf '{"width": 640, "height": 360}\n' >"$root/config.js"
  rm "$root/Shader/texture.frag"
  play play-shader
  failed_start play-shader "Failed to open shader file: Shader/texture.frag"
  cp Shader/texture.frag "$root/Shader/"
  play play
  until grep -q "Successfully initialized Engine" "$work/play.log" || ! kill -0 $launcher; do
    sleep 1
  done
  status=0
  kill -TERM "$(pgrep -P $launcher -x zephrane)" && wait $launcher || status=$?
  [ $status -eq 0 ] || fail "play.sh: status $status after a normal end: $(cat "$work/play.log")"
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

  for path in ./usr/games/zephrane ./usr/lib/games/zephrane/zephrane \
    ./usr/share/games/zephrane/config.js ./usr/share/games/zephrane/Shader/texture.vert \
    "./usr/share/games/zephrane/Resources/models/Futuristic combat jet.3ds" \
    ./usr/share/applications/$app_id.desktop ./usr/share/icons/hicolor/48x48/apps/$app_id.png \
    ./usr/share/metainfo/$app_id.metainfo.xml ./usr/share/man/man6/zephrane.6.gz \
    ./usr/share/doc/zephrane/copyright ./usr/share/doc/zephrane/docs/help-screen.png; do
    grep -qF " $path" "$work/contents.txt" || fail "the package lacks $path"
  done
  grep -qF "/Resources/fonts/arial.ttf -> ../../../../fonts/truetype/liberation2/" \
    "$work/contents.txt" || fail "the package's font is not a relative link to Liberation Sans"
  # Everything under /usr, and nothing of the build's own bookkeeping.
  if awk '{print $6}' "$work/contents.txt" | grep -v '^\./usr/' \
    || grep -F ".generated" "$work/contents.txt"; then
    fail "the package holds files it should not"
  fi

  # Debian's own checks, and the software centres'.
  lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
  dpkg-deb -x "$deb" "$work/root"
  appstreamcli validate --no-net --strict "$work/root/usr/share/metainfo/$app_id.metainfo.xml" \
    || fail "the AppStream metainfo does not validate"
  # The installed README shows and links only what is installed.
  local doc=$work/root/usr/share/doc/zephrane
  local link
  for link in $(grep -o '](\([^)#:]*\))' "$doc/README.md" | sed 's/^](\(.*\))$/\1/'); do
    [ -e "$doc/$link" ] || fail "the installed README links to $link, which is not installed"
  done
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
