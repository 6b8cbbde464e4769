# Benchmarks of the workbook layer (included from bench/CMakeLists.txt).
add_executable(compound_file_bench ${CMAKE_CURRENT_LIST_DIR}/compound_file_bench.cpp)
target_link_libraries(compound_file_bench PRIVATE ln40_compound_file benchmark::benchmark benchmark::benchmark_main)

# The BIFF8 workbook reader and writer on 65,000 x 12 cells, compared with python3-xlrd and
# python3-xlwt.
add_executable(workbook_bench ${CMAKE_CURRENT_LIST_DIR}/workbook_bench.cpp)
target_link_libraries(workbook_bench PRIVATE ln40_xls benchmark::benchmark)

