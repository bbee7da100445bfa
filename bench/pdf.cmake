# The PDF writer against cairo's PDF surface: text pages per second and bytes
# per page for a dense report page. The writer is compiled again here without
# the host build's sanitizers, so both sides run uninstrumented code.
if(QOV_TARGET_WIN32)
  return()
endif()
find_package(PkgConfig REQUIRED)
pkg_check_modules(QOV_CAIRO REQUIRED IMPORTED_TARGET cairo)
set(pdf_dir ${PROJECT_SOURCE_DIR}/print/pdf)
set(pdf_bench_sources
  ${pdf_dir}/pdfdoc.cpp ${pdf_dir}/pdffont.cpp ${pdf_dir}/pdfpage.cpp ${pdf_dir}/pdfshape.cpp
  ${pdf_dir}/pdfopt.cpp ${pdf_dir}/pdfcrypt.cpp ${pdf_dir}/pdfimage.cpp ${pdf_dir}/pdfattach.cpp ${pdf_dir}/pdfttf.cpp ${pdf_dir}/pdfsubset.cpp ${pdf_dir}/pdfimport.cpp
  ${PROJECT_SOURCE_DIR}/objects/fonttext.cpp
  ${PROJECT_SOURCE_DIR}/session/config.cpp ${PROJECT_SOURCE_DIR}/session/settings.cpp
  ${PROJECT_SOURCE_DIR}/session/log.cpp ${PROJECT_SOURCE_DIR}/session/switches.cpp
  ${PROJECT_SOURCE_DIR}/session/util/md5.cpp ${PROJECT_SOURCE_DIR}/session/util/rc4.cpp
  ${PROJECT_SOURCE_DIR}/session/util/strutil.cpp ${PROJECT_SOURCE_DIR}/session/util/digits.cpp
  ${PROJECT_SOURCE_DIR}/session/util/mem.cpp)
# Text pages; and pictures and passwords (pdfimage_bench).
foreach(bench pdf_bench pdfimage_bench)
  add_executable(${bench} ${CMAKE_CURRENT_LIST_DIR}/${bench}.cpp ${pdf_bench_sources})
  set_property(TARGET ${bench} PROPERTY COMPILE_OPTIONS -O2)
  set_property(TARGET ${bench} PROPERTY LINK_OPTIONS "")
  target_include_directories(${bench} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${bench} PRIVATE PkgConfig::QOV_CAIRO ZLIB::ZLIB JPEG::JPEG)
endforeach()

# TrueType subsetting against fontTools' subsetter (run by Debian's python3
# beside the benchmark), and page import against libqpdf.
pkg_check_modules(QOV_QPDF REQUIRED IMPORTED_TARGET libqpdf)
foreach(bench pdfsubset_bench pdfimport_bench)
  add_executable(${bench} ${CMAKE_CURRENT_LIST_DIR}/${bench}.cpp ${pdf_bench_sources})
  set_property(TARGET ${bench} PROPERTY COMPILE_OPTIONS -O2)
  set_property(TARGET ${bench} PROPERTY LINK_OPTIONS "")
  target_include_directories(${bench} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${bench} PRIVATE ZLIB::ZLIB JPEG::JPEG)
endforeach()
target_compile_definitions(pdfsubset_bench PRIVATE QOV_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
target_link_libraries(pdfimport_bench PRIVATE PkgConfig::QOV_QPDF)
# libqpdf asks its users to say which of its pointer holders they use.
target_compile_definitions(pdfimport_bench PRIVATE POINTERHOLDER_TRANSITION=4)
# libqpdf's JSON.hh keeps a vector of the class it is still defining, which
# clang 14 with libstdc++ 12 refuses as C++20 (the vector's destructor is
# constexpr there): this benchmark stays C++17.
set_property(TARGET pdfimport_bench PROPERTY CXX_STANDARD 17)
