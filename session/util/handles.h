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

// Handles are counted per kind through a range of the kind's own, and not given
// again until the count wraps: a handle the server still holds for a freed
// record must find nothing, not the next record that happens to live at the
// same address. The ranges never overlap, so a handle of one kind (a print job)
// sent where another belongs (an object) finds nothing either. Objects count
// from 0x1000 as the server has always seen them; every range stays positive
// as a signed word and clear of 0 and 0xFFFFFFFF (the main window).
struct HandleRange {
    uint32_t first, last;
};
constexpr HandleRange kHandleRangeObject = {0x00001000, 0x0FFFFFFF};
constexpr HandleRange kHandleRangePrintJob = {0x10000000, 0x1FFFFFFF};
constexpr HandleRange kHandleRangePrinterFile = {0x20000000, 0x2FFFFFFF};
constexpr HandleRange kHandleRangeSound = {0x30000000, 0x3FFFFFFF};
// The range of a kind; {0, 0} for a value that is no kind.
HandleRange HandleRangeOf(HandleKind kind);

// Registers record under a new counted handle of its kind's range; 0 when
// memory runs out.
uint32_t HandleNew(HandleKind kind, void* record);
// Registers record under a handle chosen by the caller (replacing an entry
// with that handle); false when memory runs out.
bool HandleAdd(HandleKind kind, uint32_t handle, void* record);
void HandleRemove(HandleKind kind, uint32_t handle);
// Removes whatever handle record is registered under (without reading the record).
void HandleRemoveRecord(HandleKind kind, const void* record);
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
