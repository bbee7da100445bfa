qov_fuzz(fuzz_proto ${CMAKE_CURRENT_LIST_DIR}/fuzz_proto.cpp DEPS qov_proto)
