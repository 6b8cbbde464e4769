# Benchmarks of the desktop window (included from bench/CMakeLists.txt); they run on Qt's
# offscreen platform.
if(TARGET ln40_gui)
  add_executable(gui_bench ${CMAKE_CURRENT_LIST_DIR}/gui_bench.cpp)
  target_link_libraries(gui_bench PRIVATE ln40_gui ln40_timing benchmark::benchmark benchmark::benchmark_main)
endif()
