// handles.h - the one registry of live records behind the handles the server
// holds: objects, print jobs, printer files and sounds. A handle coming back
// from the server is only ever looked up here, never used as a pointer.
#pragma once

#include <cstdint>

enum HandleKind : uint8_t {
    kHandleObject = 1,
    kHandlePrintJob = 2,
    kHandlePrinterFile = 3,
    kHandleSound = 4,
};

// Handles are counted from here per kind, positive, and not given again until
// the count wraps: a handle the server still holds for a freed record must find
// nothing, not the next record that happens to live at the same address.
constexpr uint32_t kHandleFirst = 0x1000;
constexpr uint32_t kHandleLast = 0x7FFFFFFF;

// Registers record under a new counted handle; 0 when memory runs out.
uint32_t HandleNew(HandleKind kind, void* record);
// Registers record under a handle chosen by the caller (replacing an entry
// with that handle); false when memory runs out.
bool HandleAdd(HandleKind kind, uint32_t handle, void* record);
void HandleRemove(HandleKind kind, uint32_t handle);
// The record behind a handle, or null.
void* HandleLookup(HandleKind kind, uint32_t handle);
// Whether record is registered (without reading the record itself, which may
// be gone).
bool HandleHasRecord(HandleKind kind, const void* record);
// The registered records of a kind, in no particular order; removing one
// moves the last into its place.
uint32_t HandleCount(HandleKind kind);
void* HandleRecordAt(HandleKind kind, uint32_t index);
void HandleCleanup();
