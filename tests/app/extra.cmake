# The settings window's backup loads our zip libraries from the program folder.
add_dependencies(${TEST_TARGET} zipdll unzdll)
target_compile_definitions(${TEST_TARGET} PRIVATE VT_ZIP_LIB_DIR="${VT_PROGRAM_DIR}")
# The program itself is run by the test of its start without a desktop session.
add_dependencies(${TEST_TARGET} quorbex)
target_compile_definitions(${TEST_TARGET} PRIVATE VT_PROGRAM_FILE="${VT_PROGRAM_DIR}/quorbex")
