#!/usr/bin/env bash
# The long run: replays bench/long-run.replay (30 minutes of game time) through the real game as
# fast as the renderer allows, logs the resident memory after every minute of game time, and
# says whether it grew by less than 5 % from the end of minute 1 to the end of the run.
#
#   bash bench/long-run.sh [SCRIPT]      # from anywhere; results in out/long-run/
#
# LONG_RUN_WINDOW=WIDTHxHEIGHT sets the window (default 400x200). The scene is always drawn on
# the game's 1600 x 800 canvas and a smaller window shows its lower left part, so the game does
# all its work but the software rasterizer fills fewer pixels. ZEPHRANE_BUILD_DIR picks the build
# (default build). Exit status 0 when the memory stayed within the limit, 1 otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
script=$(realpath -m "${1:-bench/long-run.replay}")
build_dir=$(realpath -m "${ZEPHRANE_BUILD_DIR:-build}")
replay="$build_dir/tools/replay/zephrane-replay"
window=${LONG_RUN_WINDOW:-400x200}
growth_limit_percent=5
out="$root/out/long-run"

if [ ! -x "$replay" ]; then
  echo "long-run: $replay is missing; build the project first" >&2
  exit 1
fi
if [[ ! $window =~ ^([0-9]+)x([0-9]+)$ ]]; then
  echo "long-run: LONG_RUN_WINDOW must look like 400x200, not \"$window\"" >&2
  exit 1
fi
width=${BASH_REMATCH[1]}
height=${BASH_REMATCH[2]}

# The game reads config.js, Shader/ and Resources/ from its working directory: a directory of
# its own gets the window size, the rest is linked.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$root/Shader" "$root/Resources" "$work/"
sed -e "s/\"width\": *[0-9]*/\"width\": $width/" -e "s/\"height\": *[0-9]*/\"height\": $height/" \
  config.js >"$work/config.js"

mkdir -p "$out"
rm -f "$out/memory.log" "$out/state.json"
command=("$replay" "$script" --fast --memory-log "$out/memory.log" --state "$out/state.json")
if [ -z "${DISPLAY:-}" ]; then
  command=(xvfb-run -a -s "-screen 0 ${width}x${height}x24 -noreset" "${command[@]}")
fi

echo "long-run: $(basename "$script") in a ${width} x ${height} window; console in $out/console.txt"
start=$(date +%s)
status=0
(cd "$work" && SDL_AUDIODRIVER=dummy "${command[@]}") >"$out/console.txt" 2>"$out/errors.txt" ||
  status=$?
wall=$(($(date +%s) - start))
cat "$out/errors.txt" >&2

# memory.log: "minute frame seconds VmRSS VmHWM" per line, "end" as the last minute.
field() { awk -v m="$1" -v c="$2" '$1 == m { print $c }' "$out/memory.log"; }
printf '%8s %8s %10s %12s %12s\n' minute frame seconds "VmRSS KiB" "VmHWM KiB"
awk '!/^#/ { printf "%8s %8s %10s %12s %12s\n", $1, $2, $3, $4, $5 }' "$out/memory.log"

state() { sed -n "s/^ *\"$1\": \\([^,]*\\),*$/\\1/p" "$out/state.json"; }
echo "wall time: $((wall / 60)) min $((wall % 60)) s; replay exit status $status (1 = normal end)"
if [ -s "$out/state.json" ]; then
  echo "game at the end: points $(state points), level $(state level)," \
    "game over $(state gameOver), rockets in flight $(state rocketsInFlight)"
fi

first=$(field 1 4)
last=$(field end 4)
if [ "$status" -ne 1 ] || [ -z "$first" ] || [ -z "$last" ] || [ "$first" -le 0 ]; then
  echo "long-run: FAIL - the replay did not finish normally or logged no memory figures"
  exit 1
fi
awk -v a="$first" -v b="$last" -v peak="$(field end 5)" -v limit="$growth_limit_percent" 'BEGIN {
  growth = 100 * (b - a) / a
  printf "resident memory: %.1f MiB after minute 1, %.1f MiB at the end, peak %.1f MiB\n",
    a / 1024, b / 1024, peak / 1024
  printf "growth from minute 1 to the end: %+.2f %% (limit %d %%): %s\n", growth, limit,
    growth < limit ? "PASS" : "FAIL"
  exit growth < limit ? 0 : 1
}'
