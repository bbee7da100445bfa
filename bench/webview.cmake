# The page channel's round-trip benchmark (cross build, run under Wine with the
# page host: tests/webview/run-with-pagehost.sh build/win32/webview_bench.exe). It
# is built beside the program, whose page files (qovwv_html) it opens.
if(QOV_TARGET_WIN32)
  add_executable(webview_bench ${CMAKE_CURRENT_LIST_DIR}/webview_bench.cpp ${PROJECT_SOURCE_DIR}/tests/server/pagecontrol.cpp)
  target_include_directories(webview_bench PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(webview_bench PRIVATE -O2)
  target_link_libraries(webview_bench PRIVATE qov_webview qov_session ws2_32)
  set_target_properties(webview_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
