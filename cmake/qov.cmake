# Project-wide compile settings and the helpers that declare libraries and tests.
# The sanitizer flags are set first (cmake/sanitize.cmake, before the
# dependencies are declared) so that json-parser and minilzo run instrumented
# too; the warnings below apply to the project's own code only. The project's
# code builds without a warning, and -Werror keeps it so: a warning fails the
# build. QOV_WERROR=OFF lets a newer compiler's new warnings through while they
# are mended.
option(QOV_WERROR "Treat warnings in the project's own code as errors" ON)
if(QOV_WERROR)
  add_compile_options(-Werror)
endif()
# MinGW's g++ 12 at -O3 as C++20 takes a text joined to a temporary string
# ("!" + Name()) for an overlapping copy (-Wrestrict) and the copy of an empty
# vector ({"IEND", {}} into a pair) for a null argument (-Wnonnull): where it
# says so, the code names the temporary first or passes Bytes() itself.
if(QOV_TARGET_WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601 _CRT_SECURE_NO_WARNINGS)
  add_compile_options(-Wall -Wextra -Wshadow -Wno-unknown-pragmas)
  # One self-contained executable: no MinGW runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  add_compile_options(-Wall -Wextra -Wshadow)
endif()

# qov_library(name SOURCES... [DEPS libs...])
function(qov_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# qov_test(name SOURCES... [DEPS libs...] [BOUNDED Suite.Test seconds...]): a
# GoogleTest executable registered with ctest; on the cross build ctest runs it
# through the Wine emulator. Each BOUNDED test runs apart as name.Suite.Test
# under its own time limit (and not in the executable's run): a refusal whose
# work would not end, or end in minutes, is held by the limit, never by a
# clock inside the test.
function(qov_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;BOUNDED" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} qov_dep_gtest_main)
  set(apart "")
  while(A_BOUNDED)
    list(POP_FRONT A_BOUNDED test seconds)
    add_test(NAME ${name}.${test} COMMAND ${name} --gtest_filter=${test} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name}.${test} PROPERTIES ENVIRONMENT "QOV_TESTDATA=${QOV_TESTDATA_DIR}"
      TIMEOUT ${seconds})
    list(APPEND apart ${test})
  endwhile()
  set(rest "")
  if(apart)
    list(JOIN apart ":" apart)
    set(rest --gtest_filter=-${apart})
  endif()
  add_test(NAME ${name} COMMAND ${name} ${rest} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QOV_TESTDATA=${QOV_TESTDATA_DIR}"
    TIMEOUT 300)
endfunction()

# qov_fuzz(name SOURCE [DEPS libs...]): a libFuzzer target (host, clang, -DQOV_FUZZ=ON)
# and, on every host build, a replay test that runs the target's corpus and its
# regress folder (inputs that once broke it, tests/fuzz/regress/<name>) once.
function(qov_fuzz name source)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  if(QOV_TARGET_WIN32)
    return()
  endif()
  set(corpus ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  set(regress ${PROJECT_SOURCE_DIR}/tests/fuzz/regress/${name})
  if(QOV_FUZZ)
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${source} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  if(NOT QOV_FUZZ)
    add_test(NAME ${name}_replay COMMAND ${name} ${corpus} ${regress})
  endif()
endfunction()
