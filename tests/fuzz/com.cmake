qov_fuzz(fuzz_ribfont ${CMAKE_CURRENT_LIST_DIR}/fuzz_ribfont.cpp DEPS qov_ribcore)
