# Benchmarks of the lists and reports (included from bench/CMakeLists.txt).
add_executable(reports_bench ${CMAKE_CURRENT_LIST_DIR}/reports_bench.cpp)
target_link_libraries(reports_bench PRIVATE ln40_reports benchmark::benchmark benchmark::benchmark_main)
