// webobjglue.h - the cross build's services for the web-view objects.
#pragma once

#include <cstdint>

// Fills the web-view objects' services from the session and the window layer
// and installs the web-view object operations into the object model.
void WebObjectsInstallNative();

struct ObjectRecord;
// The resources of the form being loaded, or else of the window's form (the
// forms facility's, set at start-up): a copy freed with LocalFreeMem; false
// when the form has none.
extern bool (*gWebImageFormResource)(ObjectRecord* window, uint16_t kind, uint32_t number, const char* name,
                                     uint8_t** data, uint32_t* size);
