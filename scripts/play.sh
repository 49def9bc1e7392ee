#!/usr/bin/env bash
# Builds what is needed and starts the game from the repository root. Without a display the
# game runs under a virtual X server instead (a replay of the demo flight once available).
# Exits 0 after a normal end and non-zero after a failed start, as shells expect: the game
# itself says 1 after a normal end and 255 after a failed start.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ZEPHRANE_BUILD_DIR:-build}

readonly game_end_status=1 # the game's and the replay's status after a normal end
readonly timeout_status=124 # timeout's status when it had to end a game still running

# The shell's status for the game's status.
finish() {
  [ "$1" -eq "$game_end_status" ] && exit 0
  exit "$1"
}

status=0
if [ -n "${DISPLAY:-}" ]; then
  "$build_dir/zephrane" || status=$?
  finish $status
fi

echo "play: no display found; running the game under a virtual X server (Xvfb)."
if [ -x "$build_dir/tools/replay/zephrane-replay" ] && [ -f demo/demo.replay ]; then
  mkdir -p out/demo
  xvfb-run -a -s "-screen 0 1600x800x24 -noreset" \
    "$build_dir/tools/replay/zephrane-replay" demo/demo.replay --screenshots out/demo \
    --state out/demo/state.json || status=$?
  [ $status -eq $game_end_status ] && echo "play: the demo flight's screenshots are in $(pwd)/out/demo/"
else
  # Nobody can press ESC here: end the game after a while.
  xvfb-run -a -s "-screen 0 1600x800x24 -noreset" timeout 20 "$build_dir/zephrane" </dev/null || status=$?
  [ $status -eq $timeout_status ] && status=$game_end_status
fi
finish $status
