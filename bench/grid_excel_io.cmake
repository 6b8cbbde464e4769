# Benchmarks of the exchange between tables and workbook files (included from
# bench/CMakeLists.txt): saving both tables, opening a 65,000-row runner workbook.
add_executable(grid_excel_io_bench ${CMAKE_CURRENT_LIST_DIR}/grid_excel_io_bench.cpp)
target_link_libraries(grid_excel_io_bench PRIVATE ln40_exchange ln40_table benchmark::benchmark)
