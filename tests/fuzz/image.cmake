# Fuzz targets of the image decoders.
qov_fuzz(fuzz_bmp ${CMAKE_CURRENT_LIST_DIR}/fuzz_bmp.cpp DEPS qov_image)
qov_fuzz(fuzz_png ${CMAKE_CURRENT_LIST_DIR}/fuzz_png.cpp DEPS qov_image)
qov_fuzz(fuzz_gif ${CMAKE_CURRENT_LIST_DIR}/fuzz_gif.cpp DEPS qov_image)
qov_fuzz(fuzz_jpeg ${CMAKE_CURRENT_LIST_DIR}/fuzz_jpeg.cpp DEPS qov_image)
qov_fuzz(fuzz_tiff ${CMAKE_CURRENT_LIST_DIR}/fuzz_tiff.cpp DEPS qov_image)
qov_fuzz(fuzz_pcx ${CMAKE_CURRENT_LIST_DIR}/fuzz_pcx.cpp DEPS qov_image)
