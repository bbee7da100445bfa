# The session core of the program (cross build): link, dispatch, answers,
# handles, method calls, server files, COM registration and the pump.
qov_library(qov_session
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/srvmsg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/answer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/srvfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/comreg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pump.cpp
    ${CMAKE_CURRENT_LIST_DIR}/syslib.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hoptrace.cpp
  DEPS qov_proto qov_base qov_util qov_sockwait ws2_32 advapi32 user32)
# The bounded socket read shared by the session link, the page host's
# connections and the scripted server.
qov_library(qov_sockwait
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sockwait.cpp
  DEPS ws2_32)
