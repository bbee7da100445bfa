# The picture's paint of a scanned page below 100 % against GDI's own halftone
# reduction of the same bits, and its repaint against a bare copy of its
# cached view. Cross build only (it runs under Wine).
if(NOT QOV_TARGET_WIN32)
  return()
endif()
add_executable(pict_bench ${CMAKE_CURRENT_LIST_DIR}/pict_bench.cpp)
target_include_directories(pict_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(pict_bench PRIVATE qov_graphics qov_graphics_res qov_image qov_controls qov_gui)
set_target_properties(pict_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
