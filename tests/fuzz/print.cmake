# The printer file readers: their platform-free half built here for the host,
# where the rest of printing does not exist.
if(NOT QOV_TARGET_WIN32)
  add_library(qov_prtfile_calc STATIC ${PROJECT_SOURCE_DIR}/print/prtfilecalc.cpp)
  target_include_directories(qov_prtfile_calc PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(qov_prtfile_calc PUBLIC qov_pdf qov_proto qov_util)
  qov_fuzz(fuzz_prtfile ${CMAKE_CURRENT_LIST_DIR}/fuzz_prtfile.cpp DEPS qov_prtfile_calc)
endif()
