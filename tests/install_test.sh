#!/usr/bin/env bash
# The installed game as a player and an administrator meet it, in temporary folders only.
#   launcher  `cmake --install` into a temporary prefix: the font link, the menu entry, the command
#             line without a display; the launcher, started from an unrelated folder, plays with
#             the installed settings, ~/.config's (with a damaged gamepad file) and
#             $XDG_CONFIG_HOME's until ESC, SIGINT, SIGTERM or its own SIGKILL, and fails after a
#             damaged config.js and a missing shader; scripts/play.sh likewise.
#   package   the Debian package from CPack: contents, dependencies, lintian, AppStream.
# Usage, from the repository root (CTest runs it there, under the test script's X server):
#   bash tests/install_test.sh launcher|package BUILD_DIR
set -euo pipefail

readonly system_font=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
readonly start_seconds=120                # a loaded machine's llvmpipe is slow to start
readonly end_seconds=60
readonly app_id=io.github.zephrane.Zephrane

[ $# -eq 2 ] || { echo "usage: $0 launcher|package BUILD_DIR" >&2 && exit 2; }
mode=$1
build_dir=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Starts the installed launcher from an unrelated folder in the background, in a process group of
# its own with SIGINT at its default as in a terminal's foreground (a script's background ignores
# SIGINT); its output goes to $work/NAME.log. Usage: launch NAME [VARIABLE=VALUE...]
launch() {
  local name=$1
  shift
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

# Plays until the window is up with SIZE, ends the game with ESC, or SIGTERM, SIGINT or SIGKILL
# to the launcher, and checks its status (0; 137 killed), the settings files it named and that
# the game went with it.
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
  ! grep -a "Failed" "$log" || fail "$name: the game reported a failure"
  local said
  said=$(sed -n 's/^zephrane: settings from //p' "$log" | xargs)
  [ "$said" = "$settings" ] || fail "$name: settings from '$said', not '$settings'"
}

# Starts a wrapper with STARTER (launch or play) as NAME and checks that it ends with the game's
# STATUS (255 for a failed start; a missing shader ends it with 1) and says WHY.
# Usage: failed_start STARTER NAME STATUS WHY [VARIABLE=VALUE...]
failed_start() {
  local name=$2 expected=$3 why=$4 status=0
  "$1" "$name" "${@:5}"
  ended_within $launcher $start_seconds || fail "$name: still running"
  wait $launcher || status=$?
  [ $status -eq "$expected" ] || fail "$name: status $status, not $expected"
  grep -q "$why" "$work/$name.log" || fail "$name: no '$why' in: $(cat "$work/$name.log")"
}

check_launcher() {
  local prefix=$work/prefix data=$work/prefix/share/games/zephrane
  cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; fail "cmake --install failed"; return; }

  [ "$(readlink -f "$data/Resources/fonts/arial.ttf")" = "$system_font" ] \
    || fail "the font is not a link to $system_font"
  desktop-file-validate "$prefix/share/applications/$app_id.desktop" \
    || fail "the menu entry does not validate"
  # The installed documents name the version, and no placeholder is left unfilled in them.
  zcat "$prefix/share/man/man6/zephrane.6.gz" | grep -q '^\.TH ZEPHRANE 6 [0-9-]* "zephrane 0\.1\.0"' \
    || fail "the manual page does not name version 0.1.0"
  ! zgrep -l '@[A-Z_]*@' "$prefix/share/man/man6/zephrane.6.gz" \
    "$prefix/share/applications/$app_id.desktop" "$prefix/share/metainfo/$app_id.metainfo.xml" \
    || fail "an installed document holds an unfilled @NAME@"
  # The menu entry starts the installed launcher by its path, as a session without the prefix on
  # its PATH runs it.
  local exec_line
  exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$app_id.desktop")
  [ "$exec_line" = "$prefix/games/zephrane" ] && [ -x "$exec_line" ] \
    || fail "the menu entry starts '$exec_line', not the launcher $prefix/games/zephrane"

  # The command line, answered without a display.
  local out status=0 game=$prefix/games/zephrane
  out=$(env -u DISPLAY "$game" --help && env -u DISPLAY "$game" --version) || fail "--help, --version"
  [[ $out == *"config.js"*"~/.config/zephrane/"*"LEFT / RIGHT"*$'\n'"zephrane 0.1.0" ]] || fail "$out"
  out=$(env -u DISPLAY "$game" --bogus 2>&1 >/dev/null) || status=$?
  [[ $status:$out == "2:zephrane: unknown option --bogus"$'\n'"usage: zephrane"* ]] \
    || fail "--bogus: status $status, $out"
  # A launcher without its game and data beside it says so and fails by itself.
  mkdir -p "$work/bare/games" && cp "$game" "$work/bare/games/"
  out=$("$work/bare/games/zephrane" 2>&1) && status=0 || status=$?
  [[ $status:$out == "1:zephrane: incomplete installation: $work/bare/lib/games/zephrane/zephrane or"* ]] \
    || fail "a bare launcher: status $status, $out"

  local settings=$work/home/.config/zephrane
  mkdir -p "$work/elsewhere" "$work/runtime" "$settings" "$work/xdg/zephrane"
  play_until_end installed escape 1600x800 ""
  printf '{"width": 640, "height": 360}\n' >"$settings/config.js"
  printf 'not a mapping\n' >"$settings/gamecontrollerdb.txt"
  printf '{"fire": "G"}\n' >"$settings/keys.js"
  play_until_end home INT 640x360 \
    "$settings/config.js $settings/gamecontrollerdb.txt $settings/keys.js"
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

  # Failed starts; the next start clears the killed launcher's run folder.
  printf '{"width": 640,\n' >"$work/xdg/zephrane/config.js"
  failed_start launch damaged 255 "Failed to parse configuration file" XDG_CONFIG_HOME="$work/xdg"
  mv "$data/Shader/texture.frag" "$work/"
  failed_start launch shader 1 "Failed to open shader file: Shader/texture.frag"
  mv "$work/texture.frag" "$data/Shader/"
  [ -z "$(find "$work/runtime" -maxdepth 1 -name 'zephrane.*')" ] || fail "run folder left behind"

  # The uninstaller removes every file the install wrote, and leaves the player's settings.
  "$prefix/lib/games/zephrane/uninstall.sh" >"$work/uninstall.log" 2>&1 || fail "uninstall.sh failed"
  local left
  left=$(find "$prefix" ! -type d)
  [ -z "$left" ] || fail "uninstall.sh left: $left"
  [ -z "$(find "$prefix" -path '*zephrane*')" ] || fail "uninstall.sh left the game's folders"
  [ -f "$settings/keys.js" ] || fail "uninstall.sh removed the player's settings"

  # scripts/play.sh in a copy of the repository's root, started as the README says (its build in
  # build/): a missing shader, then Ctrl+C while the scene is being assembled (the game in the
  # foreground takes it itself and ends normally).
  local root=$work/root
  mkdir -p "$root/scripts"
  cp scripts/play.sh "$root/scripts/" && echo 'touch setup-ran' >"$root/scripts/setup.sh"
  cp -r Shader "$root/" && ln -s "$(pwd)/Resources" "$(pwd)/config.js" "$root/"
  ln -s "$build_dir" "$root/build"
  play() {
    setsid env --default-signal=INT -u ZEPHRANE_BUILD_DIR SDL_AUDIODRIVER=dummy \
      bash "$root/scripts/play.sh" </dev/null >"$work/$1.log" 2>&1 &
    launcher=$!
  }
  rm "$root/Shader/texture.frag"
  failed_start play play-shader 1 "Failed to open shader file: Shader/texture.frag"
  cp Shader/texture.frag "$root/Shader/"
  rm "$root/config.js" && printf '{"width": 640,\n' >"$root/config.js"
  failed_start play play-config 255 "Failed to parse configuration file"
  rm "$root/config.js" && ln -s "$(pwd)/config.js" "$root/"
  play play
  until grep -q "Successfully initialized Engine" "$work/play.log" || ! kill -0 $launcher; do sleep 1; done
  status=0
  kill -INT -- -$launcher && wait $launcher || status=$?
  [ $status -eq 0 ] || fail "play.sh: status $status after Ctrl+C: $(cat "$work/play.log")"
  ! grep -q "no display found" "$work/play.log" || fail "play.sh went on after the game had ended"
  [ -f "$root/setup-ran" ] || fail "play.sh did not build first (scripts/setup.sh)"
  # Without a display, a virtual X server runs the demo flight (here a short one of the test's
  # own) and then, with no demo, the game until play.sh ends it; both count as a normal end.
  headless() {
    env -u DISPLAY -u ZEPHRANE_BUILD_DIR SDL_AUDIODRIVER=dummy bash "$root/scripts/play.sh" \
      </dev/null >"$work/$1.log" 2>&1 \
      || fail "play.sh without a display: status $? ($1): $(cat "$work/$1.log")"
    grep -qx "play: no display found; running the game under a virtual X server (Xvfb)." \
      "$work/$1.log" || fail "play.sh without a display did not say so ($1)"
  }
  mkdir "$root/demo" && printf '3 0.05 W\nshot level\n' >"$root/demo/demo.replay"
  headless play-demo
  [ -f "$root/out/demo/level.png" ] && grep -qx "play: the demo flight's screenshots are in \
$root/out/demo/" "$work/play-demo.log" || fail "no demo flight: $(cat "$work/play-demo.log")"
  rm -r "$root/demo" && headless play-headless
}

check_package() {
  cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack failed"; return; }
  local deb
  deb=$(find "$work" -maxdepth 1 -name 'zephrane_*.deb')
  [ -n "$deb" ] || { fail "no zephrane_*.deb built"; return; }
  dpkg-deb -c "$deb" | tee "$work/contents.txt"

  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  # The font and every library the game links, each a Debian package of its own.
  for package in fonts-liberation2 libassimp5 libdevil1c2 libfreetype6 libglew2.2 libglfw3 \
    libjsoncpp25 libopengl0 libsdl2-mixer-2.0-0; do
    [[ ", $depends," =~ ", $package"[\ ,] ]] || fail "the package does not depend on $package"
  done

  for path in ./usr/games/zephrane ./usr/lib/games/zephrane/zephrane \
    ./usr/share/games/zephrane/config.js ./usr/share/games/zephrane/Shader/texture.vert \
    "./usr/share/games/zephrane/Resources/models/Futuristic combat jet.3ds" \
    ./usr/share/applications/$app_id.desktop ./usr/share/icons/hicolor/48x48/apps/$app_id.png \
    ./usr/share/metainfo/$app_id.metainfo.xml ./usr/share/man/man6/zephrane.6.gz; do
    grep -qF " $path" "$work/contents.txt" || fail "the package lacks $path"
  done
  grep -qF "/Resources/fonts/arial.ttf -> ../../../../fonts/truetype/liberation2/" \
    "$work/contents.txt" || fail "the package's font is not a relative link to Liberation Sans"
  ! grep -F ".generated" "$work/contents.txt" || fail "the package holds the build's bookkeeping"

  # Debian's own checks (a file outside /usr, a missing copyright or manual page, icons of
  # the wrong size among them), and the software centres'.
  lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
  dpkg-deb -x "$deb" "$work/root"
  appstreamcli validate --no-net --strict "$work/root/usr/share/metainfo/$app_id.metainfo.xml" \
    || fail "the AppStream metainfo does not validate"
  # The installed README shows and links only what is installed.
  local doc=$work/root/usr/share/doc/zephrane link
  for link in $(grep -o '](\([^)#:]*\))' "$doc/README.md" | sed 's/^](\(.*\))$/\1/'); do
    [ -e "$doc/$link" ] || fail "the installed README links to $link, which is not installed"
  done
}

case $mode in
  launcher) check_launcher ;;
  package) check_package ;;
  *) echo "unknown check $mode" >&2 && exit 2 ;;
esac
[ $failures -eq 0 ] || { echo "install_test $mode: $failures failure(s)" && exit 1; }
echo "install_test $mode: passed"
