# The toolbar's AddButton against the bare control calls it makes, and the
# status bar's layout of 100 panels. Cross build only (it runs under Wine):
# run bars_bench.exe through wine.
if(NOT QOV_TARGET_WIN32)
  return()
endif()
add_executable(bars_bench ${CMAKE_CURRENT_LIST_DIR}/bars_bench.cpp)
target_include_directories(bars_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(bars_bench PRIVATE qov_graphics qov_graphics_res qov_controls qov_gui)
add_dependencies(bars_bench qov_graphics_res_build)
set_target_properties(bars_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
