#!/usr/bin/env bash
# Installs what is missing, builds, and generates the run-time data under Resources/.
# Safe to run again: nothing is reinstalled and the build is incremental.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config git
  libglfw3-dev libglew-dev libglm-dev libassimp-dev libdevil-dev libfreetype-dev
  libjsoncpp-dev libsdl2-mixer-dev libstb-dev libmp3lame-dev fonts-liberation2
  libgtest-dev xvfb xauth xdotool valgrind libgl1-mesa-dri glslang-tools
  clang libclang-rt-14-dev
  dpkg-dev desktop-file-utils lintian appstream libx11-dev
  imagemagick netpbm libtiff-tools libjpeg-turbo-progs gifsicle python3-pil # tools/make-test-pictures.sh
  gcovr
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

build_dir=${ZEPHRANE_BUILD_DIR:-build}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir"

# Run-time data is generated, never committed: again whenever the generator is newer.
generator="$build_dir/tools/resgen/zephrane-resgen"
if [ -x "$generator" ]; then
  if [ ! -f Resources/.generated ] || [ "$generator" -nt Resources/.generated ]; then
    echo "setup: generating Resources/"
    rm -rf Resources.tmp
    "$generator" Resources.tmp
    rm -rf Resources
    mv Resources.tmp Resources
    touch Resources/.generated
  fi
fi
