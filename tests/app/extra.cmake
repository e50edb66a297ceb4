# The settings window's backup loads our zip libraries from the program folder.
add_dependencies(${TEST_TARGET} zipdll unzdll)
target_compile_definitions(${TEST_TARGET} PRIVATE VT_ZIP_LIB_DIR="${VT_PROGRAM_DIR}")
