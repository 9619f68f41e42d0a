#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: the formatting and
# include checks, the release build with warnings as errors, the same suite
# under AddressSanitizer and UBSan, the fuzzers for a bounded time, the
# Windows build under Wine, and the packages: the .deb and the Windows .zip
# built, the .deb installed with apt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh

jobs=${HOSHIBAKO_JOBS:-2}
build_and_test() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 900
}

echo "== formatting and include checks"
bash scripts/check-format.sh
bash scripts/check-includes.sh

echo "== release build and tests"
build_and_test build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSHIBAKO_WERROR=ON

echo "== sanitizer build and tests"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
build_and_test build/asan -DCMAKE_BUILD_TYPE=Debug -DHOSHIBAKO_SANITIZE=ON -DHOSHIBAKO_BENCH=OFF

echo "== ThreadSanitizer: the job, the command line and concurrent conversions"
tsan_targets=(job_tests cli_tests audio_tests output_safety_tests hoshibako-cli)
cmake -S "$root" -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSHIBAKO_TSAN=ON \
  -DHOSHIBAKO_UI=OFF -DHOSHIBAKO_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target "${tsan_targets[@]}"
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" --timeout 900 \
  -R '^(job_tests|cli_tests|output_safety_tests)$'
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} build/tsan/tests/audio/audio_tests \
  --gtest_filter='ConverterTest.ConcurrentConversionsDoNotInterfere:FlacConverterTest.*:*InTwoHalves*'

echo "== fuzzers (bounded)"
CC=clang CXX=clang++ build_and_test build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOSHIBAKO_FUZZ=ON \
  -DHOSHIBAKO_UI=OFF -DHOSHIBAKO_BENCH=OFF

echo "== Windows build under Wine"
bash scripts/test-windows.sh

echo "== packages: the .deb and the Windows .zip, and the .deb installed with apt"
bash scripts/test-packages.sh
