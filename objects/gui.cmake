# The windows and drawing layer (cross build): windows, the pump's window part,
# modal loops, fonts, colours, brushes and pens, painting, focus and layout.
include(${CMAKE_CURRENT_LIST_DIR}/fonttext.cmake)
if(NOT QOV_TARGET_WIN32)
  return()
endif()
qov_library(qov_gui
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/font.cpp
    ${CMAKE_CURRENT_LIST_DIR}/color.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gdicache.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guistartup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pump.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/winlayout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/paint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/focus.cpp
  DEPS qov_fonttext qov_base qov_util user32 gdi32 comctl32 comdlg32)
# qov_objects is declared after this list by objects/CMakeLists.txt; the name
# resolves when the build is generated.
target_link_libraries(qov_gui PUBLIC qov_objects qov_objcore)
if(TARGET qov_session)
  target_link_libraries(qov_gui PUBLIC qov_session)
endif()
