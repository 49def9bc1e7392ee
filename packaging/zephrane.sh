#!/usr/bin/env bash
# Starts the installed game (installed as bin/zephrane). The game reads config.js, Shader/ and
# Resources/ from its working directory, so it runs in the data folder share/zephrane/ beside
# this script's bin/ folder, wherever the game was installed.
#
# A player's own settings, $XDG_CONFIG_HOME/zephrane/config.js (else ~/.config/zephrane/
# config.js), take the place of the installed default when that file exists: the game then runs
# in a private folder that links the data and that config.js, removed again when the game ends.
#
# Exit status: 0 after a normal end of the game (the game itself says 1), otherwise the game's
# own status (255 after a failed start, 128+N after signal N).
set -u

readonly game_end_status=1
readonly not_a_child_status=127 # what `wait` says once the game's status has been collected

bin_dir=$(dirname "$(readlink -f "$0")")
data_dir=$(readlink -f "$bin_dir/../share/zephrane")
game=$bin_dir/zephrane-game
if [ ! -x "$game" ] || [ ! -f "$data_dir/config.js" ]; then
  echo "zephrane: incomplete installation: $game or $data_dir/config.js is missing" >&2
  exit 1
fi

# XDG_CONFIG_HOME counts only when it is an absolute path; otherwise ~/.config is used.
config_home=${XDG_CONFIG_HOME:-}
case $config_home in
  /*) ;;
  *) config_home=${HOME:+$HOME/.config} ;;
esac
user_config=${config_home:+$config_home/zephrane/config.js}

run_dir=$data_dir
if [ -n "$user_config" ] && [ -e "$user_config" ]; then
  run_dir=$(mktemp -d "${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/zephrane.XXXXXX") || exit 1
  # Only the links made here are removed: the data stays where it was installed.
  trap 'rm -f "$run_dir/Shader" "$run_dir/Resources" "$run_dir/config.js"; rmdir "$run_dir"' EXIT
  ln -s "$data_dir/Shader" "$run_dir/Shader"
  ln -s "$data_dir/Resources" "$run_dir/Resources"
  ln -s "$user_config" "$run_dir/config.js"
  echo "zephrane: settings from $user_config" >&2
fi
cd "$run_dir" || exit 1

# The game runs as a child so that its status can be translated and the private folder removed;
# a signal that would end this script is passed on to the game instead. Standard input stays
# the game's: after a failed start it waits for a key there.
"$game" <&0 &
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

[ "$status" -eq "$game_end_status" ] && exit 0
exit "$status"
