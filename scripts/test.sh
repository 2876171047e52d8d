#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks, builds Kelvane and runs every test:
# once in a plain build, once with AddressSanitizer and UndefinedBehaviorSanitizer,
# once more with ThreadSanitizer, and the fuzz target briefly; it also makes
# the Debian package and checks it, builds the programs once as on a machine
# without GoogleTest, and builds for Windows and tests that under Wine.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

build_and_test() {  # folder, ctest filter (may be empty), extra cmake args...
  local dir=$1 filter=$2; shift 2
  cmake -S . -B "$dir" -DKELVANE_WERROR=ON -DBUILD_TESTING=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # A build that lost GoogleTest would still pass its script tests alone.
  [ -x "$dir/kelvane_tests" ] || { echo "no kelvane_tests in $dir: is GoogleTest installed?"; return 1; }
  if [ -n "$filter" ]; then
    ctest --test-dir "$dir" --output-on-failure -R "$filter"
  else
    ctest --test-dir "$dir" --output-on-failure
  fi
}

echo "== plain build"
build_and_test build ""

echo "== Windows"
bash scripts/windows.sh build

echo "== Debian package"
scripts/package.sh
bash tests/package_check.sh build-pkg

echo "== the programs without GoogleTest"
cmake -S . -B build-nogtest -DKELVANE_WERROR=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >/dev/null 2>&1
cmake --build build-nogtest -j "$jobs" --target kelvane kelvane-monitor kelvane-read >/dev/null
if cmake --build build-nogtest --target help | grep -q kelvane_tests; then
  echo "build-nogtest has a test target without GoogleTest"; exit 1
fi

echo "== address and undefined-behaviour sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build_and_test build-asan "" -DKELVANE_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug

echo "== thread sanitizer"
TSAN_OPTIONS=halt_on_error=1 \
  build_and_test build-tsan "" -DKELVANE_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing"
  scripts/fuzz.sh
fi
