#!/usr/bin/env bash
# Builds the fuzz target of the received-frame path with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer into build-fuzz/ (the CMake option KELVANE_FUZZ),
# and runs it for FUZZ_SECONDS (default 20) on a copy of the seed corpus. Exits
# non-zero on a crash; says so and exits 0 where clang++ is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null; then
  echo "clang++ not found: fuzzing skipped"
  exit 0
fi

out=build-fuzz
seconds=${FUZZ_SECONDS:-20}
CXX=clang++ cmake -S . -B "$out" -DKELVANE_FUZZ=ON -DKELVANE_SANITIZE=address,undefined \
  -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" --target frames_fuzz

rm -rf "$out/corpus"
cp -r tests/fuzz/corpus "$out/corpus"
UBSAN_OPTIONS=print_stacktrace=1 "$out/frames_fuzz" -max_total_time="$seconds" -max_len=1100 \
  -artifact_prefix="$out/" "$out/corpus"
