# Fuzz targets of the web view: the dispatch of the messages a page sends.
qov_fuzz(fuzz_pagemsg ${CMAKE_CURRENT_LIST_DIR}/fuzz_pagemsg.cpp DEPS qov_webcore qov_util)
# The markup of every kind from a creation stream.
qov_fuzz(fuzz_markup ${CMAKE_CURRENT_LIST_DIR}/fuzz_markup.cpp DEPS qov_webcore qov_objcore qov_base qov_util)
# Hostile page events routed to a tree of windows and buttons.
qov_fuzz(fuzz_pageevent ${CMAKE_CURRENT_LIST_DIR}/fuzz_pageevent.cpp DEPS qov_webcore qov_wvrecpage qov_objcore qov_base qov_util)
# The list controls' readers of delimited text and tab stops.
qov_fuzz(fuzz_listtext ${CMAKE_CURRENT_LIST_DIR}/fuzz_listtext.cpp DEPS qov_webcore qov_objcore qov_base qov_util)
# The web edits' number formatting and text conversions.
qov_fuzz(fuzz_webedit ${CMAKE_CURRENT_LIST_DIR}/fuzz_webedit.cpp DEPS qov_webcore qov_ctlcore qov_objcore qov_base qov_util)
# The list view's and the tree view's XML loaders, and the savers on what they loaded.
qov_fuzz(fuzz_xmlcontents ${CMAKE_CURRENT_LIST_DIR}/fuzz_xmlcontents.cpp DEPS qov_webcore qov_objcore qov_base qov_util)
# A web menu built from its definition text (the definition grammar of the menus).
qov_fuzz(fuzz_webmenu ${CMAKE_CURRENT_LIST_DIR}/fuzz_webmenu.cpp DEPS qov_webcore qov_ctlcore qov_objcore qov_base qov_util)
# An image resource turned into the file of the images folder (bitmap or icon).
qov_fuzz(fuzz_webimagefile ${CMAKE_CURRENT_LIST_DIR}/fuzz_webimagefile.cpp DEPS qov_webcore qov_objcore qov_base qov_util)
# The list view's delimited text and row sort: load, sort twice, save and load back.
qov_fuzz(fuzz_lvtext ${CMAKE_CURRENT_LIST_DIR}/fuzz_lvtext.cpp DEPS qov_webcore qov_objcore qov_base qov_util)
