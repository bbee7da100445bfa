# Delay-loaded imports for the program (cross build): a DLL named here is loaded
# on the first call into it instead of before main, so start-up loads only what
# the connect needs. For each one a delay-import library is made at configure
# time from the toolchain's own import library (its exported names) and put in
# a folder searched before the toolchain's, so "-lNAME" finds it for the
# program only; the tests keep the plain imports.
find_program(QOV_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
find_program(QOV_NM NAMES i686-w64-mingw32-nm REQUIRED)
find_program(QOV_OBJCOPY NAMES i686-w64-mingw32-objcopy REQUIRED)

# qov_delay_load(target lib=dll ...), e.g. comdlg32=comdlg32.dll
function(qov_delay_load target)
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  file(MAKE_DIRECTORY ${dir})
  # A library left from an earlier list would still be found first and keep
  # its DLL delay-loaded: only the ones named now stay in the folder.
  set(wanted)
  foreach(item ${ARGN})
    string(REGEX REPLACE "=.*" "" lib ${item})
    list(APPEND wanted ${dir}/lib${lib}.a)
  endforeach()
  file(GLOB present ${dir}/lib*.a)
  foreach(old ${present})
    if(NOT old IN_LIST wanted)
      file(REMOVE ${old})
    endif()
  endforeach()
  foreach(item ${ARGN})
    string(REPLACE "=" ";" pair ${item})
    list(GET pair 0 lib)
    list(GET pair 1 dll)
    set(implib /usr/i686-w64-mingw32/lib/lib${lib}.a)
    set(out ${dir}/lib${lib}.a)
    # Made again when the toolchain's library or this file changes.
    if(NOT EXISTS ${out} OR ${implib} IS_NEWER_THAN ${out} OR ${CMAKE_CURRENT_FUNCTION_LIST_FILE} IS_NEWER_THAN ${out})
      execute_process(COMMAND ${QOV_NM} -g ${implib} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cannot read ${implib}")
      endif()
      # Every function the import library names: "__imp__Name@N" becomes "Name@N".
      string(REGEX MATCHALL " I __imp__[^\n]+" imports "${symbols}")
      set(def "LIBRARY ${dll}\nEXPORTS\n")
      foreach(imp ${imports})
        string(REGEX REPLACE "^ I __imp__" "" name "${imp}")
        string(APPEND def "${name}\n")
      endforeach()
      file(WRITE ${dir}/${lib}.def "${def}")
      execute_process(COMMAND ${QOV_DLLTOOL} -k -d ${dir}/${lib}.def -D ${dll} -y ${out} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cannot make the delay-import library of ${dll}")
      endif()
      # dlltool puts the delay tables in the .idata sections, where the linker
      # lays out the ordinary imports and leaves the slots empty instead of
      # pointing them at their binding stubs (the first call would jump to 0).
      # Sections of their own keep the slots as the library wrote them.
      set(moves)
      foreach(n 2 3 4 5 6 7)
        list(APPEND moves --rename-section ".idata$${n}=.didat$${n},alloc,load,contents,data")
      endforeach()
      execute_process(COMMAND ${QOV_OBJCOPY} ${moves} ${out} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cannot move the delay tables of ${dll}")
      endif()
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${out})
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  target_link_libraries(${target} PRIVATE delayimp)
endfunction()
