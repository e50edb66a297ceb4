#!/usr/bin/env bash
# Installs what is missing, builds the Release build and starts the editor with the given file.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
vt_install_missing

build=build/release
# The tree ./test.sh builds with the benchmarks too: only the program is built here.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quorbex
# The browser engine of the preview refuses its sandbox to the superuser.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$build/program/quorbex" "$@"
