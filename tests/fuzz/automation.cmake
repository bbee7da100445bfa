qov_fuzz(fuzz_autovalue ${CMAKE_CURRENT_LIST_DIR}/fuzz_autovalue.cpp DEPS qov_comcore qov_proto)
