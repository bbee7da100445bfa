# The font-text parser: platform-free, built by both the host and the cross build.
qov_library(qov_fonttext
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fonttext.cpp)
