# The search benchmark measures memmem and PCRE2 (interpreter) beside the editor's engines.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VT_PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
target_link_libraries(${BENCH_TARGET} PRIVATE editor-services highlighters PkgConfig::VT_PCRE2)
