# The regular-expression benchmark measures PCRE2 (interpreter) beside the engine.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VT_PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
target_link_libraries(${BENCH_TARGET} PRIVATE editor-services PkgConfig::VT_PCRE2)
