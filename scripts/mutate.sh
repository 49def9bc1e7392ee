#!/usr/bin/env bash
# The mutation run: does the test suite notice small, plausible faults? Each entry of
# scripts/mutations/*.txt replaces one line of a scratch copy of the tree; the copy is rebuilt
# incrementally and the regular test stage runs on it, stopping at the first failure. A mutant
# that fails a test is killed, one that passes every test survived. The file is restored before
# the next entry. Entries are separated by blank lines (# starts a comment outside one):
#
#   == <id>: <the behaviour it breaks>
#   file: <path from the repository root>
#   - <the exact whole line, indentation included>
#   + <its replacement>
#   equivalent: <why no test can see it>      (optional: listed, not run, not counted)
#   out of reach: <why no test reaches it>    (optional: run and counted; shown if it survives)
#
#   place: <folder or script>                 (generated entries: where the line is)
#
#   bash scripts/mutate.sh [options] [LIST.txt ...]    (no list: every list in scripts/mutations/)
#     --generate N        also N generated mutants in every place (scripts/mutants.py: each
#                         folder of src/, tools/replay, tools/preview, packaging/zephrane.sh,
#                         scripts/play.sh); one that does not build is dropped and counted apart;
#                         one listed in scripts/mutations/equivalent.list is shown with its reason
#     --seed S            the number that picks the generated lines (default 1)
#     --only ID[,ID...]   run only these entries
#     --memcheck          also run the valgrind memcheck test (slow; left out by default)
#     --no-baseline       skip the run of the unchanged tree (only when it is known to pass)
#     --all-tests         run every test on a mutant, not only the programs that execute its line
#     --result FILE       where the result goes (default scripts/mutations/RESULT.txt)
#
# Not part of CI. The scratch tree mirrors the commit HEAD names (uncommitted edits are not
# measured; files that are gone are removed) plus the generated data; it and its builds live in
# build-mutate/ (ZEPHRANE_MUTATE_DIR), kept between runs so that the next run builds
# incrementally. A coverage build of the scratch tree tells which test programs execute each
# line (kept per commit); a mutant runs only those, quick programs first. A line of a source
# file that no program was seen to execute runs the programs that execute its file (a process
# that dies of a signal writes no counters); a header's survives without a run. Needs what
# scripts/setup.sh installs and generates.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

only="" memcheck=0 baseline=1 result=scripts/mutations/RESULT.txt lists=() generate=0 number=1
all_tests=0
while [ $# -gt 0 ]; do
  case $1 in
    --generate) generate=$2; shift 2 ;;
    --seed) number=$2; shift 2 ;;
    --only) only=",$2,"; shift 2 ;;
    --memcheck) memcheck=1; shift ;;
    --no-baseline) baseline=0; shift ;;
    --all-tests) all_tests=1; shift ;;
    --result) result=$2; shift 2 ;;
    -*) echo "mutate: unknown option $1" >&2; exit 2 ;;
    *) lists+=("$1"); shift ;;
  esac
done
[[ $generate =~ ^[0-9]+$ ]] || { echo "mutate: --generate wants a count, not $generate" >&2; exit 2; }
if [ ${#lists[@]} -eq 0 ]; then
  for list in scripts/mutations/*.txt; do
    [[ $list == *RESULT.txt ]] || lists+=("$list")
  done
fi
[ -f Resources/.generated ] || { echo "mutate: run bash scripts/setup.sh first" >&2; exit 2; }
git diff --quiet HEAD || echo "mutate: uncommitted edits are not measured; the run is of HEAD" >&2

scratch=${ZEPHRANE_MUTATE_DIR:-$repo/build-mutate}
tree=$scratch/tree
build=$tree/build
entries=$scratch/entries
commit=$(git rev-parse --short HEAD)
mkdir -p "$tree"
python3 scripts/mutants.py mirror "$tree"
if [ "$generate" -gt 0 ]; then
  lists+=("$scratch/generated.txt")
  (cd "$tree" && python3 scripts/mutants.py generate "$generate" "$number" "$scratch/generated.txt")
fi

# Entries, one folder each: id, what, file, minus, plus, equivalent, reach.
rm -rf "$entries" && mkdir -p "$entries"
awk -v dir="$entries" '
  function field(name, text) { f = dir "/" n "/" name; printf "%s", text > f; close(f) }
  FNR == 1 { inside = 0 }
  !inside && /^#/ { next }
  /^== / {
    n++; system("mkdir -p \"" dir "/" n "\"")
    head = substr($0, 4); colon = index(head, ": ")
    field("id", substr(head, 1, colon - 1)); field("what", substr(head, colon + 2))
    field("source", FILENAME); inside = 1; next
  }
  /^$/ { inside = 0; next }
  inside && /^file: / { field("file", substr($0, 7)); next }
  inside && /^- / { field("minus", substr($0, 3)); next }
  inside && /^\+ / { field("plus", substr($0, 3)); next }
  inside && /^equivalent: / { field("equivalent", substr($0, 13)); next }
  inside && /^out of reach: / { field("reach", substr($0, 15)); next }
  inside && /^place: / { field("place", substr($0, 8)); next }
  inside { print FILENAME ": cannot read line: " $0 > "/dev/stderr"; bad = 1 }
  END { exit bad }
' "${lists[@]}"

# Every mutant compiles its file twice (mutated, then restored): a compiler cache makes the
# second one a lookup, and lld links the test programs in a fraction of ld's time.
build_options=()
if command -v ccache >/dev/null; then
  build_options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
if command -v ld.lld >/dev/null; then
  build_options+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${build_options[@]}" \
    >/dev/null
fi
log=$scratch/last.log
# With targets, only those (and the game and its tools, which tests start) are built.
build_tree() {
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@" zephrane zephrane-replay zephrane-preview zephrane-resgen)
  cmake --build "$build" "${targets[@]}" >"$log" 2>&1
}
export SDL_AUDIODRIVER=dummy
# One virtual X server for the whole run: starting one for every program costs seconds a mutant.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset 3>"$scratch/display" 2>/dev/null &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "mutate: the virtual X server did not start" >&2; exit 1; }
export DISPLAY=:$(<"$scratch/display")
xvfb=()
started=$(date +%s)

echo "mutate: building the scratch tree in $tree"
build_tree || { cat "$log"; echo "mutate: the unchanged tree does not build" >&2; exit 1; }
programs=$scratch/programs.json
python3 scripts/mutants.py programs "$build" >"$programs"

# ---------------------------------------------------------------------------------------------
# Which programs execute which line: a coverage build of the same tree, each program's tests
# run alone, gcovr's line report kept per program.
# Kept while the code and the tests stay the same (a change of the scripts or lists keeps it).
coverage_map=$scratch/coverage-$(git rev-parse HEAD:src HEAD:tools HEAD:tests HEAD:CMakeLists.txt |
  sha1sum | cut -c 1-12).json
coverage_build=$scratch/coverage-build
if [ $all_tests -eq 0 ] && [ ! -f "$coverage_map" ]; then
  echo "mutate: the coverage build tells which programs execute each line"
  [ -f "$coverage_build/CMakeCache.txt" ] || cmake -S "$tree" -B "$coverage_build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DZEPHRANE_COVERAGE=ON "${build_options[@]}" >/dev/null
  cmake --build "$coverage_build" >"$log" 2>&1 || { cat "$log"; exit 1; }
  rm -rf "$scratch/coverage" && mkdir -p "$scratch/coverage"
  python3 scripts/mutants.py programs "$coverage_build" >"$scratch/coverage-programs.json"
  while IFS=$'\t' read -r program regex; do
    [ $memcheck -eq 1 ] || [ "$program" != memcheck_test ] || continue
    find "$coverage_build" -name '*.gcda' -delete
    (cd "$tree" && "${xvfb[@]}" ctest --test-dir "$coverage_build" -j2 -R "$regex" >"$log" 2>&1) ||
      echo "mutate: $program fails in the coverage build; its coverage counts as it ran" >&2
    # Two processes of one program writing the same counter file can leave a branch count of
    # -1, which gcov prints and gcovr would stop at; only which lines ran matters here.
    gcovr --root "$tree" --object-directory "$coverage_build" --json --gcov-ignore-parse-errors \
      --output "$scratch/coverage/$program.json" "$coverage_build" >/dev/null 2>&1
    echo "mutate: coverage of $program"
  done < <(python3 scripts/mutants.py each-program "$scratch/coverage-programs.json")
  python3 scripts/mutants.py coverage-map "$coverage_map" "$scratch"/coverage/*.json
fi

# The tests of the programs that execute FILE:LINE (every program with --all-tests) in waves,
# quickest first: one line each, the wave's programs, a tab, a CTest regex of its tests.
select_programs() {
  local map=$coverage_map
  if [ $all_tests -eq 1 ]; then
    map=$scratch/no-map.json
    echo '{}' >"$map"
  fi
  python3 scripts/mutants.py select "$map" "$programs" "$1" "$2" "$scratch/baseline.log" \
    "$([ $memcheck -eq 1 ] || echo memcheck_test)" "$scratch/killers.tsv"
}
# The programs of selected waves, each once.
programs_of() {
  cut -f 1 <<<"$1" | tr ' ' '\n' | awk 'NF && !seen[$0]++'
}
# The build targets those programs need: all of them for the installation's checks.
targets_of() {
  programs_of "$1" | grep -qx install || programs_of "$1"
}
# Runs the selected waves of tests, stopping at the first failure; prints the failed test and
# returns 1 when one failed.
run_tests() {
  local wave regex
  while IFS=$'\t' read -r wave regex; do
    if ! (cd "$tree" && "${xvfb[@]}" ctest --test-dir "$build" -j2 --stop-on-failure -R "$regex" \
      >"$log" 2>&1); then
      sed -n 's/^.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*$/\1/p;s/^.*Test *#[0-9]*: \([^ ]*\) .*Failed.*$/\1/p' \
        "$log" | head -n 1
      return 1
    fi
  done <<<"$1"
}

if [ $baseline -eq 1 ]; then
  echo "mutate: the unchanged tree's tests"
  rm -f "$build/Testing/Temporary/CTestCostData.txt" # stopped runs of mutants distort it
  if (cd "$tree" && "${xvfb[@]}" ctest --test-dir "$build" -j2 \
    -E "$([ $memcheck -eq 1 ] && echo '^$' || echo '^Memcheck\.')" >"$log" 2>&1); then :; else
    echo "mutate: the unchanged tree fails a test; nothing to measure (see $log)" >&2
    exit 1
  fi
  cp "$log" "$scratch/baseline.log" # each test's time, for the waves
fi

# ---------------------------------------------------------------------------------------------
# The entries, one at a time.
body=$scratch/result-body
: >"$body"
declare -A place_done place_killed place_survived place_equivalent place_broken
killed=0 counted=0 broken=0
for dir in $(ls "$entries" | sort -n); do
  e=$entries/$dir
  id=$(<"$e/id")
  [ -z "$only" ] || [[ $only == *",$id,"* ]] || continue
  file=$(<"$e/file") what=$(<"$e/what") place=""
  [ ! -f "$e/place" ] || place=$(<"$e/place")
  if [ -n "$place" ]; then
    [ "${place_done[$place]:-0}" -lt "$generate" ] || continue
  fi
  t0=$(date +%s)
  if [ -f "$e/equivalent" ]; then
    status="equivalent" note=$(<"$e/equivalent")
  elif [ ! -f "$tree/$file" ]; then
    status="not applied" note="no file $file"
  else
    original=$scratch/original
    cp -p "$tree/$file" "$original"
    if MINUS=$(<"$e/minus") PLUS=$(<"$e/plus") awk '
         BEGIN { minus = ENVIRON["MINUS"]; plus = ENVIRON["PLUS"] }
         $0 == minus { found++; print plus; next } { print }
         END { exit found != 1 }' "$original" >"$tree/$file"; then
      line=$(MINUS=$(<"$e/minus") awk '$0 == ENVIRON["MINUS"] { print NR; exit }' "$original")
      selected=$(select_programs "$file" "$line")
      if [[ $file == *.sh ]] && ! bash -n "$tree/$file" 2>"$log"; then
        status="build failed" note="bash -n"
      elif ! build_tree $(targets_of "$selected"); then
        status="build failed" note="see the entry"
      elif [ -z "$selected" ]; then
        status="survived" note="no test executes the line"
      elif failed=$(run_tests "$selected"); then
        status="survived" note="run: $(programs_of "$selected" | paste -sd ' ')"
      else
        status="killed" note="by ${failed:-a test}"
        # Kept between runs: only the order of the tests depends on it, never the outcome.
        [ -z "$failed" ] || printf '%s\t%s\n' "$file" "$failed" >>"$scratch/killers.tsv"
      fi
      if [ "$status" = survived ] && [ -f "$e/reach" ]; then
        note="out of reach: $(<"$e/reach"); $note"
      fi
    else
      status="not applied" note="the - line is not exactly one line of $file"
    fi
    # Back to the original text, newer than any object built from the mutant.
    cp "$original" "$tree/$file" && touch "$tree/$file"
  fi
  # A generated mutant that does not build is dropped from the sample and counted apart.
  if [ -n "$place" ] && [ "$status" = "build failed" ]; then
    status="not built"
    place_broken[$place]=$((${place_broken[$place]:-0} + 1))
  elif [ -n "$place" ]; then
    place_done[$place]=$((${place_done[$place]:-0} + 1))
    case $status in
      killed) place_killed[$place]=$((${place_killed[$place]:-0} + 1)) ;;
      survived) place_survived[$place]=$((${place_survived[$place]:-0} + 1)) ;;
      equivalent) place_equivalent[$place]=$((${place_equivalent[$place]:-0} + 1)) ;;
    esac
  fi
  case $status in
    killed) killed=$((killed + 1)); counted=$((counted + 1)) ;;
    survived) counted=$((counted + 1)) ;;
    "build failed") counted=$((counted + 1)); broken=$((broken + 1)) ;;
    "not applied") broken=$((broken + 1)) ;;
  esac
  printf '%-12s %-28s %4ss  %s%s\n' "$status" "$id" $(($(date +%s) - t0)) "$what" \
    "${note:+ ($note)}" | tee -a "$body"
done
build_tree || true

# ---------------------------------------------------------------------------------------------
# The result: what was run where first, the entries, the generated sample by place, the score.
minutes=$((($(date +%s) - started + 59) / 60))
mkdir -p "$(dirname "$result")"
{
  echo "# Mutation run of $commit, $(date -u '+%Y-%m-%d %H:%M UTC'), $minutes minutes of wall" \
    "time on $(nproc) cores; generated: $generate a place (--seed $number); baseline" \
    "$([ $baseline -eq 1 ] && echo run || echo 'not run (--no-baseline)')"
  echo "# lists: ${lists[*]#"$scratch/"}${only:+; only $only}; memcheck" \
    "$([ $memcheck -eq 1 ] && echo in || echo left out);" \
    "$([ $all_tests -eq 1 ] && echo 'every test on each mutant' || echo 'only the programs that execute the line')"
  cat "$body"
  if [ "$generate" -gt 0 ]; then
    echo "# generated sample by place: killed, survived, equivalent, not built (dropped)"
    for place in src/app src/audio src/formats src/game src/platform src/render src/scene \
      src/text tools/replay tools/preview packaging/zephrane.sh scripts/play.sh; do
      printf '#   %-22s %3d %3d %3d %3d\n' "$place" "${place_killed[$place]:-0}" \
        "${place_survived[$place]:-0}" "${place_equivalent[$place]:-0}" "${place_broken[$place]:-0}"
    done
  fi
  echo "# score $((counted ? 100 * killed / counted : 0)) %"
  echo "killed $killed of $counted"
} >"$result"
tail -n 2 "$result"
[ $broken -eq 0 ] || { echo "mutate: $broken entries did not apply or build" >&2; exit 1; }
