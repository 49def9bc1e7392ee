#!/usr/bin/env bash
# Flies tests/data/memcheck.replay through the real game under valgrind's memcheck and fails on
# any invalid read or write, use of an uninitialised value or bad free outside the GL driver
# (whose own reports tests/valgrind/gl-driver.supp suppresses). Leaks do not count: the game
# keeps its objects until it ends, by design. VALGRIND_OPTS may add options, such as
# --track-origins=yes to find where an uninitialised value came from.
# Usage, from the repository root under an X server: bash tests/memcheck.sh VALGRIND ZEPHRANE_REPLAY
set -euo pipefail

readonly error_status=99   # valgrind's exit status after memcheck reported an error
readonly game_end_status=1 # the game's exit status after a normal end

if [ $# -ne 2 ] || [ -z "${DISPLAY:-}" ]; then
  echo "usage: $0 VALGRIND ZEPHRANE_REPLAY, with an X display" >&2
  exit 2
fi
valgrind=$1
replay=$(realpath "$2")
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A small window keeps the driver's pixel work small; the game still draws its whole canvas.
printf '{"width": 320, "height": 160}\n' >"$work/config.js"
ln -s "$root/Shader" "$work/Shader"
ln -s "$root/Resources" "$work/Resources"

# Most of the run is llvmpipe compiling shaders under valgrind: GALLIVM_PERF=nopt skips LLVM's
# optimisation passes and saves about a third of it. LP_NUM_THREADS=0 rasterises on the game's
# thread instead of a pool that valgrind would run one thread at a time anyway. The child that
# forks (and is not followed) is D-Bus's autolaunch helper.
status=0
(cd "$work" && SDL_AUDIODRIVER=dummy GALLIVM_PERF=nopt LP_NUM_THREADS=0 "$valgrind" \
  --tool=memcheck --error-exitcode=$error_status \
  --suppressions="$root/tests/valgrind/gl-driver.supp" --num-callers=40 \
  --leak-check=no --errors-for-leak-kinds=none --child-silent-after-fork=yes \
  --log-file="$work/memcheck.log" \
  "$replay" "$root/tests/data/memcheck.replay" --fast --state state.json --screenshots shots \
  >"$work/output.txt" 2>&1) || status=$?

summary=$(grep -h "ERROR SUMMARY" "$work/memcheck.log" | sed 's/^==[0-9]*== //' || true)
if [ $status -ne $game_end_status ]; then
  cat "$work/output.txt" "$work/memcheck.log"
  echo "memcheck: ended with status $status ($error_status: memcheck errors); $summary"
  exit 1
fi
# The flight is meant to end on the game-over screen; without it a drawing path goes unchecked.
if ! grep -q '"gameOver": true' "$work/state.json"; then
  echo "memcheck: the flight no longer ends in game over; adjust tests/data/memcheck.replay"
  exit 1
fi
echo "memcheck: $summary"
