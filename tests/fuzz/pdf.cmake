qov_fuzz(fuzz_pdf ${CMAKE_CURRENT_LIST_DIR}/fuzz_pdf.cpp DEPS qov_pdf)
