#!/usr/bin/env bash
# Builds everything and runs the whole test suite through CTest under a virtual X server
# (the OpenGL tests need one). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ZEPHRANE_BUILD_DIR:-build}

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
xvfb-run -a -s "-screen 0 1920x1080x24" \
  ctest --test-dir "$build_dir" --output-on-failure -j2 --timeout 900
