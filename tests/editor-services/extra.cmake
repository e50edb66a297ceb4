# The differential test compares the engine with PCRE2 (used only as a reference).
find_package(PkgConfig REQUIRED)
pkg_check_modules(VT_PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
target_link_libraries(${TEST_TARGET} PRIVATE PkgConfig::VT_PCRE2)
