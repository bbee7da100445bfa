if(NOT TARGET qov_objcore)
  include(${PROJECT_SOURCE_DIR}/objects/core.cmake)
endif()
qov_fuzz(fuzz_crstream ${CMAKE_CURRENT_LIST_DIR}/fuzz_crstream.cpp DEPS qov_objcore)
