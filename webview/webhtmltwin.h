// webhtmltwin.h - the page host of a native HTML control with WebMode 2 or
// more: a web view in the control's window that shows one web-view HTML
// control, the twin, which takes the control's content, methods and focus.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

// The host (null when no web view or twin could be made); *twin the twin.
void* WebHtmlTwinCreate(ObjectRecord* control, ObjectCreateRecord* cr, ObjectRecord** twin);
void WebHtmlTwinDestroy(ObjectRecord* control, void* host, ObjectRecord* twin);
void WebHtmlTwinResize(void* host);
int32_t WebHtmlTwinSetContent(void* host, ObjectRecord* twin, const char* text);
int32_t WebHtmlTwinMethod(void* host, ObjectRecord* twin, MethodCallRec* call);
int32_t WebHtmlTwinFocus(void* host, ObjectRecord* twin, int32_t direction);
int32_t WebHtmlTwinSetProp(void* host, ObjectRecord* twin, const PropChange* req);
int32_t WebHtmlTwinGetContent(void* host, ObjectRecord* twin);
int32_t WebHtmlTwinEnable(void* host, ObjectRecord* twin, bool on);
