# The image decoder benchmark, for the host and for Windows (run under Wine).
# Timing under the sanitizers would measure them, not the decoders, so this
# program compiles its own optimised copy of the decoders without
# instrumentation. libtiff (libtiff-dev, installed by the set-up) is the
# reference of the TIFF timings, on the host only.
set(image_bench_root ${PROJECT_SOURCE_DIR})
add_executable(image_bench
  ${CMAKE_CURRENT_LIST_DIR}/image_bench.cpp
  ${image_bench_root}/tests/image/image_testkit.cpp
  ${image_bench_root}/graphics/image/imageload.cpp
  ${image_bench_root}/graphics/image/bmp.cpp
  ${image_bench_root}/graphics/image/png.cpp
  ${image_bench_root}/graphics/image/gif.cpp
  ${image_bench_root}/graphics/image/jpeg.cpp
  ${image_bench_root}/graphics/image/dibutil.cpp
  ${image_bench_root}/graphics/image/tiff.cpp
  ${image_bench_root}/graphics/image/ccitt.cpp
  ${image_bench_root}/graphics/image/pcx.cpp
  ${image_bench_root}/tests/image/raster_kit.cpp
  ${image_bench_root}/session/util/mem.cpp
  ${image_bench_root}/session/util/strutil.cpp)
target_include_directories(image_bench PRIVATE ${image_bench_root} ${image_bench_root}/tests/image)
target_compile_options(image_bench PRIVATE -O2 -g0 -fno-sanitize=all)
target_link_options(image_bench PRIVATE -fno-sanitize=all)
target_link_libraries(image_bench PRIVATE qov_dep_zlib qov_dep_jpeg)
if(NOT QOV_TARGET_WIN32)
  find_library(QOV_LIBTIFF tiff)
  if(NOT QOV_LIBTIFF)
    message(FATAL_ERROR "libtiff not found (libtiff-dev): run scripts/setup.sh")
  endif()
  target_compile_definitions(image_bench PRIVATE QOV_BENCH_LIBTIFF=1)
  target_link_libraries(image_bench PRIVATE ${QOV_LIBTIFF})
endif()
