# Cross build only: the web-view host and its entry functions under Wine, first
# against the recording runtime, then end to end against the Node page host.
qov_test(webview_host_tests
  SOURCES host_test.cpp
  DEPS qov_webview)
add_dependencies(webview_host_tests ${QOV_PAGE_FILES_TESTS})

add_executable(webview_e2e_tests e2e_test.cpp ${PROJECT_SOURCE_DIR}/tests/server/pagecontrol.cpp)
target_include_directories(webview_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(webview_e2e_tests PRIVATE qov_webview qov_dep_gtest_main ws2_32)
add_dependencies(webview_e2e_tests ${QOV_PAGE_FILES_TESTS})
# The harness starts the page host (Node, headless Chromium) and stops it; the
# test program only connects to it.
add_test(NAME webview_e2e_tests
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/run-with-pagehost.sh $<TARGET_FILE:webview_e2e_tests>
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(webview_e2e_tests PROPERTIES TIMEOUT 120)

# Page messages nobody asked for, up to 64 MiB, from a stand-in page host
# (floodhost.js): the client's commit stays under 200 MB.
string(REPLACE "/" "\\" flood_client "Z:${CMAKE_BINARY_DIR}/qovtervex.exe")
string(REPLACE "/" "\\" flood_script "Z:${PROJECT_SOURCE_DIR}/tests/server/scripts/webview-flood.txt")
add_test(NAME webview_scene_flood
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/run-with-pagehost.sh ${CMAKE_BINARY_DIR}/qovserver.exe --timeout 30
    --client "${flood_client}" ${flood_script}
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(webview_scene_flood PROPERTIES TIMEOUT 180 FAIL_REGULAR_EXPRESSION "FAIL"
  ENVIRONMENT "QOV_PAGEHOST_SCRIPT=${CMAKE_CURRENT_SOURCE_DIR}/floodhost.js")

# qov_webview_twin(name script): a scripted-server scene run in the web view
# and natively (twin.sh); both pass and answer alike.
function(qov_webview_twin name script)
  add_test(NAME webview_twin_${name}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/twin.sh ${CMAKE_BINARY_DIR}/qovserver.exe ${CMAKE_BINARY_DIR}/qovtervex.exe
            ${PROJECT_SOURCE_DIR}/tests/server/scripts/${script}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(webview_twin_${name} PROPERTIES TIMEOUT 180 FAIL_REGULAR_EXPRESSION "FAIL")
endfunction()
# qov_webview_input_twin(name script): a twin whose only input is the user's
# mouse, wheel and keys (SendInput) in both runs; the pointer and the keyboard
# focus are the display's, and any other test's window that opens takes the
# foreground (no window manager here), so such scenes run alone.
function(qov_webview_input_twin name script)
  qov_webview_twin(${name} ${script})
  set_tests_properties(webview_twin_${name} PROPERTIES RESOURCE_LOCK qov_mouse RUN_SERIAL TRUE)
endfunction()
qov_webview_twin(windows webview-windows.txt)
qov_webview_twin(drawn webview-drawn.txt)
# The drawn kinds in the page itself (run in the web view only); its GIF is
# drawn by ImageMagick into the program's images folder first.
find_program(QOV_MAGICK_CONVERT convert REQUIRED)
add_test(NAME webview_drawn_gif
  COMMAND ${QOV_MAGICK_CONVERT} -size 37x23 xc:orange GIF:${CMAKE_BINARY_DIR}/qovwv_html/images/drawn.gif)
set_tests_properties(webview_drawn_gif PROPERTIES FIXTURES_SETUP qov_drawn_gif)
add_test(NAME webview_page_drawn
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/twin.sh ${CMAKE_BINARY_DIR}/qovserver.exe ${CMAKE_BINARY_DIR}/qovtervex.exe
          ${PROJECT_SOURCE_DIR}/tests/server/scripts/webview-drawn-page.txt web
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(webview_page_drawn PROPERTIES TIMEOUT 180 FAIL_REGULAR_EXPRESSION "FAIL"
  FIXTURES_REQUIRED qov_drawn_gif)
qov_webview_twin(buttons webview-buttons.txt)
qov_webview_twin(lists webview-lists.txt)
qov_webview_twin(edits webview-edits.txt)

# qov_webview_scene(name script): a scene of what only the web view has, run
# in the web view alone.
function(qov_webview_scene name script)
  add_test(NAME webview_scene_${name}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/twin.sh ${CMAKE_BINARY_DIR}/qovserver.exe ${CMAKE_BINARY_DIR}/qovtervex.exe
            ${PROJECT_SOURCE_DIR}/tests/server/scripts/${script} web
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(webview_scene_${name} PROPERTIES TIMEOUT 180 FAIL_REGULAR_EXPRESSION "FAIL")
endfunction()
qov_webview_scene(services webview-services.txt)
qov_webview_scene(chatty webview-chatty.txt)
qov_webview_scene(busy_flush webview-busy-flush.txt)
qov_webview_scene(batch webview-batch.txt)
qov_webview_scene(early_notice webview-early-notice.txt)
qov_webview_scene(htmlcontrol webview-htmlcontrol.txt)
qov_webview_scene(htmltwin demo-htmlcontrol.txt)
# Its native button is clicked through SendInput and must take the focus:
# it runs alone, as another test's new window takes the focus and the front.
set_tests_properties(webview_scene_htmltwin PROPERTIES RESOURCE_LOCK qov_mouse RUN_SERIAL TRUE)
qov_webview_scene(lists webview-lists-page.txt)
qov_webview_scene(entry webview-entry.txt)
qov_webview_scene(dialog_place webview-dialog-place.txt)
qov_webview_scene(bars webview-bars-page.txt)
qov_webview_input_twin(toolbar webview-toolbar.txt)
qov_webview_scene(status webview-status.txt)
qov_webview_input_twin(menus webview-menus.txt)
qov_webview_input_twin(menukeys webview-menukeys-twin.txt)
qov_webview_input_twin(focus webview-focus-twin.txt)
qov_webview_input_twin(clipboard webview-clipboard-twin.txt)
qov_webview_input_twin(input webview-input-twin.txt)
qov_webview_input_twin(listtree webview-listtree-twin.txt)
qov_webview_input_twin(events webview-events-twin.txt)
qov_webview_input_twin(stream webview-stream-twin.txt)
qov_webview_input_twin(pixels webview-pixels-twin.txt)
qov_webview_input_twin(move webview-move-twin.txt)

# Numbered pictures from the server: a bare DIB (ImageMagick's bitmap less its
# file header) that the scene's server sends for picture resource 101.
add_test(NAME webview_scene_dib
  COMMAND sh -c "${QOV_MAGICK_CONVERT} -size 16x8 xc:red BMP3:pict101.bmp && tail -c +15 pict101.bmp > pict101.dib"
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(webview_scene_dib PROPERTIES FIXTURES_SETUP qov_scene_dib)
qov_webview_scene(images webview-images.txt)
set_tests_properties(webview_scene_images PROPERTIES FIXTURES_REQUIRED qov_scene_dib
  ENVIRONMENT "QOV_SCENE_FILES=${CMAKE_CURRENT_BINARY_DIR}/pict101.dib")

# The web view's failures, each a scene with its log checked (failures.sh): a
# page that stops answering, a page host that ends, a Chromium that cannot
# start, a client killed mid-session (no folder left behind).
add_test(NAME webview_failures
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/failures.sh ${CMAKE_BINARY_DIR}/qovserver.exe ${CMAKE_BINARY_DIR}/qovtervex.exe
          ${PROJECT_SOURCE_DIR}/tests/server/scripts
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(webview_failures PROPERTIES TIMEOUT 300 FAIL_REGULAR_EXPRESSION "FAIL")

# The page on the screen, driven by SendInput only (onscreen.sh): the host
# window's client area equals the page's own picture pixel for pixel.
add_test(NAME webview_onscreen
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/onscreen.sh ${CMAKE_BINARY_DIR}/qovserver.exe ${CMAKE_BINARY_DIR}/qovtervex.exe
          ${PROJECT_SOURCE_DIR}/tests/server/scripts
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(webview_onscreen PROPERTIES TIMEOUT 180 FAIL_REGULAR_EXPRESSION "FAIL"
  RESOURCE_LOCK qov_mouse RUN_SERIAL TRUE)

# Screenshot pairs: after both runs of these twins their windows' client areas
# are compared control by control (twinshots.sh; shotpair.sh scores each crop
# by the DSSIM of its outline maps, threshold 0.345). Measured (same on every
# run; the pictures do not change between runs):
#   honest pairs: buttons ok 0.210 (the default button, with its frame),
#     check 0.180, one 0.285, two 0.160, cancel 0.227; edits label 0.198,
#     group 0.170; toolbar 0.329
#   planted faults: button frames taken away (.btn border none) ok 0.442,
#     cancel 0.385; the New tool button's icon taken away 0.366
#   the overflowing data list's right 3 cells (edits, list-right): honest
#     0.164; its scroll bar hidden 0.388; Chromium's own scroll bar, not
#     drawn as the native one, 0.367
# A serif face is not told apart by the outlines: the label scores 0.237 with
# it, less than some honest pairs, because the web view's text is wider than
# the native one ("Customer name:" 88 pixels against 74), so a narrower serif
# face (78) comes as close to it. The label's text score against its caption
# rendered in the page's sans face tells it (threshold 0.14): honest 0.079,
# serif 0.217.
# The tests that take pairs run alone: the native picture is read from the
# screen, where windows of other Wine tests opening at the same place show in
# it (read from the window's own device context instead, it has unpainted
# black holes) although the window stands uncovered in Wine's own order.
# A dialog's close box, shot whole in both runs: honest 0.260; the close box
# without its cross (an empty square) 0.578.
qov_webview_twin(closebox webview-closebox-twin.txt)
set_tests_properties(webview_twin_buttons webview_twin_edits webview_twin_toolbar webview_twin_closebox PROPERTIES
  ENVIRONMENT "QOV_TWIN_AFTER=bash ${CMAKE_CURRENT_SOURCE_DIR}/twinshots.sh" RUN_SERIAL TRUE)

# qov_webview_shot_fault(name script ctrl js): the twin scene with a fault
# planted in its web page before the shot; the comparison of ctrl must fail.
# (js holds no semicolon: CMake would split the argument there.)
function(qov_webview_shot_fault name script ctrl js)
  add_test(NAME webview_shotfault_${name}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/shotfault.sh ${CMAKE_BINARY_DIR}/qovserver.exe ${CMAKE_BINARY_DIR}/qovtervex.exe
            ${PROJECT_SOURCE_DIR}/tests/server/scripts/${script} ${ctrl} ${js}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(webview_shotfault_${name} PROPERTIES TIMEOUT 180 FAIL_REGULAR_EXPRESSION "FAIL"
    RUN_SERIAL TRUE)
endfunction()
qov_webview_shot_fault(frameless webview-buttons.txt cancel
  "document.head.insertAdjacentHTML('beforeend', '<style>.btn { border: none !important }</style>')")
qov_webview_shot_fault(serif webview-edits.txt label
  "document.head.insertAdjacentHTML('beforeend', '<style>* { font-family: serif !important }</style>')")
qov_webview_shot_fault(icon webview-toolbar.txt tb
  "document.querySelector('.qovtbi').style.backgroundImage = 'none'")
qov_webview_shot_fault(noscroll webview-edits.txt list-right
  "document.head.insertAdjacentHTML('beforeend', '<style>::-webkit-scrollbar { display: none !important }</style>')")
qov_webview_shot_fault(closebox webview-closebox-twin.txt close "$('.ui-dialog-titlebar-close .ui-icon').remove()")
# The toolbar scene clicks its New button through SendInput (both runs): it
# shares the pointer with the other input scenes too.
set_tests_properties(webview_twin_toolbar webview_shotfault_icon PROPERTIES
  RESOURCE_LOCK "qov_twin_shots;qov_mouse")
