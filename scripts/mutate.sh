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
#
#   bash scripts/mutate.sh [options] [LIST.txt ...]    (no list: every scripts/mutations/*.txt)
#     --only ID[,ID...]   run only these entries
#     --memcheck          also run the valgrind memcheck test (slow; left out by default)
#     --no-baseline       skip the run of the unchanged tree (only when it is known to pass)
#     --result FILE       where the result goes (default scripts/mutations/RESULT.txt)
#
# Not part of CI: it takes most of an hour. The scratch tree and its build live in
# build-mutate/ (ZEPHRANE_MUTATE_DIR), kept between runs so that the next run builds
# incrementally. Needs what scripts/setup.sh installs and generates (Resources/).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

only="" memcheck=0 baseline=1 result=scripts/mutations/RESULT.txt lists=()
while [ $# -gt 0 ]; do
  case $1 in
    --only) only=",$2,"; shift 2 ;;
    --memcheck) memcheck=1; shift ;;
    --no-baseline) baseline=0; shift ;;
    --result) result=$2; shift 2 ;;
    -*) echo "mutate: unknown option $1" >&2; exit 2 ;;
    *) lists+=("$1"); shift ;;
  esac
done
[ ${#lists[@]} -gt 0 ] || lists=(scripts/mutations/*.txt)
[ -f Resources/.generated ] || { echo "mutate: run bash scripts/setup.sh first" >&2; exit 2; }

scratch=${ZEPHRANE_MUTATE_DIR:-$repo/build-mutate}
tree=$scratch/tree
build=$tree/build
entries=$scratch/entries
mkdir -p "$tree"

# The tree as committed (with uncommitted edits) plus the generated data. Only files whose
# content changed are copied (and so get a new time), so the next build is incremental.
sync_file() {
  cmp -s "$1" "$tree/$1" || { mkdir -p "$tree/$(dirname "$1")" && cp "$1" "$tree/$1"; }
}
git ls-files | while IFS= read -r f; do [ -f "$f" ] && sync_file "$f"; done
find Resources -type f | while IFS= read -r f; do sync_file "$f"; done

# Entries, one folder each: id, what, file, minus, plus, equivalent.
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
  inside { print FILENAME ": cannot read line: " $0 > "/dev/stderr"; bad = 1 }
  END { exit bad }
' "${lists[@]}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
log=$scratch/last.log
build_tree() { cmake --build "$build" >"$log" 2>&1; }

exclude='^$'
[ $memcheck -eq 1 ] || exclude='^Memcheck\.'
export SDL_AUDIODRIVER=dummy
# The regular stage, cheap programs first so that most mutants die within seconds; the first
# failure ends the run. Prints the first failed test.
run_tests() {
  local pass
  for pass in quick slow; do
    local select=(-E "$slow_tests|$exclude")
    [ $pass = quick ] || select=(-R "$slow_tests" -E "$exclude")
    if ! (cd "$tree" && xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" \
      ctest --test-dir "$build" -j2 --stop-on-failure "${select[@]}" >"$log" 2>&1); then
      sed -n 's/^.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*$/\1/p;s/^.*Test *#[0-9]*: \([^ ]*\) .*Failed.*$/\1/p' \
        "$log" | head -n 1
      return 1
    fi
  done
}
# The programs that start the game or the generator (seconds to minutes each).
slow_tests='^(RunTimeFiles|HandEditedData|ReplayGame|GeneratedResources|Playability|Install|Memcheck|RunningGame)'

echo "mutate: building the scratch tree in $tree"
build_tree || { cat "$log"; echo "mutate: the unchanged tree does not build" >&2; exit 1; }
if [ $baseline -eq 1 ]; then
  echo "mutate: the unchanged tree's tests"
  if failed=$(run_tests); then :; else
    echo "mutate: the unchanged tree fails $failed; nothing to measure (see $log)" >&2
    exit 1
  fi
fi

mkdir -p "$(dirname "$result")"
{
  echo "# Mutation run of $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' (with edits)')," \
    "$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "# lists: ${lists[*]}${only:+; only $only}; memcheck $([ $memcheck -eq 1 ] && echo in || echo left out)"
} >"$result"
killed=0 counted=0 broken=0 started=$(date +%s)
for dir in $(ls "$entries" | sort -n); do
  e=$entries/$dir
  id=$(<"$e/id")
  [ -z "$only" ] || [[ $only == *",$id,"* ]] || continue
  file=$(<"$e/file") what=$(<"$e/what")
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
      if ! build_tree; then
        status="build failed" note="see the entry"
      elif failed=$(run_tests); then
        status="survived" note=""
      else
        status="killed" note="by ${failed:-a test}"
      fi
    else
      status="not applied" note="the - line is not exactly one line of $file"
    fi
    # Back to the original text, newer than any object built from the mutant.
    cp "$original" "$tree/$file" && touch "$tree/$file"
  fi
  case $status in
    killed) killed=$((killed + 1)); counted=$((counted + 1)) ;;
    survived) counted=$((counted + 1)) ;;
    "build failed") counted=$((counted + 1)); broken=$((broken + 1)) ;;
    "not applied") broken=$((broken + 1)) ;;
  esac
  line=$(printf '%-12s %-28s %4ss  %s%s' "$status" "$id" $(($(date +%s) - t0)) "$what" \
    "${note:+ ($note)}")
  echo "$line" | tee -a "$result"
done
build_tree || true
minutes=$((($(date +%s) - started + 59) / 60))
{
  echo "# $minutes minutes; score $((counted ? 100 * killed / counted : 0)) %"
  echo "killed $killed of $counted"
} | tee -a "$result"
[ $broken -eq 0 ] || { echo "mutate: $broken entries did not apply or build" >&2; exit 1; }
