#!/usr/bin/env bash
# Builds the zip directory reader fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) into
# build/fuzz/zip_dir_fuzz: the platform and zip libraries are built with clang in build/fuzz-libs
# first. Run it as: build/fuzz/zip_dir_fuzz -max_total_time=60 -max_len=4096 [corpus-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
libs=build/fuzz-libs
cmake -S . -B "$libs" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DVT_SANITIZE=ON \
  -DVT_TESTS=OFF -DVT_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$libs" --target zip platform -j "$(nproc)"
mkdir -p build/fuzz
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Wall -Wextra \
  -I. fuzz/zip_dir_fuzz.cpp "$libs/zip/libzip.a" "$libs/platform/libplatform.a" \
  $(pkg-config --libs Qt6Widgets) -ldl -o build/fuzz/zip_dir_fuzz
echo build/fuzz/zip_dir_fuzz
