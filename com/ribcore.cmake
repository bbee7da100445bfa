# The platform-free part of the ribbon host: the font text walk. Both builds
# compile it; the host build tests and fuzzes it under the sanitizers.
qov_library(qov_ribcore
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ribfonttext.cpp
  DEPS qov_util)
