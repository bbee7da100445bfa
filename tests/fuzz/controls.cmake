# Fuzz targets of the controls: the menu definition text the server sends.
if(NOT TARGET qov_ctlcore)
  include(${PROJECT_SOURCE_DIR}/controls/ctlcore.cmake)
endif()
qov_fuzz(fuzz_menutext ${CMAKE_CURRENT_LIST_DIR}/fuzz_menutext.cpp DEPS qov_ctlcore)
