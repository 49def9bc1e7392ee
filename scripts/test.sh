#!/usr/bin/env bash
# Builds everything and runs the whole test suite through CTest under a virtual X server
# (the OpenGL tests need one), then once more built with AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on any failure: every test runs once, and its
# time limit is its own (tests/CMakeLists.txt). Ends with the size of the tests against the code.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ZEPHRANE_BUILD_DIR:-build}
# -noreset: an X server resets when its last client leaves, and drops any client that connects
# during the reset; with tests starting and ending programs side by side that happens every few
# hundred connections.
xvfb=(xvfb-run -a -s "-screen 0 1920x1080x24 -noreset")

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
echo "test: regular build"
"${xvfb[@]}" ctest --test-dir "$build_dir" --output-on-failure -j2

# The sanitizer stage. Leak checking stays off: the game keeps its objects (and the GL driver
# its own) until the process ends by design; every other report fails the test that caused it.
# It also counts lines and branches (gcov) for the coverage table printed after it.
sanitize_dir="$build_dir-sanitize"
cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHRANE_SANITIZE=ON \
  -DZEPHRANE_COVERAGE=ON >/dev/null
cmake --build "$sanitize_dir"
find "$sanitize_dir" -name '*.gcda' -delete
echo "test: sanitizer build"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
ZEPHRANE_SANITIZED=1 \
  "${xvfb[@]}" ctest --test-dir "$sanitize_dir" --output-on-failure -j2

# Coverage per folder of src/ by the sanitizer stage's tests (README: "Coverage").
gcovr --root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$sanitize_dir/coverage.json" "$sanitize_dir" >/dev/null
python3 scripts/coverage.py "$sanitize_dir/coverage.json"

# Lines of C++, GLSL, shell, Python and CMake: the tests should stay at a quarter to a third of
# the code they test.
count_lines() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.vert' -o -name '*.frag' \
    -o -name '*.sh' -o -name '*.py' -o -name 'CMakeLists.txt' -o -name '*.cmake' \) \
    -exec cat {} + | wc -l
}
test_lines=$(count_lines tests)
code_lines=$(count_lines src tools Shader)
awk -v t="$test_lines" -v c="$code_lines" \
  'BEGIN { printf "test: %d lines of tests for %d lines of code, ratio %.2f\n", t, c, t / c }'
