# Benchmarks of the workbook layer (included from bench/CMakeLists.txt).
add_executable(compound_file_bench ${CMAKE_CURRENT_LIST_DIR}/compound_file_bench.cpp)
target_link_libraries(compound_file_bench PRIVATE ln40_workbook benchmark::benchmark benchmark::benchmark_main)
