# startup_imports.cmake - the program's own import table names only the DLLs
# its start-up steps use; everything else is delay-loaded (app/CMakeLists.txt).
# A plain import of another DLL would load it, and what it imports in turn,
# before the connect on every launch.
# Usage: cmake -DOBJDUMP=i686-w64-mingw32-objdump -DEXE=qovtervex.exe -P startup_imports.cmake
cmake_minimum_required(VERSION 3.20)

# The allowed DLLs, each with the start-up step that needs it.
set(allowed
  kernel32   # the process
  msvcrt     # the C run-time
  advapi32   # the settings in the registry
  user32     # the main window and the message pump
  gdi32      # the colour table and the default font
  ws2_32     # the connect
)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the import table of ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
set(extra)
foreach(line ${names})
  string(REGEX REPLACE "^DLL Name: ([^.]+)\\..*$" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST allowed)
    list(APPEND extra ${dll})
  endif()
endforeach()
if(extra)
  message(FATAL_ERROR "loaded before the connect without a start-up step needing them: ${extra}")
endif()
message(STATUS "start-up imports: ${names}")
