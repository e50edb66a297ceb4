# The zip tests load our libraries from the program folder and fake libraries of chosen
# versions from folders of their own.
add_dependencies(${TEST_TARGET} zipdll unzdll)
target_compile_definitions(${TEST_TARGET} PRIVATE VT_ZIP_LIB_DIR="${VT_PROGRAM_DIR}"
                                                  VT_FAKE_LIB_DIR="${CMAKE_BINARY_DIR}/fake-zip-libs"
                                                  VT_ZIP_TEST_DIR="${CMAKE_CURRENT_LIST_DIR}")
target_link_libraries(${TEST_TARGET} PRIVATE zipformat)
foreach(version 152 153 172 300 301)
  foreach(kind zipdll unzdll)
    set(fake fake_${kind}_${version})
    add_library(${fake} SHARED ${CMAKE_CURRENT_LIST_DIR}/fake/fake_lib.cc)
    target_compile_definitions(${fake} PRIVATE FAKE_VERSION=${version})
    set_target_properties(${fake} PROPERTIES OUTPUT_NAME ${kind}
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake-zip-libs/v${version})
    add_dependencies(${TEST_TARGET} ${fake})
  endforeach()
endforeach()
