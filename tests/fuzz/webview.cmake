# Fuzz targets of the web view: the dispatch of the messages a page sends.
qov_fuzz(fuzz_pagemsg ${CMAKE_CURRENT_LIST_DIR}/fuzz_pagemsg.cpp DEPS qov_webcore qov_util)
