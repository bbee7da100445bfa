# The spool file benchmark (Windows build, run under Wine): dense pages into a
# PDF file directly against spooled and replayed at close, and the last page
# of a long spool file reached page by page against one sequential read.
if(NOT QOV_TARGET_WIN32)
  return()
endif()
add_executable(spool_bench ${CMAKE_CURRENT_LIST_DIR}/spool_bench.cpp)
target_include_directories(spool_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(spool_bench PRIVATE qov_print)
