#!/usr/bin/env bash
# Builds what is needed and starts the game from the repository root. Without a display the
# game runs under a virtual X server instead (a replay of the demo flight once available).
# Exits 0 after a normal end of the game and non-zero otherwise, as shells expect. The game's
# own status cannot say which (1 after a normal end, but also after a shader that is missing),
# so it is told to write "end" to a descriptor after a normal end (ZEPHRANE_OUTCOME_FD, see
# src/platform/ParentLink.h) and to end with this script (ZEPHRANE_PARENT_PID).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ZEPHRANE_BUILD_DIR:-build}

readonly game_end_status=1  # the game's and the replay's status after a normal end
readonly timeout_status=124 # timeout's status when it had to end a game still running

outcome_file=$(mktemp)
trap 'rm -f "$outcome_file"' EXIT
exec 3>"$outcome_file"
export ZEPHRANE_OUTCOME_FD=3

# The shell's status for the game's status: 0 only after a normal end the game reported.
finish() {
  local outcome=
  read -r outcome <"$outcome_file" || true
  if [ "$outcome" = end ] && { [ "$1" -eq $game_end_status ] || [ "$1" -eq $timeout_status ]; }; then
    exit 0
  fi
  [ "$1" -ne 0 ] || exit 1
  exit "$1"
}

status=0
if [ -n "${DISPLAY:-}" ]; then
  ZEPHRANE_PARENT_PID=$$ "$build_dir/zephrane" || status=$?
  finish $status
fi

echo "play: no display found; running the game under a virtual X server (Xvfb)."
if [ -x "$build_dir/tools/replay/zephrane-replay" ] && [ -f demo/demo.replay ]; then
  xvfb-run -a -s "-screen 0 1600x800x24 -noreset" \
    "$build_dir/tools/replay/zephrane-replay" demo/demo.replay --screenshots out/demo \
    --state out/demo/state.json || status=$?
  [ $status -eq $game_end_status ] && echo "play: the demo flight's screenshots are in $(pwd)/out/demo/"
else
  # Nobody can press ESC here: end the game after a while (SIGTERM, a normal end).
  xvfb-run -a -s "-screen 0 1600x800x24 -noreset" timeout 20 "$build_dir/zephrane" </dev/null || status=$?
fi
finish $status
