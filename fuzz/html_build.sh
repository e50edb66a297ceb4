#!/usr/bin/env bash
# Builds the HTML highlighter fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) into
# build/fuzz/html_fuzz. Run it as: build/fuzz/html_fuzz -max_total_time=60 [corpus-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
mkdir -p "$out"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Wall -Wextra \
  -I. fuzz/html_fuzz.cpp highlighters/highlighter.cpp highlighters/html.cpp highlighters/html_tags.cpp \
  platform/ansi.cpp platform/classes.cpp platform/sysutils.cpp platform/streams.cpp platform/safe_file.cpp platform/registry.cpp \
  -o "$out/html_fuzz"
echo "$out/html_fuzz"
