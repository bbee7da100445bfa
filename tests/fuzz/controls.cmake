# Fuzz targets of the controls: the menu definition text and the tab labels the
# server sends.
qov_fuzz(fuzz_menutext ${CMAKE_CURRENT_LIST_DIR}/fuzz_menutext.cpp DEPS qov_ctlcore)
qov_fuzz(fuzz_tablabels ${CMAKE_CURRENT_LIST_DIR}/fuzz_tablabels.cpp DEPS qov_gfxcore)
