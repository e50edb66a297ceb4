#!/usr/bin/env bash
# Start-up of the whole program to its first painted window (offscreen), measured from the
# moment this script starts the process; then the 100 MB open. Uses the benchmark build:
#   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_TESTS=OFF
#   cmake --build build/bench --target app_startup app_open program-data
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bench/bench
runs=${RUNS:-15}
export QT_QPA_PLATFORM=offscreen
export VANTRY_TARN_CONFIG_DIR
VANTRY_TARN_CONFIG_DIR=$(mktemp -d)
trap 'rm -rf "$VANTRY_TARN_CONFIG_DIR"' EXIT
printf '[General]\nMyPath=%s\n' "$PWD/build/bench/program" >"$VANTRY_TARN_CONFIG_DIR/quorbex.ini"

measure() {  # prints milliseconds from process start to first paint
  local t0 out
  t0=$(date +%s%N)
  out=$("$@" 2>/dev/null)
  echo "$out" | awk -v t0="$t0" '/painted_at_ns/ { printf "%.1f\n", ($2 - t0) / 1e6 }'
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

"$bin/app_startup" >/dev/null 2>&1 || true  # warm the file cache
startup=$(for _ in $(seq "$runs"); do measure "$bin/app_startup"; done | median)
reference=$(for _ in $(seq "$runs"); do
  t0=$(date +%s%N); /bin/true; t1=$(date +%s%N); echo "$(( (t1 - t0) / 1000 ))"
done | median)
echo "start-up to the first painted window: ${startup} ms (median of $runs)"
echo "reference, starting /bin/true: ${reference} us"
"$bin/app_open"
