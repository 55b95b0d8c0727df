#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a plain build, then again under
# AddressSanitizer with UndefinedBehaviorSanitizer, and the concurrency tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh

jobs=$(nproc)
export GTEST_DEATH_TEST_STYLE=threadsafe
# Dynamic TLS is not tracked: the leak checker's reading of glibc's table of dynamic TLS blocks
# (those of the GL driver's libraries, loaded at run time) finds a corrupt entry in some layouts
# and its thread tracer crashes at exit ("Tracer caught signal 11"), seen every time for one test
# program on two processors. Our own thread_local data is static TLS and is still scanned.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

configure() {  # folder, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -Wno-dev "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
}

mkdir -p build build-asan build-tsan
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DVOLATRA_SANITIZE=address,undefined
configure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOLATRA_SANITIZE=thread -DVOLATRA_ONLY_CONCURRENCY_TESTS=ON

echo "== build"
cmake --build build -j "$jobs"
echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --build build-asan -j "$jobs"
echo "== build with ThreadSanitizer"
cmake --build build-tsan -j "$jobs"

# Tests make their folders under the build folder's own tmp/, emptied before each run.
run_tests() {  # folder, extra ctest arguments...
  local dir=$1; shift
  rm -rf "$dir/tmp" && mkdir -p "$dir/tmp"
  if (cd "$dir" && TMPDIR="$PWD/tmp" TEST_TMPDIR="$PWD/tmp/" ctest --output-on-failure -j "$jobs" "$@" 2>&1 |
      tee ctest.log); then
    return 0
  fi
  # LeakSanitizer's exit-time tracer can itself crash while it stops a program's threads ("Tracer
  # caught signal"), after every test passed: that says nothing of our code, so the failed tests run
  # once more. Any other failure stands.
  grep -q "LeakSanitizer has encountered a fatal error" "$dir/ctest.log" || return 1
  echo "== LeakSanitizer's tracer failed: the failed tests once more"
  (cd "$dir" && TMPDIR="$PWD/tmp" TEST_TMPDIR="$PWD/tmp/" ctest --output-on-failure -j "$jobs" --rerun-failed)
}

echo "== concurrency tests under ThreadSanitizer"
run_tests build-tsan -L concurrency
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run_tests build-asan
echo "== tests"
run_tests build
