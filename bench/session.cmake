# Benchmarks of a reader line through the timing session with the journal on, in this process
# and through `ln40cli serve` (included from bench/CMakeLists.txt).
add_executable(session_bench ${CMAKE_CURRENT_LIST_DIR}/session_bench.cpp)
target_link_libraries(session_bench PRIVATE ln40_app ln40_journal ln40_link util benchmark::benchmark
  benchmark::benchmark_main)
target_compile_definitions(session_bench PRIVATE LN40CLI_PATH="$<TARGET_FILE:ln40cli>")
add_dependencies(session_bench ln40cli)
