#!/usr/bin/env bash
# Builds the fuzzer of the Pascal, JavaScript, Java and style-sheet highlighters with clang
# (libFuzzer, AddressSanitizer, UBSan) into build/fuzz/languages_fuzz. Run it as:
# build/fuzz/languages_fuzz -max_total_time=60 -timeout=2 [corpus-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
mkdir -p "$out"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Wall -Wextra \
  -I. fuzz/languages_fuzz.cpp highlighters/highlighter.cpp highlighters/token_scanner.cpp highlighters/hash_list.cpp \
  highlighters/pascal.cpp highlighters/jscript.cpp highlighters/java.cpp highlighters/css.cpp \
  platform/ansi.cpp platform/classes.cpp platform/sysutils.cpp platform/streams.cpp platform/registry.cpp \
  -o "$out/languages_fuzz"
echo "$out/languages_fuzz"
