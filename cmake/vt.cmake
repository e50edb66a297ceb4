# vt_library(<name> DIR <folder> [RECURSE] [EXCLUDE <regex>] [DEPS <targets>...]
#            [PRIVATE_DEPS <targets>...])
# A library target from every .cpp file in a folder (those whose path matches EXCLUDE left out). A folder without sources yet gives an
# interface target, so the layers can be declared before their code exists.
function(vt_library name)
  cmake_parse_arguments(A "RECURSE" "DIR;EXCLUDE" "DEPS;PRIVATE_DEPS" ${ARGN})
  if(A_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  endif()
  if(A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${A_EXCLUDE}")
  endif()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# vt_test(<name> DIR <folder> [EXCLUDE <regex>] DEPS <targets>...)
# One GoogleTest executable from every .cpp file of a test folder (those whose path matches
# EXCLUDE left out), run by CTest as one test.
function(vt_test name)
  cmake_parse_arguments(A "" "DIR;EXCLUDE" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  if(A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${A_EXCLUDE}")
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock)
  # A folder with a main.cpp of its own (GUI tests that need an application object) uses it.
  if(NOT EXISTS ${A_DIR}/main.cpp)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Libraries the program opens from its folder (the web view module) are found there too.
  set_target_properties(${name} PROPERTIES BUILD_RPATH ${VT_PROGRAM_DIR})
  target_compile_definitions(${name} PRIVATE VT_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/data"
                                             VT_TEST_OUTPUT_DIR="${CMAKE_BINARY_DIR}/test-artifacts")
  # A test folder that needs more (a reference library, say) says so in extra.cmake.
  set(TEST_TARGET ${name})
  include(${A_DIR}/extra.cmake OPTIONAL)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 1200)
endfunction()

# vt_fuzz(<name> DEPS <targets>...)
# The fuzz target fuzz/<name>_fuzz.cpp (its LLVMFuzzerTestOneInput) as the program <name>_fuzz in
# <build>/fuzz. With VT_FUZZ it links libFuzzer; otherwise it links fuzz/corpus_main.cpp, which
# feeds it every file of its seed corpus fuzz/corpus/<name>/, and the tests run it so.
function(vt_fuzz name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  set(target ${name}_fuzz)
  add_executable(${target} ${PROJECT_SOURCE_DIR}/fuzz/${name}_fuzz.cpp)
  target_link_libraries(${target} PRIVATE ${A_DEPS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(VT_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/corpus_main.cpp)
  endif()
  set_property(GLOBAL APPEND PROPERTY VT_FUZZ_TARGETS ${name})
endfunction()
