#!/usr/bin/env bash
# Start-up of the whole program to its first painted window, beside the smallest editor window
# of the toolkit (platform/reference/plain_editor_window.cpp, showing the same template), each
# measured from the moment this script starts the process. The pairs are interleaved RUNS times
# (default 5) on the offscreen platform and, when DISPLAY names an X server (Xvfb, say), on it
# too; min and median are printed with the machine's load. Then the 100 MB open. Uses the
# Release build that ./test.sh makes (build/release), or the build folder VT_BENCH_BUILD names.
# With VT_BENCH_QUICK=1 one pair on the offscreen platform and a small open, as ./test.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VT_BENCH_BUILD:-$PWD/build/release}
bin=$build/bench
program=$build/program
quick=${VT_BENCH_QUICK:-0}
[ "$quick" = 0 ] && runs=${RUNS:-5} || runs=1
export VANTRY_TARN_CONFIG_DIR
VANTRY_TARN_CONFIG_DIR=$(mktemp -d)
trap 'rm -rf "$VANTRY_TARN_CONFIG_DIR"' EXIT
printf '[General]\nMyPath=%s\n' "$program" >"$VANTRY_TARN_CONFIG_DIR/quorbex.ini"

measure() {  # prints milliseconds from process start to first paint
  local t0 out
  t0=$(date +%s%N)
  out=$("$@" 2>/dev/null)
  echo "$out" | awk -v t0="$t0" '/painted_at_ns/ { printf "%.1f\n", ($2 - t0) / 1e6 }'
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
minimum() { sort -n | head -1; }

pass() {  # one platform: interleaved pairs, then the figures
  local platform=$1 ours=() ref=() i
  export QT_QPA_PLATFORM=$platform
  "$bin/app_startup" >/dev/null 2>&1 || true  # warm the file cache
  "$bin/plain_editor_window" "$program/Template.html" >/dev/null 2>&1 || true
  for i in $(seq "$runs"); do
    ours+=("$(measure "$bin/app_startup")")
    ref+=("$(measure "$bin/plain_editor_window" "$program/Template.html")")
    if [ -z "${ours[-1]}" ] || [ -z "${ref[-1]}" ]; then
      echo "check failed: a window did not paint" >&2
      exit 1
    fi
  done
  local om rm
  om=$(printf '%s\n' "${ours[@]}" | median)
  rm=$(printf '%s\n' "${ref[@]}" | median)
  echo "start-up to the first paint, $platform ($runs interleaved pairs; load$(uptime | sed 's/.*load average//')):"
  echo "  ours:                        min $(printf '%s\n' "${ours[@]}" | minimum) ms, median $om ms"
  echo "  minimal Qt editor window:    min $(printf '%s\n' "${ref[@]}" | minimum) ms, median $rm ms"
  awk -v o="$om" -v r="$rm" 'BEGIN { printf "  ours / reference (medians):  %.2fx\n", o / r }'
}

pass offscreen
if [ -n "${DISPLAY:-}" ] && [ "$quick" = 0 ]; then pass xcb; fi
unset QT_QPA_PLATFORM
QT_QPA_PLATFORM=offscreen "$bin/app_open"
