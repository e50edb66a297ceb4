target_link_libraries(${BENCH_TARGET} PRIVATE editor-core)
