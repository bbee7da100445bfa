# The form loading benchmark (cross build, run under Wine): a 500-object form
# loaded from a QOF file against the same objects made by their creators.
if(QOV_TARGET_WIN32)
  add_executable(forms_bench ${CMAKE_CURRENT_LIST_DIR}/forms_bench.cpp)
  target_include_directories(forms_bench PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(forms_bench PRIVATE qov_forms qov_controls qov_gui)
endif()
# The form saving benchmark: a 500-object form saved as a QOF file against the
# same objects' property reads alone.
if(QOV_TARGET_WIN32)
  add_executable(forms_save_bench ${CMAKE_CURRENT_LIST_DIR}/forms_save_bench.cpp)
  target_include_directories(forms_save_bench PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(forms_save_bench PRIVATE qov_forms qov_controls qov_gui)
endif()
