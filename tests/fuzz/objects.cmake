qov_fuzz(fuzz_crstream ${CMAKE_CURRENT_LIST_DIR}/fuzz_crstream.cpp DEPS qov_objcore)
