# The session benchmark (cross build, run under Wine): the shipped client's
# start-up, round trips and object creation against bench_peer, a bare Win32
# program answering the same frames. bench/run.sh runs it with both paths.
if(QOV_TARGET_WIN32)
  add_executable(bench_peer ${CMAKE_CURRENT_LIST_DIR}/bench_peer.cpp)
  target_include_directories(bench_peer PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(bench_peer PRIVATE ws2_32 user32 gdi32)
  add_executable(session_bench ${CMAKE_CURRENT_LIST_DIR}/session_bench.cpp)
  target_include_directories(session_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(session_bench PRIVATE ws2_32)
  add_dependencies(session_bench bench_peer qovtervex)
endif()
