# The printer file benchmark (Windows build, run under Wine): 2213 messages of
# 4 KB into a disk file against WriteFile of the same blocks.
if(NOT QOV_TARGET_WIN32)
  return()
endif()
add_executable(prtfile_bench ${CMAKE_CURRENT_LIST_DIR}/prtfile_bench.cpp)
target_include_directories(prtfile_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(prtfile_bench PRIVATE qov_print)
