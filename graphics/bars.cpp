// bars.cpp - the parts the status bar, the tab control and the toolbar share
// (see bars.h): sub-object records by use count, lookup by key and selector,
// object results, bounded texts, units and style bits.
#include "graphics/bars.h"

#include <commctrl.h>

#include <cstring>

#include "objects/events.h"
#include "objects/objwindowed.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/mem.h"


int32_t BarReplyItem(BarItemRecord* item, const MethodCallRec* call, uint32_t type) {
    ObjectRecord* rec = &item->hdr;
    // An item the server released before left the registry; it comes back
    // under a new handle.
    if (!BarItemHandOut(rec, call)) return CtlReplyInt(0);
    SetReplyInt(nullptr, static_cast<int32_t>(rec->handle), static_cast<uint8_t>(type));
    return kNoAnswer;
}

uint32_t BarTextReply(const char* text, uint32_t max) {
    uint32_t n = text ? static_cast<uint32_t>(strnlen(text, max)) : 0;
    CtlSetTextBuf(text ? text : "", n);
    return 0;
}

int32_t BarToPixels(ObjectRecord* rec, int32_t units) { return ConvertUnits(rec->parent, units, kToPixels); }

int32_t BarToUnits(ObjectRecord* rec, int32_t pixels) { return ConvertUnits(rec->parent, pixels, kToUnits); }

void BarStyleBits(HWND wnd, int which, DWORD clear, DWORD set) {
    if (!wnd) return;
    DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, which));
    SetWindowLongA(wnd, which, static_cast<LONG>((style & ~clear) | set));
}

bool BarPostClick(ObjectRecord* rec, uint16_t modifiers, int32_t value) {
    uint32_t ev = kEvClick;
    if (!EventIsRegistered(rec, ev)) ev = kEvOldEvent;
    if (!EventIsRegistered(rec, ev)) return false;
    return PostObjectEvent(rec, ev, kEventKindDefault, modifiers, value);
}

uint32_t BarCreationColor(const CrColor& c, uint32_t def) {
    if (c.object && ObjectIsLive(c.object) && c.object->kind == kKindColor) return ColorObjectValue(c.object);
    return c.value == -1 ? def : static_cast<uint32_t>(c.value);
}

bool BarImageListOf(ObjectRecord* given, int32_t handle, ObjectRecord** out) {
    ObjectRecord* list = given ? given : (handle ? ObjectFromHandle(static_cast<uint32_t>(handle)) : nullptr);
    *out = nullptr;
    if (!list) return handle == 0 || given == nullptr;
    if (list->kind != kKindImageList) return false;
    if (!ObjectIsWebView(list)) *out = list;
    return true;
}

CrText BarArgText(const MethodCallRec* call, uint32_t i) {
    CrText t = {};
    t.text = CtlArgText(call, i, &t.length);
    return t;
}

DWORD BarDockStyle(ObjectCreateRecord* cr, int32_t defaultDock) {
    enum : int32_t { kDockLeft = 2, kDockRight = 4, kDockFirstBad = 7 };
    if (cr->dock == 0 || cr->dock >= kDockFirstBad) cr->dock = defaultDock;
    return cr->dock == kDockLeft || cr->dock == kDockRight ? CCS_VERT : 0;
}
