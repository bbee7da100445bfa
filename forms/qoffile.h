// qoffile.h - the QOF form file as the loader reads it: header, object table,
// resource rows and data, label area, exec descriptors and code area, all read
// from the file held in memory with every offset, size and index checked
// against the file and its areas; the resource chain a loaded form keeps; the
// restoring of the object-name macro in stored event code.
#pragma once

#include <cstddef>
#include <cstdint>

struct ObjectCreateRecord;

// ---- Layout --------------------------------------------------------------------
constexpr uint32_t kQofHeaderSize = 300;
constexpr uint32_t kQofRowSize = 41;
constexpr uint32_t kQofResRowSize = 48;
constexpr uint32_t kQofDescSizeV1 = 14;      // version 1 files
constexpr uint32_t kQofDescSize = 16;        // version 2 and above
constexpr uint32_t kQofNameSize = 32;        // names in fixed fields, NUL included
constexpr uint32_t kQofMaxEntries = 500;     // entries of one load (rows that are not sub-objects)
constexpr uint32_t kQofVersionCurrent = 5;   // below it: an older layout of the creation streams
constexpr uint32_t kQofVersionNewest = 7;
constexpr uint32_t kQofVersionRefused = 8;   // from here on: written by a newer command
constexpr uint32_t kQofFlagSaveInProgress = 0x10;
constexpr uint32_t kQofFlagNetObjects = 0x80;
constexpr uint32_t kQofFlagWebForm = 0x800;
constexpr uint32_t kQofFlagUtf8Form = 0x1000;
constexpr char kQofMagic[4] = {'Q', 'O', 'V', 'F'};

// Header fields by file offset.
enum QofHeaderField : uint32_t {
    kQhMagic = 0, kQhVersion = 4, kQhFlags = 8, kQhObjTableOff = 12, kQhObjCount = 16, kQhStreamOff = 20,
    kQhStreamSize = 24, kQhResTableOff = 28, kQhResCount = 32, kQhResDataOff = 36, kQhResDataSize = 40,
    kQhLabelOff = 44, kQhLabelSize = 48, kQhDescOff = 52, kQhDescCount = 56, kQhCodeOff = 60, kQhCodeSize = 64,
    kQhFormName = 68, kQhOleOff = 100, kQhOleSize = 104, kQhTopCount = 108, kQhGuid = 112, kQhUserCodeOff = 128,
    kQhUserCodeSize = 132, kQhWriterBuild = 136,
};
// Object table row fields.
enum QofRowField : uint32_t { kQrName = 0, kQrKind = 32, kQrStreamOff = 33, kQrStreamSize = 37 };
// Resource row fields.
enum QofResField : uint32_t {
    kQrsNumber = 0, kQrsName = 4, kQrsKind = 36, kQrsFlags = 38, kQrsDataOff = 40, kQrsDataSize = 44,
};

// ---- Reader messages (the loader hands them to the program) -------------------------
extern const char kQofErrRead[];          // "Unable To Read File"
extern const char kQofErrFormat[];        // "Invalid Form File Format"
extern const char kQofErrNewer[];
extern const char kQofErrIncomplete[];
extern const char kQofErrTruncated[];
extern const char kQofErrObjSeek[];
extern const char kQofErrObjNames[];
extern const char kQofErrStreamSeek[];
extern const char kQofErrStreamRead[];
extern const char kQofErrMemory[];
extern const char kQofErrResStart[];
extern const char kQofErrResInfo[];
extern const char kQofErrResDataStart[];
extern const char kQofErrResData[];
extern const char kQofErrDecodeForm[];
extern const char kQofErrCreateForm[];
extern const char kQofErrDecodeObject[];
extern const char kQofErrObjectType[];
extern const char kQofErrUserCode[];

struct QofHeader {
    uint32_t version, flags;
    uint32_t objTableOff, objCount;
    uint32_t streamOff, streamSize;
    uint32_t resTableOff, resCount, resDataOff, resDataSize;
    uint32_t labelOff, labelSize;
    uint32_t descOff, descCount;
    uint32_t codeOff, codeSize;
    char formName[kQofNameSize];            // always NUL-terminated here
    uint32_t oleOff, oleSize;
    uint32_t userCodeOff, userCodeSize;
    uint32_t writerBuild;
};

// One object table row; the name always ends inside its 32 bytes here.
struct QofRow {
    char name[kQofNameSize];
    uint8_t kind;
    uint32_t streamOff, streamSize;         // inside the form stream (checked)
    int32_t entry;                          // entry index, -1 for a sub-object row
};

struct QofDesc {
    uint16_t labelOff;
    uint16_t objectIndex;
    uint32_t eventId;
    uint32_t codeOff, codeLength;
};

// The file being read and what the reader made of it.
struct QofFile {
    const uint8_t* data;
    size_t size;
    QofHeader h;
    bool headerRead;                        // the 300 bytes were there and the magic matched
    bool oldFormat;                         // version below 5
    QofRow* rows;                           // h.objCount rows once the table is read
    uint32_t entryCount;                    // rows that take an entry
    const uint8_t* stream;                  // the form stream inside data
};

// ---- Header -----------------------------------------------------------------------
// Checks 1-5 in their order: the header is there, the magic, the version, the
// save completed, every area inside the file (in 64 bits, so no sum wraps). On
// failure *err names the reason. f->data and f->size are set by the caller.
bool QofReadHeader(QofFile* f, const char** err);
// The flags word for FormFileGetFlags: -1 unreadable or not a form file, -2 a
// version of 8 or more.
int32_t QofHeaderFlags(const uint8_t* data, size_t size);
// FormFileGetInfo: selector 1 the version, 2 the flags word, else -1.
int32_t QofHeaderInfo(const uint8_t* data, size_t size, uint32_t selector);

// ---- Object table and form stream ------------------------------------------------------
// Reads the rows (allocated into f->rows, freed by QofFileFree) and checks each:
// the stream inside the form stream, the kind one the loader creates, a
// sub-object row after an owner of its kind, at most 500 entries.
bool QofReadObjectTable(QofFile* f, const char** err);
// The kinds the loader has a creator row for (1-52 less the unused ones).
bool QofKindCreatable(uint32_t kind);
bool QofKindIsSubObject(uint32_t kind);
// The stream of a row (inside the form stream).
const uint8_t* QofRowStream(const QofFile* f, uint32_t row);
// Decodes every row's stream and checks the table indexes inside it (parent
// window, image lists 270-274, SubMenu 283) against the entries made before it.
// cr is scratch space the size of a creation record.
bool QofCheckRowReferences(const QofFile* f, ObjectCreateRecord* cr, const char** err);
// True when the stream gives a table index in property id that is not below limit.
bool QofIndexOutOfRange(const ObjectCreateRecord* cr, uint32_t id, uint32_t limit);
// The property ids holding table indexes of records made earlier in the load.
constexpr uint32_t kQofIndexPropCount = 6;
extern const uint16_t kQofIndexProps[kQofIndexPropCount];
void QofFileFree(QofFile* f);

// ---- Resources ------------------------------------------------------------------------
struct FormResource {
    FormResource* next;
    uint32_t number;
    char name[kQofNameSize];
    uint16_t kind;
    uint16_t flags;
    uint32_t reserved;
    uint32_t size;
    uint8_t data[1];                        // size bytes
};
// Builds the chain from the resource rows and data, in the reverse order of the
// rows; each resource's bytes must lie inside the resource data area.
bool QofReadResources(const QofFile* f, FormResource** chain, const char** err);
void FormResChainFree(FormResource* chain);
// By name (case counts) when name is given, else by kind and number.
const FormResource* FormResFind(const FormResource* chain, uint16_t kind, uint32_t number, const char* name);

// ---- Labels, descriptors, code -------------------------------------------------------------
// The exec descriptor i (14 bytes in version 1, else 16); the range was checked by the header.
bool QofReadDesc(const QofFile* f, uint32_t i, QofDesc* out);
// The label text of the record at label offset off; false when the record or
// its text does not lie inside the label area.
bool QofLabelAt(const QofFile* f, uint32_t off, const char** text, uint32_t* length);
// The code of a descriptor, inside the code area.
bool QofDescCode(const QofFile* f, const QofDesc* d, const char** code, uint32_t* length);
// The text the code output file gets: between the first "#S\r\n" and the next
// one (or one that ends the area). False when the marks are not there.
bool QofCodeOutputText(const QofFile* f, const char** text, uint32_t* length);
// Copies code into out (at least length bytes), restoring "&OBJNAME" where a
// line carries the " ;&objname" marker (case ignored) and the object's name
// (case counts) stands before it on that line; the marker is always dropped.
// Returns the length written.
uint32_t FormCodeUnexpand(const char* code, uint32_t length, const char* name, char* out);

// ---- The read before any object is created ------------------------------------------------------
// The header checks, the resources, the object table and the row references,
// in that order: what the loader runs before it creates anything. On failure
// nothing is left allocated and *err holds the reason.
bool QofReadForLoad(QofFile* f, FormResource** chain, ObjectCreateRecord* scratch, const char** err);

// ---- The shared stream buffer -----------------------------------------------------------------
// Grows in steps of 40,960 bytes and never shrinks; null when it can't grow.
constexpr uint32_t kFormStreamStep = 40960;
uint8_t* FormStreamBufReserve(size_t size);
void FormStreamBufFree();
