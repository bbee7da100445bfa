# sanitize.cmake - the host build runs under AddressSanitizer and
# UndefinedBehaviorSanitizer; included before the dependencies so that the
# libraries compiled from source (json-parser, minilzo) are instrumented as well.
if(NOT QOV_TARGET_WIN32)
  add_compile_options(-fno-omit-frame-pointer -fsanitize=address,undefined
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(QOV_FUZZ)
    # Coverage instrumentation for the libraries the fuzz targets call.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
