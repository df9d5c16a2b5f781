#!/usr/bin/env bash
# Checks the layering, builds everything and runs every test: the Release
# build (what users and packagers build, so CI meets their warnings), its
# Debian package, the same tests under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the fuzzer. Warnings are errors in every
# build here; a user's build only warns. Windows are tested without a
# display, on Qt's offscreen platform.
# Usage: scripts/test.sh        (FUZZ_SECONDS=N to change the fuzzing time, default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

scripts/install-deps.sh all

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

step() { printf '\n=== %s (at %ds) ===\n' "$*" "$SECONDS"; }

step "Layers: every include runs down"
python3 scripts/check-layers.py

step "Format: every C++ file as .clang-format writes it"
scripts/check-format.sh

step "Release build (warnings are errors)"
# For /usr, as the package installs it: the window has its documentation folder compiled in.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build -j "$jobs"

step "Tests"
ctest --test-dir build -j "$jobs" --output-on-failure

step "Package: the .deb of this build, unpacked into a scratch root and checked"
scripts/check-package.sh build --require-dashboard

step "Build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF \
  -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"

step "Tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure -LE slow

step "Fuzzing the receive slots and the decoder"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON \
  -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target feed_fuzzer
mkdir -p build-fuzz/corpus
"$root/build-fuzz/fuzz/feed_fuzzer" -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 \
  build-fuzz/corpus fuzz/seeds 2>&1 | tail -n 12

step "Benchmarks run once"
export QUORVEL_BENCH_SECONDS=2
for bench in build/bench/*_bench; do
  [[ -x "$bench" ]] && "$bench" --benchmark_min_time=0.01 >/dev/null
done
echo "all tests passed in ${SECONDS}s"
