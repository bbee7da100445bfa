# Fuzz targets of the forms: the QOF form file reader.
qov_fuzz(fuzz_qof ${CMAKE_CURRENT_LIST_DIR}/fuzz_qof.cpp DEPS qov_formcore)
# The XML form reader, with the QOF writer and reader after it.
qov_fuzz(fuzz_xmlform ${CMAKE_CURRENT_LIST_DIR}/fuzz_xmlform.cpp DEPS qov_formcore)
