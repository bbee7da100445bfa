# The windows and drawing layer (cross build): windows, the pump's window part,
# modal loops, fonts, colours, brushes and pens, painting, focus and layout.
qov_library(qov_gui
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/font.cpp
    ${CMAKE_CURRENT_LIST_DIR}/color.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gdicache.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guistartup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/guievents.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pump.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/winlayout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/paint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/focus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/objwindowed.cpp
  DEPS qov_fonttext qov_base qov_util user32 gdi32 comctl32 comdlg32)
target_link_libraries(qov_gui PUBLIC qov_objects qov_objcore qov_session)
