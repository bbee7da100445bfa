// protocol.h - every number of the client's wire protocol in one place: the
// header word, the message types, the body offsets of each message the client
// reads or builds, the session error numbers and the limits the server relies on.
// All layouts are little-endian (a byte-swapped session swaps every field) and
// offsets count from the start of the message, header included.
#pragma once

#include <cstdint>

// ---- Header word and frames -------------------------------------------------
constexpr uint32_t kHdrLenMask = 0x00FFFFFFu;     // bits 0-23: length including the header
constexpr uint32_t kHdrSeqShift = 24;             // bits 24-25: sequence 0-3
constexpr uint32_t kHdrSeqMask = 0x03000000u;
constexpr uint32_t kHdrCompressed = 1u << 28;     // body = u32 plain length + LZO1X-1 data
constexpr uint32_t kHdrBundle = 1u << 29;         // type word = member count, body = members
constexpr uint32_t kHdrAckWanted = 1u << 30;      // client answers 1122 {0} on receipt
constexpr uint32_t kMsgHeadSize = 8;              // header word + type word
constexpr uint32_t kMsgMaxLength = kHdrLenMask;   // the largest length the header can carry
constexpr uint32_t kKeepAliveWord = 0xFFFFFFFFu;  // a lone word, both ways
constexpr uint32_t kCompressMinBody = 256;        // smaller bodies are never compressed
constexpr uint32_t kBundleMaxMembers = 4096;      // a bundle counting more is refused

// ---- Buffers ----------------------------------------------------------------
constexpr uint32_t kRecvBufStartSize = 20488;     // receive buffer at session start
constexpr uint32_t kBufGrowStep = 1024;           // buffers grow in steps of this size
constexpr uint32_t kRecvBufMaxSize = kMsgMaxLength + 1;

// ---- Message types ----------------------------------------------------------
enum MsgType : uint32_t {
    kMsgSessionAccept = 1008,     // server: session accepted
    kMsgSessionRefuse = 1009,     // server: session refused {+8 code, +12 text}
    kMsgError = 1010,             // client: error answer {+8 code}
    kMsgEndSession = 1011,        // server: end the session {+8 exit code}
    kMsgEventPoll = 1050,         // server: event if one is queued, else 1102 {0}
    kMsgGrowBuffer = 1058,        // server: grow the receive buffer {+8 new size}
    kMsgProgramRequest = 1100,    // client: opens the session
    kMsgAnswer = 1102,            // client: answer to a request {+8 value}
    kMsgInfoAnswer = 1104,        // client: answer to 2031 and 1210
    kMsgEventWait = 1105,         // server: wait until an event, answer it
    kMsgEventInternal = 1106,     // the event message as the client builds it
    kMsgEventWaitTimed = 1121,    // server: wait at most +8 ms for an event
    kMsgInterim = 1122,           // client: acknowledgement / interim answer
    kMsgSoundLoad = 1124,         // server: load a sound
    kMsgSoundClose = 1125,        // server: close a sound {+8 handle}
    kMsgSoundPlay = 1126,         // server: play a sound {+8 handle}
    kMsgResultInt = 1129,         // client: 20-byte value result
    kMsgResultText = 1130,        // client: text result
    kMsgEvent = 1142,             // client: one event
    kMsgPrtJobAnswer = 1147,      // client: print job answer
    kMsgPrtName = 1148,           // client: an opened printer file {+8 handle, +12 length with NUL, +16 text}
    kMsgFetch = 1150,             // client: fetch a server file
    kMsgFetchAnswer = 1151,       // server: the fetched file
    kMsgPut = 1152,               // client: store a file on the server
    kMsgResultBytes = 1154,       // client: counted byte string result
    kMsgPrtInfoRequest = 1210,    // server: printer information, answered 1104
    kMsgPrtFileWrite = 2213,      // server: bytes for a printer file, answered with the write's result
    kMsgCreate = 1401,            // server: create an object
    kMsgSetClientSetting = 2030,
    kMsgInfoRequest = 2031,
    kMsgTextConversion = 2032,
    kMsgExceptionText = 2035,
    kMsgClientModeFlags = 2036,
    kMsgDesignMode = 2039,
    kMsgObjShow = 2401,
    kMsgObjHide = 2402,
    kMsgObjDestroy = 2403,
    kMsgObjEnable = 2404,
    kMsgObjCheckItem = 2405,
    kMsgObjDeleteItem = 2406,
    kMsgObjGetText = 2407,
    kMsgObjGetValue = 2408,
    kMsgObjInsertItem = 2409,
    kMsgObjSetText = 2410,
    kMsgObjSetValue = 2411,
    kMsgObjState = 2412,
    kMsgObjFocus = 2413,
    kMsgObjPropQuery = 2414,
    kMsgObjPropChange = 2415,
    kMsgObjMethodCall = 2416,
    kMsgObjOleProp = 2417,
    kMsgObjRegEvent = 2418,
    kMsgObjUnregEvent = 2419,
    kMsgObjDestroyedList = 2420,
};

// Ranges that go to one range handler each.
constexpr uint32_t kMsgCoreFirst = 1008, kMsgCoreLast = 1188;
constexpr uint32_t kMsgRange1200First = 1200, kMsgRange1200Last = 1299;
constexpr uint32_t kMsgRange1300First = 1300, kMsgRange1300Last = 1399;
constexpr uint32_t kMsgRange1400First = 1400, kMsgRange1400Last = 1499;
constexpr uint32_t kMsgRange2000First = 2000, kMsgRange2000Last = 2999;
constexpr uint32_t kMsgRange2200First = 2200, kMsgRange2200Last = 2299;
constexpr uint32_t kMsgRange2400First = 2400, kMsgRange2400Last = 2499;

// ---- Session errors and answer codes ------------------------------------------
constexpr int32_t kErrUnhandledType = 21847;  // 1010 answer to an unknown type
constexpr int32_t kErrBadMessage = 99990;     // a frame that does not fit: session ends
constexpr int32_t kErrFrameNoMemory = 8;      // a frame that fits but cannot be held and
                                              // cannot be answered (a bundle): session ends
                                              // (the system's ERROR_NOT_ENOUGH_MEMORY)
constexpr int32_t kErrNotConnected = 10057;   // the connection is closed
constexpr int32_t kErrNoObject = -3;          // unknown object handle
constexpr int32_t kErrNoOperation = -5;       // the object kind has no such operation
constexpr int32_t kErrNoMethod = -37;         // method number not in the type's table
constexpr int32_t kErrNoPrintJob = 21270;     // unknown print job handle
constexpr int32_t kErrNoSound = -1;           // unknown sound handle
constexpr int32_t kErrBadRequest = -2;        // a request whose fields do not fit
constexpr int32_t kErrNestTooDeep = -6;       // a request nested deeper than kRequestNestMax
constexpr int32_t kErrNoMemory = -6;          // a request that cannot be held in memory
// Requests handled at once, each taken inside the wait of the one before (a
// modal show, an event's by-reference nest, a preview): a deeper one is
// answered 1102 {kErrNestTooDeep} without being run (1011 is always served).
constexpr uint32_t kRequestNestMax = 16;

// ---- 1100 program request (client) ---------------------------------------------
constexpr uint32_t kPrqBuild = 8;             // u32 client build
constexpr uint32_t kPrqFlags = 12;            // u32, bit 0 accepts compression
constexpr uint32_t kPrqRecvSize = 16;         // u32 receive buffer size
constexpr uint32_t kPrqLengths = 20;          // four u32 lengths: workstation, user, logon, command line
constexpr uint32_t kPrqTexts = 36;            // the four texts back to back
constexpr uint32_t kPrqFlagCompress = 1u << 0;
constexpr uint32_t kClientBuild = 9500;

// ---- 1008 accept / 1009 refuse / 1011 end (server) -----------------------------
constexpr uint32_t kAccVersion = 8;           // u32 server version
constexpr uint32_t kAccOptions = 12;          // u32 options
constexpr uint32_t kAccFetchMode = 16;        // u8 default fetch mode
constexpr uint32_t kAccDecimal = 17;          // u8 decimal character
constexpr uint32_t kAccSpoolExt = 18;         // 4-byte spool extension
constexpr uint32_t kAccSize = 22;
constexpr uint32_t kAccOptCompress = 1u << 0;
constexpr uint32_t kAccOptNoPrintAnswers = 1u << 1;
constexpr uint32_t kRefCode = 8;              // i32 code
constexpr uint32_t kRefText = 12;             // text to the end of the message
constexpr uint32_t kEndCode = 8;              // exit code
constexpr uint32_t kGrowSize = 8;             // 1058 new size

// ---- Answers and results (client) ----------------------------------------------
constexpr uint32_t kAnsValue = 8;             // 1102/1010/1122 value
constexpr uint32_t kAnswerSize = 12;
constexpr uint32_t kResIntStatus = 8;         // 1129: +8 status 0
constexpr uint32_t kResIntValue = 12;         //       +12 value
constexpr uint32_t kResIntKind = 16;          //       +16 result kind byte
constexpr uint32_t kResIntSize = 20;
constexpr uint32_t kResTextLength = 8;        // 1130: +8 text length without NUL
constexpr uint32_t kResText = 12;             //       +12 text and NUL (length 13 + n)
constexpr uint32_t kResBytesCount = 12;       // 1154: +8 status 0, +12 n
constexpr uint32_t kResBytes = 16;            //       +16 bytes, then a NUL (length 17 + n)
constexpr uint32_t kInfoValue = 8;            // 1104: +8 i32 value
constexpr uint32_t kInfoTextLength = 12;      //       +12 text length with NUL
constexpr uint32_t kInfoText = 16;            //       +16 text
constexpr uint32_t kPjaValue = 8;             // 1147 print job answer
constexpr uint32_t kPjaCount = 12;
constexpr uint32_t kPjaDetail = 16;
constexpr uint32_t kPjaPages = 20;
constexpr uint32_t kPjaCopies = 24;
constexpr uint32_t kPjaTextLength = 28;
constexpr uint32_t kPjaText = 32;
constexpr uint32_t kPrtNameHandle = 8;        // 1148
constexpr uint32_t kPrtNameLength = 12;
constexpr uint32_t kPrtNameText = 16;

// ---- Events ----------------------------------------------------------------------
constexpr uint32_t kEvmWord = 8;              // 1142 head: +8 a word (0)
constexpr uint32_t kEvmItemCount = 12;        //            +12 item count
constexpr uint32_t kEvmRecord = 16;           //            +16 the EventRecord
constexpr uint32_t kEventRecordSize = 56;
constexpr uint32_t kEventRecordSizeOld = 52;
constexpr uint32_t kEventMsgHead = 72;        // 16 + 56
constexpr uint32_t kEventMsgHeadOld = 68;     // servers older than kEventNewLayoutVersion
constexpr uint32_t kEventNewLayoutVersion = 9404;
constexpr uint32_t kEventMaxItems = 10;
constexpr uint32_t kTimedWaitOff = 8;         // 1121: u32 milliseconds
// EventRecord fields
constexpr uint32_t kEvrHandle = 0, kEvrOvar = 4, kEvrObjectId = 8, kEvrEventId = 12, kEvrKind = 16,
                   kEvrUrgent = 17, kEvrModifiers = 18, kEvrValue = 20, kEvrExtra = 24,
                   kEvrTextLength = 28, kEvrTextOffset = 32, kEvrItemCount = 36;

// ---- EventItem (20 bytes) --------------------------------------------------------
constexpr uint32_t kEventItemSize = 20;
// Wire form: +0 u32 kind, +4 u32 size, +8 8-byte value, +16 u32 varRef (Ovar).
// The 8-byte value doubles as the data word: for a text kind its low word is
// the offset of the text from the message start (size = its byte length), for
// an object reference it is the object's handle, never a pointer.
constexpr uint32_t kEviKind = 0, kEviSize = 4, kEviValue = 8, kEviVarRef = 16;
enum EventItemKind : uint32_t {
    kItemNone = 0,
    kItemInt = 8,
    kItemText = 16,
    kItemText8 = 32,
    kItemUtf8 = 33,
    kItemObject = 48,
    kItemObject2 = 50,
};

// ---- 1401 create request -------------------------------------------------------
constexpr uint32_t kCrtType = 8, kCrtOldHandle = 12, kCrtOvar = 16, kCrtFlags0 = 20, kCrtFlags1 = 24,
                   kCrtStreamSize = 28, kCrtStream = 32;

// ---- 2400s object operations ---------------------------------------------------
constexpr uint32_t kOpHandle = 8;             // u32 handle, kMainWindowHandle = the main window
constexpr uint32_t kMainWindowHandle = 0xFFFFFFFFu;
constexpr uint32_t kOpArg1 = 12, kOpArg2 = 16, kOpArg3 = 20, kOpArg4 = 24;
constexpr uint32_t kOpItemText = 20;          // 2409/2410 text after the length at +16
// 2414 property query
constexpr uint32_t kPqCode = 12, kPqForm = 16, kPqSelector = 20, kPqNameLength = 40, kPqName = 44;
constexpr uint32_t kPqFormObject = 48;
// 2415 property change
constexpr uint32_t kPcCode = 12, kPcValue = 16, kPcWord2 = 20, kPcObject = 24, kPcValue2 = 28,
                   kPcSelector = 32, kPcNameLength = 52, kPcName = 56;
// 2416 method call: head, then per hop {u32 name length, u32 argument count,
// name, that hop's argument items}, then the member name, then per argument
// {item, u32 name length, name}.
constexpr uint32_t kMcType = 12, kMcMethod = 16, kMcNoCheck = 20, kMcNameLength = 24, kMcArgCount = 28,
                   kMcResult = 32, kMcHopCount = 52, kMcHops = 56;
constexpr uint32_t kMcMaxArgs = 50;
constexpr uint32_t kMcMaxHops = 10;
constexpr uint32_t kMcMaxHopArgs = 100;       // all hops' arguments together
constexpr uint32_t kMcMaxNameLength = 4096;
// 2417 OLE property: the 2416 head to +52, +52 DISPID, +56 value item, +76 member name
constexpr uint32_t kOpDispId = 52, kOpValue = 56, kOpName = 76;
// 2418 register event
constexpr uint32_t kRegEventId = 12, kRegValues = 16, kRegFlags = 32, kRegTemplateCount = 36,
                   kRegTemplates = 40;
constexpr uint32_t kRegMaxTemplates = 10;
constexpr uint32_t kRegFlagUrgent = 1u << 0;

// ---- 2030-2039 client settings -------------------------------------------------
constexpr uint32_t kSetCode = 8, kSetValue = 12, kSetTextLength = 16, kSetText = 20;
constexpr uint32_t kInfCode = 8, kInfArg1 = 12, kInfArg2 = 16, kInfHandle = 20, kInfTextLength = 24,
                   kInfText = 28;
constexpr uint32_t kConvSubCode = 8, kConvMode = 12, kConvTableLength = 12, kConvTable = 16;
constexpr uint32_t kConvSetMode = 9, kConvLoadMap = 10;
constexpr uint32_t kExceptionTextMax = 500;

// ---- 1124-1126 sounds ------------------------------------------------------------
constexpr uint32_t kSndNameLength = 8, kSndName = 12;   // then u32 option after the name
constexpr uint32_t kSndHandle = 8;

// ---- 1150-1152 server files ------------------------------------------------------
constexpr uint32_t kFetMode = 8, kFetKind = 9, kFetPage = 10, kFetNumber = 12, kFetNameLength = 16,
                   kFetName = 20;
constexpr uint32_t kFanStatus = 8, kFanPages = 12, kFanSize = 16, kFanData = 20;
constexpr uint32_t kPutNameLength = 8, kPutSize = 12, kPutName = 16;
enum FetchMode : uint8_t { kFetchDefault = 0, kFetchSearch = 1, kFetchSearchAll = 2 };
enum FetchKind : uint8_t { kFetchFile = 0, kFetchIcon = 1, kFetchBitmap = 3, kFetchSound = 4 };
