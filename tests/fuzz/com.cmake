qov_fuzz(fuzz_ribfont ${CMAKE_CURRENT_LIST_DIR}/fuzz_ribfont.cpp DEPS qov_ribcore)
qov_fuzz(fuzz_htmlrules ${CMAKE_CURRENT_LIST_DIR}/fuzz_htmlrules.cpp DEPS qov_comcore qov_util)
qov_fuzz(fuzz_olestore ${CMAKE_CURRENT_LIST_DIR}/fuzz_olestore.cpp DEPS qov_util)
