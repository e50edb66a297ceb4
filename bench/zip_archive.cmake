# The zip benchmark loads our libraries from the program folder and runs Info-ZIP beside them.
add_dependencies(${BENCH_TARGET} zipdll unzdll)
target_compile_definitions(${BENCH_TARGET} PRIVATE VT_PROGRAM_DIR="${VT_PROGRAM_DIR}")
