# The platform-free helpers of the text, list and menu controls: both builds
# compile them; the host build tests them under the sanitizers.
qov_library(qov_ctlcore
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ctlcore.cpp
  DEPS qov_util)
