# The opening benchmark drives the control with the HTML highlighter attached.
target_link_libraries(${BENCH_TARGET} PRIVATE editor highlighters)
