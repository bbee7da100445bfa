qov_fuzz(fuzz_pdf ${CMAKE_CURRENT_LIST_DIR}/fuzz_pdf.cpp DEPS qov_pdf)
qov_fuzz(fuzz_pdfopt ${CMAKE_CURRENT_LIST_DIR}/fuzz_pdfopt.cpp DEPS qov_pdf)
qov_fuzz(fuzz_pdfimage ${CMAKE_CURRENT_LIST_DIR}/fuzz_pdfimage.cpp DEPS qov_pdf)
qov_fuzz(fuzz_pdfttf ${CMAKE_CURRENT_LIST_DIR}/fuzz_pdfttf.cpp DEPS qov_pdf)
