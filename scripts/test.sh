#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; exits non-zero on any failure.
#   TARNWICK_BUILD_DIR  build folder (default: build)
#   TARNWICK_SANITIZE   'address,undefined' or 'thread' for a sanitizer build (default: none)
#   TARNWICK_TEST_LABEL run only the tests with this CTest label (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${TARNWICK_BUILD_DIR:-build}
sanitize=${TARNWICK_SANITIZE:-}
bench=ON
[ -n "$sanitize" ] && bench=OFF

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_SANITIZE="$sanitize" -DTARNWICK_BUILD_BENCH="$bench" >/dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

label_args=()
[ -n "${TARNWICK_TEST_LABEL:-}" ] && label_args=(-L "$TARNWICK_TEST_LABEL")
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${label_args[@]}"
