#!/usr/bin/env bash
# Installs everything, builds from scratch and runs every test:
#  1. the release build (gcc) with all targets and tests, GUI tests offscreen;
#  2. an AddressSanitizer + UndefinedBehaviorSanitizer build (clang) of the
#     non-GUI tests, with the fuzz targets run for a bounded time.
# Both test runs happen inside a network namespace of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${VZ_BUILD_DIR:-$ROOT/build}
JOBS=${VZ_JOBS:-$(nproc)}

bash scripts/install-deps.sh

# Tests never see the real home, settings or runtime folders.
TESTENV=$BUILD/testenv
rm -rf "$TESTENV"
mkdir -p "$TESTENV"/{home,config,data,runtime,tmp}
chmod 700 "$TESTENV/runtime"
export HOME=$TESTENV/home XDG_CONFIG_HOME=$TESTENV/config XDG_DATA_HOME=$TESTENV/data
export XDG_RUNTIME_DIR=$TESTENV/runtime VZ_TEST_TMP=$TESTENV/tmp
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$ROOT/tests/support/lsan.supp

echo "== release build"
cmake -S . -B "$BUILD/release" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD/release" -j "$JOBS"

echo "== sanitizer build"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVZ_SANITIZE=ON -DVZ_BUILD_GUI=OFF -DVZ_BUILD_BENCH=OFF -DVZ_FUZZ=ON
cmake --build "$BUILD/asan" -j "$JOBS"

# Failed tests are run once more on their own after both suites, so the end
# of the log names them and shows their output; a test that passes the second
# time is reported as flaky (and does not fail the run), one that fails again
# fails the run.
declare -A first_failed=()
run_suite() {
  local name=$1 dir=$2; shift 2
  echo "== $name tests"
  scripts/in-netns.sh ctest --test-dir "$dir" -j "$JOBS" --output-on-failure "$@" ||
    first_failed[$name]=1
}
failed_names() {
  cut -d: -f2 "$1/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | paste -sd' ' -
}
rerun_suite() {
  local name=$1 dir=$2; shift 2
  if [[ -z ${first_failed[$name]:-} ]]; then
    summary+=("$name: all passed")
    return
  fi
  local failed
  failed=$(failed_names "$dir")
  echo "== $name: running again on their own: $failed"
  if scripts/in-netns.sh ctest --test-dir "$dir" --rerun-failed --output-on-failure "$@"; then
    summary+=("$name: passed on the second run (flaky): $failed")
  else
    summary+=("$name: FAILED twice: $(failed_names "$dir")")
    status=1
  fi
}
run_suite release "$BUILD/release"
run_suite sanitizer "$BUILD/asan" -LE gui
summary=()
status=0
rerun_suite release "$BUILD/release"
rerun_suite sanitizer "$BUILD/asan" -LE gui
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
