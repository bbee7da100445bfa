# The platform-free part of the object model: tables, creation streams, records,
# the operation table and its dispatchers, events. Both builds compile it; the
# host build runs its tests under the sanitizers and fuzzes the stream decoder.
set(_qov_obj ${CMAKE_CURRENT_LIST_DIR})
qov_library(qov_objcore
  SOURCES ${_qov_obj}/objtables.cpp ${_qov_obj}/objkinds.cpp ${_qov_obj}/crstream.cpp
          ${_qov_obj}/objrecord.cpp ${_qov_obj}/objops.cpp ${_qov_obj}/events.cpp
          ${_qov_obj}/objhooks.cpp ${_qov_obj}/objcreate.cpp ${_qov_obj}/units.cpp
  DEPS qov_proto qov_util)
