# Benchmarks of the workbook commands: the autosave tick and the XML export on a race of
# 5,000 runners and 20,000 read times (included from bench/CMakeLists.txt).
add_executable(autosave_bench ${CMAKE_CURRENT_LIST_DIR}/autosave_bench.cpp)
target_link_libraries(autosave_bench PRIVATE ln40_exchange ln40_reports benchmark::benchmark benchmark::benchmark_main)
