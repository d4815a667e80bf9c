#!/usr/bin/env bash
# Builds the whole project and runs the whole test suite under the
# sanitizers (gcc):
#   scripts/sanitize.sh asan   AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/sanitize.sh tsan   ThreadSanitizer in build-tsan/
#   scripts/sanitize.sh all    both (the default)
# Every process of the run (test programs, the kxcontainer they start, the
# generators it runs) writes its sanitizer reports into
# <build>/sanitizer-logs/; the run fails when the tests fail or when any
# report was written, and the reports are printed. The browser tests are
# left out (they drive a browser, not our memory or threads).
# Environment: KX_SANITIZE_CTEST_ARGS adds arguments to ctest (e.g. -R name).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-all}
case "$mode" in
  asan | tsan | all) ;;
  *)
    echo "usage: scripts/sanitize.sh [asan|tsan|all]" >&2
    exit 2
    ;;
esac

scripts/setup.sh

root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

# run_suite NAME BUILD-DIR FLAGS
run_suite() {
  local name=$1 build=$2 flags=$3
  local started=$SECONDS
  echo "sanitize: $name: building in $build"
  cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DKX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build"

  local logs="$root/$build/sanitizer-logs"
  rm -rf "$logs"
  mkdir -p "$logs"
  local built=$SECONDS
  echo "sanitize: $name: built in $((built - started)) s; running the tests"
  local status=0
  # shellcheck disable=SC2086
  ctest --test-dir "$build" --output-on-failure -j "$jobs" -E 'browser' \
    ${KX_SANITIZE_CTEST_ARGS:-} || status=$?
  if compgen -G "$logs/*" >/dev/null; then
    echo "sanitize: $name: sanitizer reports:"
    for report in "$logs"/*; do
      echo "==== $report"
      cat "$report"
    done
    status=1
  fi
  echo "sanitize: $name: tests took $((SECONDS - built)) s"
  if [ $status -eq 0 ]; then
    echo "sanitize: $name: clean"
  else
    echo "sanitize: $name: FAILED"
  fi
  return $status
}

# With the sanitizers' instrumentation gcc reports "may be used
# uninitialized" inside Boost.Beast's parser (boost::optional after
# inlining); the normal build does not, and the code is not ours.
quiet="-Wno-maybe-uninitialized"

failed=0
if [ "$mode" = asan ] || [ "$mode" = all ]; then
  # Errors end the process (so a test sees them) and are logged; leaks are
  # reported at exit. A small quarantine keeps freed memory from counting as
  # growth in the tests that bound the container's memory.
  export ASAN_OPTIONS="log_path=$root/build-asan/sanitizer-logs/asan:detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:quarantine_size_mb=32"
  export UBSAN_OPTIONS="log_path=$root/build-asan/sanitizer-logs/ubsan:print_stacktrace=1:halt_on_error=1"
  run_suite "ASan+UBSan" build-asan \
    "-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined $quiet" ||
    failed=1
  unset ASAN_OPTIONS UBSAN_OPTIONS
fi
if [ "$mode" = tsan ] || [ "$mode" = all ]; then
  export TSAN_OPTIONS="log_path=$root/build-tsan/sanitizer-logs/tsan:halt_on_error=1:second_deadlock_stack=1"
  run_suite "TSan" build-tsan "-fsanitize=thread -fno-omit-frame-pointer $quiet" || failed=1
  unset TSAN_OPTIONS
fi
exit $failed
