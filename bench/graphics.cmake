# The windowless paint path of shapes and lines against the same GDI calls on a
# plain DC. Cross build only (it runs under Wine): configure the win32 tree with
# -DQOV_BENCH=ON and run graphics_bench.exe through wine.
if(NOT QOV_TARGET_WIN32)
  return()
endif()
add_executable(graphics_bench ${CMAKE_CURRENT_LIST_DIR}/graphics_bench.cpp)
target_include_directories(graphics_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(graphics_bench PRIVATE qov_graphics qov_graphics_res qov_controls qov_gui)
set_target_properties(graphics_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
