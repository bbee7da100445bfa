# The automation call benchmark (cross build, run under Wine).
if(QOV_TARGET_WIN32)
  add_executable(automation_bench ${CMAKE_CURRENT_LIST_DIR}/automation_bench.cpp)
  target_include_directories(automation_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(automation_bench PRIVATE -O2)
  target_link_libraries(automation_bench PRIVATE qov_com)
endif()
