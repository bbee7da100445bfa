// varrules.h - the platform-free rules of the automation values: which VARTYPE
// a server item becomes, the limits of the texts and index vectors, which
// VARTYPEs a Variant object may hold and how many bytes each writes or shows,
// the error codes of the Invoke results and the exception text's layout.
// Numbers only: the Win32 side (varconv.cpp, autoclient.cpp) applies them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/proto/protocol.h"

// VARTYPE numbers as OLE Automation defines them.
enum VarTypeNo : uint16_t {
    kVtEmpty = 0, kVtNull = 1, kVtI2 = 2, kVtI4 = 3, kVtR4 = 4, kVtR8 = 5, kVtCy = 6, kVtDate = 7,
    kVtBstr = 8, kVtDispatch = 9, kVtError = 10, kVtBool = 11, kVtVariant = 12, kVtUnknown = 13,
    kVtDecimal = 14, kVtI1 = 16, kVtUi1 = 17, kVtUi2 = 18, kVtUi4 = 19, kVtI8 = 20, kVtUi8 = 21,
    kVtInt = 22, kVtUint = 23,
    kVtArray = 0x2000, kVtByRef = 0x4000,
    kVtTypeMask = 0x0FFF,
};

// Item kinds as they read here (the session's record).
enum VarItemKind : uint32_t {
    kVarItemInt = 8, kVarItemText = 16, kVarItemText8 = 32, kVarItemUtf8 = 33,
    kVarItemObject = 48, kVarItemObject2 = 50,
};

// Error codes of the conversions, the Variant object and the automation client.
enum AutoCode : int32_t {
    kAutoOk = 0,
    kAutoNoObject = -3,
    kAutoNoProp = -5,
    kAutoNoMemory = -6,
    kAutoNoFont = -8,
    kAutoPropName = -35,
    kAutoMethodName = -37,
    kAutoBadConvert = -38,
    kAutoNoValue = -50,
    kAutoBadVarType = -51,
    kAutoNoDispatch = -57,
    kAutoSubObject = -64,
    kAutoInvokeFailed = -65,
    kAutoSubObject2 = -66,
    kAutoBadParamCount = -67,
    kAutoBadVarTypeArg = -68,
    kAutoException = -69,
    kAutoMemberNotFound = -70,
    kAutoNoNamedArgs = -71,
    kAutoOverflow = -72,
    kAutoTypeMismatch = -73,
    kAutoUnknownLcid = -81,
    kAutoParamNotOptional = -82,
    kAutoBadElement = -86,
    kAutoNullValue = -99,
};

// A kind-16 text is converted in the shared 40960-byte text buffer.
constexpr uint32_t kText16Max = 40960;
// An array read as text (one line per element) is never longer than the
// largest answer a frame can carry; a longer one is refused with -6.
constexpr uint32_t kArrayTextMax = kMsgMaxLength;
// Index vectors of element access: at most five dimensions.
constexpr uint32_t kIndexDimsMax = 5;

// The VARTYPE an integer item of that width and value becomes (int64: the
// 64-bit flag). A negative 8-byte value goes signed, any other unsigned.
uint16_t IntItemVarType(uint32_t width, uint64_t value, bool int64, uint16_t requested);
// Whether a text item of that kind and length can be converted at all.
bool TextItemFits(uint32_t kind, uint32_t length);
// A kind-16 text receiving a value that is not a string: the first ',' becomes '.'.
void FirstCommaToPeriod(char* text, size_t length);

// The types a Variant object may hold; 0 or -51.
int32_t VarTypeCheck(uint16_t vt);
// Bytes written through a by-reference pointer of that base type (0: none).
uint32_t ByRefWidth(uint16_t vt);
// Bytes of the raw value of a scalar type; BSTR is measured by its string.
uint32_t RawValueWidth(uint16_t vt);

// The index vector of an element access for an array of dims dimensions: the
// given indexes (missing ones count 0); more than five dimensions, or none, -86.
int32_t IndexVectorFill(uint32_t dims, const int32_t* given, uint32_t givenCount, int32_t out[kIndexDimsMax]);
// Steps the vector (highest dimension fastest) within the bounds; false when done.
bool IndexVectorStep(uint32_t dims, const int32_t* lower, const int32_t* upper, int32_t* index);

// The code of an Invoke failure and what detail it writes.
enum DispDetail : uint8_t { kDetailNone, kDetailArg, kDetailScode, kDetailException };
struct DispErrorRow {
    uint32_t hr;
    int32_t code;
    DispDetail detail;
};
// The row of a DISP_E_ result; others: the default code with the SCODE detail.
DispErrorRow DispErrorLookup(uint32_t hr, int32_t defaultCode);

// The exception text (500 bytes and a NUL): blanks, then owner id and wCode as
// eleven characters each, source, description and help file (ANSI, blank
// padded), the help context written over the help file's end, a NUL at 471.
// Without an EXCEPINFO (haveInfo false) only the numbers are written.
constexpr uint32_t kExceptionFieldsSize = 500;
void FormatExceptionText(char* out, int32_t ownerId, int32_t wCode, bool haveInfo, const char* source,
                         const char* description, const char* helpFile, uint32_t helpContext);
