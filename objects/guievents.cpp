// guievents.cpp - the window events that facilities above the windows layer
// subscribe to (activated, destroyed, font changed), and the facility list
// whose rows start with the runtime and are cleaned up, in their order, at exit.
#include <cstdio>
#include <cstring>

#include "objects/guihooks.h"

namespace {

struct WindowEventList {
    WindowEventHandler handlers[kWindowEventHandlersMax];
    uint32_t count;
};
WindowEventList gWindowEvents[kWindowEventCount];

FacilityRow gFacilityRows[kFacilityRowsMax];
uint32_t gFacilityRowCount;

}  // namespace

const char* WindowEventSubscribe(WindowEvent event, WindowEventHandler handler) {
    if (event >= kWindowEventCount) return "no such window event";
    if (!handler) return "no handler";
    WindowEventList* list = &gWindowEvents[event];
    for (uint32_t i = 0; i < list->count; i++)
        if (list->handlers[i] == handler) return nullptr;
    if (list->count == kWindowEventHandlersMax) return "the event's list is full";
    list->handlers[list->count++] = handler;
    return nullptr;
}

void WindowEventRaise(WindowEvent event, ObjectRecord* window, bool on) {
    if (event >= kWindowEventCount) return;
    const WindowEventList* list = &gWindowEvents[event];
    for (uint32_t i = 0; i < list->count; i++) list->handlers[i](window, on);
}

const char* FacilityListAdd(const FacilityRow& row) {
    if (!row.name || !row.name[0]) return "a row needs a name";
    for (uint32_t i = 0; i < gFacilityRowCount; i++)
        if (strcmp(gFacilityRows[i].name, row.name) == 0) return nullptr;
    if (gFacilityRowCount == kFacilityRowsMax) return "the facility list is full";
    gFacilityRows[gFacilityRowCount++] = row;
    return nullptr;
}

bool FacilityListStart() {
    bool all = true;
    for (uint32_t i = 0; i < gFacilityRowCount; i++)
        if (gFacilityRows[i].start && !gFacilityRows[i].start()) all = false;
    return all;
}

void FacilityListCleanup() {
    char step[64];
    for (uint32_t i = 0; i < gFacilityRowCount; i++) {
        if (!gFacilityRows[i].cleanup) continue;
        snprintf(step, sizeof step, "902.Cleanup-%s.", gFacilityRows[i].name);
        CleanupLogStep(step);
        gFacilityRows[i].cleanup();
    }
}
