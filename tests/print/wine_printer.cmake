# Print jobs under Wine: a fixture installs the test printers into the run's
# prefix, the job tests print to them, and a host-side checker reads the
# captured PostScript back (ps2pdf, pdftotext -bbox, Ghostscript pixels).
# A second prefix without any printer serves the "no default printer" paths.
add_executable(qovprtsetup qovprtsetup.cpp)
target_link_libraries(qovprtsetup PRIVATE winspool gdi32 advapi32)

set(print_out ${CMAKE_CURRENT_BINARY_DIR})
add_test(NAME print_printer_setup
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/setup_printer.sh $<TARGET_FILE:qovprtsetup> ${print_out})
set_tests_properties(print_printer_setup PROPERTIES FIXTURES_SETUP print_printer TIMEOUT 120)

qov_test(print_job_test SOURCES print_job_test.cpp DEPS qov_print)
set_tests_properties(print_job_test PROPERTIES FIXTURES_REQUIRED print_printer FIXTURES_SETUP print_output
  RUN_SERIAL TRUE)
set_property(TEST print_job_test APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-NoPrinter.*")

# Pictures printed through the program's own start-up wiring (the Pict
# object's image as the client hands it over): ImageMagick draws them first.
add_executable(print_pict_test print_pict_test.cpp ${PROJECT_SOURCE_DIR}/app/wiring.cpp)
target_include_directories(print_pict_test PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(print_pict_test PRIVATE qov_com qov_com_res qov_forms qov_graphics qov_graphics_res qov_controls
  qov_print qov_image qov_webview qov_gui qov_objects qov_objcore qov_session qov_base qov_util qov_dep_gtest_main)
add_dependencies(print_pict_test qov_com_res_build qov_graphics_res_build)
add_test(NAME print_pict_images COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/make_pictures.sh ${print_out})
set_tests_properties(print_pict_images PROPERTIES FIXTURES_SETUP print_pictures TIMEOUT 60)
add_test(NAME print_pict_test COMMAND print_pict_test WORKING_DIRECTORY ${print_out})
set_tests_properties(print_pict_test PROPERTIES FIXTURES_REQUIRED "print_printer;print_pictures"
  FIXTURES_SETUP print_output RUN_SERIAL TRUE RESOURCE_LOCK qov_mouse TIMEOUT 300)

add_test(NAME print_check_output
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check_output.py ${print_out}/out)
set_tests_properties(print_check_output PROPERTIES FIXTURES_REQUIRED print_output TIMEOUT 120)

add_test(NAME print_no_printer
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/no_printer.sh $<TARGET_FILE:print_job_test> ${CMAKE_CURRENT_BINARY_DIR}/noprinter-prefix)
set_tests_properties(print_no_printer PROPERTIES TIMEOUT 300)

# The same jobs end to end: the scripted server drives the real client on the
# test printers and the captured pages are read back.
set(e2e sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e_print.sh $<TARGET_FILE:qovserver> $<TARGET_FILE:qovtervex>)
add_test(NAME print_e2e_jobs
  COMMAND ${e2e} ${CMAKE_CURRENT_SOURCE_DIR}/e2e_jobs.txt ${print_out} ${print_out}/e2e
    lpt1:${CMAKE_CURRENT_SOURCE_DIR}/e2e_default.expect lpt2:${CMAKE_CURRENT_SOURCE_DIR}/e2e_a4.expect)
# The demo's print scene stays a valid session: its invoice is read back, the
# printed one and the protected PDF file the client wrote.
add_test(NAME print_e2e_demo
  COMMAND ${e2e} ${PROJECT_SOURCE_DIR}/tests/server/scripts/demo-print.txt ${print_out} ${print_out}/e2e-demo
    lpt1:${CMAKE_CURRENT_SOURCE_DIR}/e2e_invoice.expect written:${CMAKE_CURRENT_SOURCE_DIR}/invoice-protected.expect
    written:${CMAKE_CURRENT_SOURCE_DIR}/international.expect)
# PDF files with passwords, information and attachments, direct and spooled;
# a page import whose joined content would pass its ceiling.
add_test(NAME print_e2e_pdf
  COMMAND ${e2e} ${CMAKE_CURRENT_SOURCE_DIR}/e2e_pdf.txt ${print_out} ${print_out}/e2e-pdf
    written:${CMAKE_CURRENT_SOURCE_DIR}/e2e_pdf_direct.expect written:${CMAKE_CURRENT_SOURCE_DIR}/e2e_pdf_spooled.expect
    log:${CMAKE_CURRENT_SOURCE_DIR}/e2e_pdf_log.txt make:${CMAKE_CURRENT_SOURCE_DIR}/make_flood_pdf.py)
set_tests_properties(print_e2e_jobs print_e2e_demo print_e2e_pdf PROPERTIES FIXTURES_REQUIRED print_printer TIMEOUT 180
  RESOURCE_LOCK qov_test_printer_capture)

# The preview end to end: paged, zoomed and printed by clicks while the
# screenshots taken are read back.
add_test(NAME print_e2e_preview
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e_preview.sh $<TARGET_FILE:qovserver> $<TARGET_FILE:qovtervex>
    ${CMAKE_CURRENT_SOURCE_DIR}/e2e_preview.txt ${print_out} ${print_out}/e2e-preview
    lpt1:${CMAKE_CURRENT_SOURCE_DIR}/e2e_preview.expect)
# Its screenshots want the display to themselves: it runs alone.
set_tests_properties(print_e2e_preview PROPERTIES FIXTURES_REQUIRED print_printer TIMEOUT 180
  RESOURCE_LOCK qov_test_printer_capture RUN_SERIAL TRUE)

# Printer files and queries end to end: device information, the job font and
# the answers of 2213 and 1209 through the real client, 2213 unanswered under
# the no-print-answers option, and the demo's scene: a text-mode receipt read
# back from LPT2 and a raw label captured from LPT3.
add_test(NAME print_e2e_files
  COMMAND ${e2e} ${CMAKE_CURRENT_SOURCE_DIR}/e2e_files.txt ${print_out} ${print_out}/e2e-files)
add_test(NAME print_e2e_files_quiet
  COMMAND ${e2e} ${CMAKE_CURRENT_SOURCE_DIR}/e2e_files_quiet.txt ${print_out} ${print_out}/e2e-files-quiet)
add_test(NAME print_e2e_printfiles_demo
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e_printfiles.sh $<TARGET_FILE:qovserver> $<TARGET_FILE:qovtervex>
    ${PROJECT_SOURCE_DIR}/tests/server/scripts/demo-printfiles.txt ${print_out} ${print_out}/e2e-printfiles
    lpt2:${CMAKE_CURRENT_SOURCE_DIR}/e2e_receipt.expect)
set_tests_properties(print_e2e_files print_e2e_files_quiet print_e2e_printfiles_demo PROPERTIES
  FIXTURES_REQUIRED print_printer TIMEOUT 180 RESOURCE_LOCK qov_test_printer_capture)
set_tests_properties(print_e2e_printfiles_demo PROPERTIES RUN_SERIAL TRUE)
