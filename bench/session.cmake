# The session benchmark (cross build, run under Wine): the shipped client's
# start-up, round trips, hiding, destroying and object creation against
# bench_peer, a bare Win32 program answering the same frames. Both connect to
# session_server, the host-side server (host build, a Linux program) that
# writes, reads and times the requests; bench/run.sh starts it and runs the
# benchmark with both paths.
if(QOV_TARGET_WIN32)
  add_executable(bench_peer ${CMAKE_CURRENT_LIST_DIR}/bench_peer.cpp)
  target_include_directories(bench_peer PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(bench_peer PRIVATE qov_proto ws2_32 user32 gdi32)
  add_executable(session_bench ${CMAKE_CURRENT_LIST_DIR}/session_bench.cpp)
  target_include_directories(session_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(session_bench PRIVATE qov_proto ws2_32)
  add_dependencies(session_bench bench_peer qovtervex)
else()
  # The frame code is compiled again without the host build's sanitizers, so
  # the server's own turn costs what a real server's would.
  add_executable(session_server ${CMAKE_CURRENT_LIST_DIR}/session_server.cpp
    ${PROJECT_SOURCE_DIR}/session/proto/wire.cpp ${PROJECT_SOURCE_DIR}/session/util/mem.cpp
    ${QOV_DEPS_CACHE}/host/minilzo/minilzo.c)
  set_property(TARGET session_server PROPERTY COMPILE_OPTIONS -O2)
  set_property(TARGET session_server PROPERTY LINK_OPTIONS "")
  target_include_directories(session_server PRIVATE ${PROJECT_SOURCE_DIR} ${QOV_DEPS_CACHE}/host/minilzo)
endif()
