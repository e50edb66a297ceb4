#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer + UBSan) and the Release build
# with the benchmarks, runs every test headless, then every benchmark once in quick mode
# (VT_BENCH_QUICK=1: small generated data, a few rounds, each benchmark's own checks). Warnings
# are errors in both builds. Exit status is non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
vt_install_missing

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVT_SANITIZE=ON -DVT_BENCH=OFF -DVT_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
# The Release tree that ./run.sh builds the program in, with the benchmarks. It builds while the
# tests run (they leave most cores idle once the short ones are done); its output follows theirs.
release=build/release
cmake -S . -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_TESTS=OFF -DVT_BENCH=ON -DVT_WERROR=ON \
  >/dev/null
release_log=$(mktemp)
setsid cmake --build "$release" -j "$(nproc)" >"$release_log" 2>&1 </dev/null &
release_pid=$!

export QT_QPA_PLATFORM=offscreen
# Headless whatever the desktop: no test reaches the user's display.
unset DISPLAY WAYLAND_DISPLAY
# The browser engine of the preview refuses its sandbox to the superuser.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export VANTRY_TARN_CONFIG_DIR
VANTRY_TARN_CONFIG_DIR=$(mktemp -d)
# A failure stops the Release build too (its own process group).
trap 'kill -- -"$release_pid" 2>/dev/null || kill "$release_pid" 2>/dev/null || true; rm -rf "$VANTRY_TARN_CONFIG_DIR" "$release_log"' EXIT
export VANTRY_TARN_DATA_DIR="$VANTRY_TARN_CONFIG_DIR/data"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
release_status=0
wait "$release_pid" || release_status=$?
cat "$release_log"
[ "$release_status" -eq 0 ]
ctest --test-dir "$release" -L bench --no-tests=error --output-on-failure -j "$(nproc)"
