qov_fuzz(fuzz_utf ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_utf.cpp DEPS qov_util)
qov_fuzz(fuzz_xml ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_xml.cpp DEPS qov_util)
qov_fuzz(fuzz_json ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_json.cpp DEPS qov_util)
