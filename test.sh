#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build (all suites, under a private Xvfb),
# the unit suites again under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threading suites under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test
jobs=$(nproc)

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" 2>&1 | grep -E 'error|warning|Error' || true
  cmake --build "$dir" -j"$jobs" >/dev/null   # fails the script if the build failed
}
run_ctest() { # dir, ctest args...
  local dir=$1; shift
  # One private X server for the suites that open real windows; SDL picks it up.
  # -noreset: by default the server resets whenever its last client leaves, and every window
  # the library opens and closes can be that last client; a connection made during the reset
  # is refused (the window then fails to open) and one made just after waits for the new
  # start-up (100 ms and more per window under load).
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" \
    env SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
}

echo "== build and run all tests"
build build
run_ctest build -LE e2e
# The end-to-end tests drive the real program through real time, windows and key presses.
run_ctest build -L e2e

echo "== unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
build build-asan -DHLASIVO_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan -L unit

echo "== threading tests under ThreadSanitizer"
build build-tsan -DHLASIVO_SANITIZE=thread
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp second_deadlock_stack=1" run_ctest build-tsan -L threads
