#!/bin/bash
# The installed game's public command, PREFIX/games/zephrane (/usr/games/zephrane from the
# Debian package). It runs the game binary PREFIX/lib/games/zephrane/zephrane in a private
# run folder that links the installed data of PREFIX/share/games/zephrane (Shader/, Resources/,
# config.js), wherever the game was installed.
#
# Settings: the files the game reads beside config.js, today config.js, gamecontrollerdb.txt and
# keys.js (the player's own keys), are taken from the player's folder $XDG_CONFIG_HOME/zephrane/ (else ~/.config/zephrane/) when
# they are there, each named on standard error; otherwise the installed ones are used.
#
# Arguments (--help, --version) go to the game, which answers them without opening a window.
#
# Exit status: 0 after a normal end of the game (ESC, the close button, Ctrl+C, SIGTERM), and
# never 0 otherwise: 1 for an incomplete installation, else the game's own status (1 after a
# shader file that is missing or does not compile; 255 after a failed start, a shader program
# that does not link or a texture that cannot be decoded; 128+N after signal N). The game's status alone cannot say which: it is 1 after a normal end
# too. So the game is given ZEPHRANE_OUTCOME_FD, a descriptor on a file of the run folder, where
# it writes "end" after a normal end, and ZEPHRANE_PARENT_PID, this script's process id, so that
# it ends when this script is killed. SIGINT, SIGTERM and SIGHUP to this script end the game
# normally. A run folder left behind by a launcher that was killed is removed at the next start.
set -u

readonly settings_files=(config.js gamecontrollerdb.txt keys.js)
readonly data_links=(Shader Resources)
readonly outcome_name=outcome
readonly game_end_status=1
readonly not_a_child_status=127 # what `wait` says once the game's status has been collected

prefix=$(readlink -f "$(dirname "$(readlink -f "$0")")/..")
data_dir=$prefix/share/games/zephrane
game=$prefix/lib/games/zephrane/zephrane
if [ ! -x "$game" ] || [ ! -f "$data_dir/config.js" ]; then
  echo "zephrane: incomplete installation: $game or $data_dir/config.js is missing" >&2
  exit 1
fi
[ $# -eq 0 ] || exec "$game" "$@"

# XDG_CONFIG_HOME counts only when it is an absolute path; otherwise ~/.config is used.
config_home=${XDG_CONFIG_HOME:-}
case $config_home in
  /*) ;;
  *) config_home=${HOME:+$HOME/.config} ;;
esac
settings_dir=${config_home:+$config_home/zephrane}

# Removes a run folder: only what this script puts there, never what the links point to.
remove_run_dir() {
  local name
  for name in "${data_links[@]}" "${settings_files[@]}" "$outcome_name"; do
    rm -f "$1/$name"
  done
  rmdir "$1" 2>/dev/null
}

# Run folders are named after their launcher's process id; one whose launcher is gone is left
# from a launcher that was killed.
run_base=${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}
for stale in "$run_base"/zephrane.*.*; do
  [ -d "$stale" ] && [ -O "$stale" ] && [ ! -L "$stale" ] || continue
  owner=${stale##*/zephrane.}
  owner=${owner%%.*}
  case $owner in
    '' | *[!0-9]*) continue ;;
  esac
  kill -0 "$owner" 2>/dev/null || remove_run_dir "$stale"
done

run_dir=$(mktemp -d "$run_base/zephrane.$$.XXXXXX") || exit 1
trap 'remove_run_dir "$run_dir"' EXIT
for name in "${data_links[@]}"; do
  ln -s "$data_dir/$name" "$run_dir/$name"
done
for name in "${settings_files[@]}"; do
  if [ -n "$settings_dir" ] && [ -e "$settings_dir/$name" ]; then
    ln -s "$settings_dir/$name" "$run_dir/$name"
    echo "zephrane: settings from $settings_dir/$name" >&2
  elif [ -e "$data_dir/$name" ]; then
    ln -s "$data_dir/$name" "$run_dir/$name"
  fi
done
cd "$run_dir" || exit 1

# The game runs as a child so that its status can be translated and the run folder removed. A
# background child of a script ignores the terminal's Ctrl+C (the game keeps it so); a signal
# that would end this script is passed on to the game as SIGTERM instead, once. Standard input
# stays the game's: after a failed start it waits for a key there. Descriptor 3 is the outcome.
ZEPHRANE_OUTCOME_FD=3 ZEPHRANE_PARENT_PID=$$ "$game" <&0 3>"$run_dir/$outcome_name" &
game_pid=$!
signalled=
trap 'signalled=1; kill -TERM "$game_pid" 2>/dev/null' TERM HUP INT
wait "$game_pid"
status=$?
while [ -n "$signalled" ]; do # the wait was cut short by a signal: the game may still run
  signalled=
  wait "$game_pid"
  next=$?
  [ "$next" -eq "$not_a_child_status" ] || status=$next
done

outcome=
read -r outcome <"$run_dir/$outcome_name" 2>/dev/null
if [ "$status" -eq "$game_end_status" ] && [ "$outcome" = end ]; then
  exit 0
fi
[ "$status" -ne 0 ] || status=1 # no normal end, yet nothing said: still a failure
exit "$status"
