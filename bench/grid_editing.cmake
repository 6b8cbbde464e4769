# Benchmarks of the grid editing logic (included from bench/CMakeLists.txt).
add_executable(grid_editing_bench ${CMAKE_CURRENT_LIST_DIR}/grid_editing_bench.cpp)
target_link_libraries(grid_editing_bench PRIVATE ln40_table benchmark::benchmark benchmark::benchmark_main)
