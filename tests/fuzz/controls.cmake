# Fuzz targets of the controls: the menu definition text the server sends.
qov_fuzz(fuzz_menutext ${CMAKE_CURRENT_LIST_DIR}/fuzz_menutext.cpp DEPS qov_ctlcore)
