#!/usr/bin/env bash
# Builds what is needed and starts the game from the repository root. Without a display the
# game runs under a virtual X server instead (a replay of the demo flight once available).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ZEPHRANE_BUILD_DIR:-build}

if [ -n "${DISPLAY:-}" ]; then
  exec "$build_dir/zephrane"
fi

echo "play: no display found; running the game under a virtual X server (Xvfb)."
if [ -x "$build_dir/tools/replay/zephrane-replay" ] && [ -f demo/demo.replay ]; then
  mkdir -p out/demo
  xvfb-run -a -s "-screen 0 1600x800x24" \
    "$build_dir/tools/replay/zephrane-replay" demo/demo.replay --screenshots out/demo \
    --state out/demo/state.json
  echo "play: the demo flight's screenshots are in $(pwd)/out/demo/"
else
  # Nobody can press ESC here: end the game after a while.
  xvfb-run -a -s "-screen 0 1600x800x24" timeout 20 "$build_dir/zephrane" </dev/null || true
fi
