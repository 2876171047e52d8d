#!/usr/bin/env bash
# Builds the fuzz target of the received-frame path with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer into build-fuzz/, and runs it for FUZZ_SECONDS
# (default 20) on a copy of the seed corpus. Exits non-zero on a crash; says so
# and exits 0 where clang++ is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null; then
  echo "clang++ not found: fuzzing skipped"
  exit 0
fi

out=build-fuzz
seconds=${FUZZ_SECONDS:-20}
jobs=$(nproc 2>/dev/null || echo 2)
dirs=(platform res knx knxnetip net core app)
# The program's version is kept in CMakeLists.txt alone.
version=$(sed -n 's/^project(Kelvane VERSION \([0-9]*\).*/\1/p' CMakeLists.txt)
flags=(-std=c++17 -O1 -g -fno-omit-frame-pointer -I. -fno-sanitize-recover=all -DKELVANE_VERSION="$version")
mkdir -p "$out/obj"

# The library's sources, as the CMake build takes them: program entries and
# the Windows backend stay out.
mapfile -t sources < <(find "${dirs[@]}" -name '*.cpp' ! -name '*main.cpp' ! -path 'platform/win/*' 2>/dev/null | sort)

# An object is rebuilt when its source or any header is newer than it.
stale=()
objects=()
for src in "${sources[@]}"; do
  obj="$out/obj/${src//\//_}.o"
  objects+=("$obj")
  if [ ! -e "$obj" ] || [ "$src" -nt "$obj" ] ||
     [ -n "$(find "${dirs[@]}" -name '*.h' -newer "$obj" -print -quit 2>/dev/null)" ]; then
    stale+=("$src")
  fi
done
if [ ${#stale[@]} -gt 0 ]; then
  printf '%s\n' "${stale[@]}" | xargs -P "$jobs" -I{} sh -c \
    'clang++ "$@" -fsanitize=fuzzer-no-link,address,undefined -c {} -o "'"$out"'/obj/$(echo {} | tr / _).o"' \
    sh "${flags[@]}"
fi

clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined tests/fuzz/frames_fuzz.cpp \
  "${objects[@]}" -pthread -o "$out/frames_fuzz"

rm -rf "$out/corpus"
cp -r tests/fuzz/corpus "$out/corpus"
UBSAN_OPTIONS=print_stacktrace=1 "$out/frames_fuzz" -max_total_time="$seconds" -max_len=1100 \
  -artifact_prefix="$out/" "$out/corpus"
