#!/usr/bin/env bash
# Redraws the model pictures in docs/models/ with zephrane-preview from the generated models
# under Resources/ (scripts/setup.sh makes them). Without a display it runs itself under a
# virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ZEPHRANE_BUILD_DIR:-build}
out=docs/models

if [ -z "${ZEPHRANE_PREVIEW_BUILT:-}" ]; then
  if [ ! -d Resources/models ]; then
    echo "make-previews: Resources/models is missing; run scripts/setup.sh first" >&2
    exit 1
  fi
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  cmake --build "$build_dir" --target zephrane-preview
  export ZEPHRANE_PREVIEW_BUILT=1
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi

preview="$build_dir/tools/preview/zephrane-preview"
mkdir -p "$out"

# picture, model, options. Standard input is closed: a missing texture would otherwise wait
# for a key.
picture() {
  local name=$1 model=$2
  shift 2
  "$preview" "Resources/models/$model" "$out/$name.png" "$@" </dev/null
}

picture skybox3 skybox3.obj --yaw 0 --pitch -15
picture terrain terrain.fbx --yaw 30 --pitch 35 --distance 0.8
picture jet "Futuristic combat jet.3ds" --local-transform jet --yaw 145 --pitch 25 --distance 0.7
picture missile AIM120D.3ds --local-transform rocket --yaw 120 --pitch 20 --distance 0.75
picture spinner anim.obj --yaw 30 --pitch 30 --distance 0.75
picture hangar finallightmapBaked.obj --yaw 35 --pitch 20 --distance 0.8
picture tower SSD+WE.obj --yaw 35 --pitch 15 --distance 1
picture target single.obj --yaw 25 --pitch 10 --distance 0.9
picture crate uvbox.obj --yaw 35 --pitch 25 --distance 1
