# Benchmarks of the XML scanner, the entry import and the start assignment (included from
# bench/CMakeLists.txt).
add_executable(xml_bench ${CMAKE_CURRENT_LIST_DIR}/xml_bench.cpp)
target_link_libraries(xml_bench PRIVATE ln40_sheet ln40_xml benchmark::benchmark benchmark::benchmark_main)
