// webservices.cpp - the page services of the CLIENT object: browser and window
// facts, style sheets and scripts, script runs, storage and cookies, page
// elements by selector; the answers of the application-host methods, which
// this client has no host for; and the theme style sheet of a web window.
#include "webview/core/webservices.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

namespace {


constexpr char kDefaultSeparator = 127;
constexpr int32_t kAppNotPresent = 1;           // the answer of a method that needs the application host
constexpr uint32_t kAppErrorBlock = 1024;
constexpr uint32_t kFactsMaskAll = 0xFFFFFFFFu;
constexpr char kInvalidOption[] = "Invalid option";
constexpr char kThemeSheet[] = "themes/%u/theme%u.css";
constexpr size_t kThemeSheetMax = 48;
// GetState's request flags and the bits of the application host's state word.
constexpr int32_t kStateAskReady = 0x1;
constexpr int32_t kStateAskOnline = 0x2;
constexpr uint32_t kStateReadyBit = 28;
constexpr uint32_t kStateOnlineBit = 24;
// The selector methods' flags.
constexpr int32_t kSelFlagWhole = 0x1;
constexpr int32_t kSelFlagText = 0x2;
enum SelectorWhat : int { kSelWhole = 1, kSelText = 2, kSelVal = 3, kSelHtml = 4, kSelInnerText = 5, kSelAttr = 6 };
// Storage: the third argument of StorageSet (second of StorageGet) chooses a
// cookie instead of the window's session storage.
constexpr uint32_t kStorageSetWhere = 2;
constexpr uint32_t kStorageGetWhere = 1;

char* gAppError;
uint32_t gAppErrorSize;

// ---- Arguments ----------------------------------------------------------------

const char* ArgText(const MethodCallRec* call, uint32_t i, uint32_t* length) { return CallArgText(call, i, length); }

// A text argument as a NUL-terminated copy in the HTML buffer's neighbour:
// selectors and names are short, so a fixed block serves; longer ones are cut.
constexpr size_t kShortTextMax = 1024;
const char* ShortArg(const MethodCallRec* call, uint32_t i, char* out) {
    uint32_t length = 0;
    const char* text = ArgText(call, i, &length);
    if (!text) {
        out[0] = 0;
        return out;
    }
    if (length > kShortTextMax) length = kShortTextMax;
    memcpy(out, text, length);
    out[length] = 0;
    return out;
}

// ---- The facts lists ------------------------------------------------------------

struct FactsList {
    uint32_t mask;
    char separator;
    bool first;
    size_t length;
};

void FactsBegin(FactsList* list, const MethodCallRec* call) {
    int32_t mask = WebArgInt(call, 0, 0);
    list->mask = mask ? static_cast<uint32_t>(mask) : kFactsMaskAll;
    uint32_t length = 0;
    const char* sep = ArgText(call, 1, &length);
    list->separator = WebFactsSeparator(sep, length);
    list->first = true;
    list->length = 0;
    gTextBuf[0] = 0;
}

// Opens entry n (1-based): false when the mask leaves it out.
bool FactsEntry(FactsList* list, uint32_t n) {
    if (!(list->mask & (1u << (n - 1)))) return false;
    if (list->first) {
        list->first = false;
    } else if (list->length < kTextBufSize) {
        gTextBuf[list->length++] = list->separator;
        gTextBuf[list->length] = 0;
    }
    return true;
}

void FactsAppend(FactsList* list, const char* text) {
    if (!text) return;
    size_t n = strlen(text);
    if (n > kTextBufSize - list->length) n = kTextBufSize - list->length;
    memcpy(gTextBuf + list->length, text, n);
    list->length += n;
    gTextBuf[list->length] = 0;
}

// WebAppendReplyMember: a member of the page's reply; a missing text member
// leaves its entry empty.
void AppendReplyMember(FactsList* list, const JsonValue* reply, const char* name, uint32_t n, bool numeric) {
    if (!FactsEntry(list, n)) return;
    if (numeric) {
        char num[24];
        snprintf(num, sizeof num, "%d", static_cast<int32_t>(JsonGetInt(reply, name)));
        FactsAppend(list, num);
    } else {
        FactsAppend(list, reply ? JsonGetText(reply, name) : nullptr);
    }
}

// WebAppendOptionName: a text the client supplies (none without the
// application host, so the entry stays empty).
void AppendOptionName(FactsList* list, const char* text, uint32_t n) {
    if (FactsEntry(list, n)) FactsAppend(list, text);
}

struct FactRow {
    const char* name;
    bool numeric;
};

const FactRow kScreenFacts[] = {
    {"availHeight", true}, {"availWidth", true}, {"colorDepth", true}, {"height", true},
    {"pixelDepth", true},  {"width", true},      {"appCodeName", false}, {"appName", false},
    {"appVersion", false}, {"cookieEnabled", true}, {"language", false}, {"platform", false},
    {"product", false},    {"userAgent", false},
};
constexpr uint32_t kScreenFactCount = sizeof kScreenFacts / sizeof kScreenFacts[0];
// Bits 15 and 16: the application host's name and version.
constexpr uint32_t kHostNameEntry = kScreenFactCount + 1;
constexpr uint32_t kHostVersionEntry = kScreenFactCount + 2;

const FactRow kWindowFacts[] = {
    {"innerHeight", true}, {"innerWidth", true}, {"outerHeight", true}, {"outerWidth", true},
    {"pageXOffset", true}, {"pageYOffset", true}, {"screenX", true},    {"screenY", true},
};

JsonValue* AskFacts(int what) {
    JsonBeginAction(kActPageFacts);
    JsonAddInt("dwid", what);
    return WebViewMsgQuery();
}

int32_t GetInfo(const MethodCallRec* call) {
    FactsList list;
    FactsBegin(&list, call);
    const JsonValue* reply = AskFacts(kFactsScreen);
    for (uint32_t i = 0; i < kScreenFactCount; ++i)
        AppendReplyMember(&list, reply, kScreenFacts[i].name, i + 1, kScreenFacts[i].numeric);
    AppendOptionName(&list, nullptr, kHostNameEntry);
    AppendOptionName(&list, nullptr, kHostVersionEntry);
    return WebReplyText(gTextBuf);
}

int32_t GetWinInfo(const MethodCallRec* call) {
    FactsList list;
    FactsBegin(&list, call);
    const JsonValue* reply = AskFacts(kFactsWindow);
    uint32_t n = 0;
    for (const FactRow& row : kWindowFacts) AppendReplyMember(&list, reply, row.name, ++n, row.numeric);
    return WebReplyText(gTextBuf);
}

// ---- Style sheets, scripts and script runs --------------------------------------

// Loads a style sheet (dwid 4) or script (dwid 7) unless it was loaded before;
// bit 0 of the reload argument sends it again.
int32_t LoadPageFile(const MethodCallRec* call, int what) {
    uint32_t length = 0;
    const char* url = ArgText(call, 0, &length);
    if (!url || !length) return WebReplyInt(0);
    bool isNew = WebTextIsNew(url, length);
    if (!isNew && !(WebArgInt(call, 1, 0) & 1)) return WebReplyInt(0);
    JsonBeginAction(kActPageFacts);
    JsonAddInt("dwid", what);
    JsonAddString("url", url, length);
    if (what == kFactsScript) return WebReplyInt(WebReplyValue(WebViewMsgQuery()));
    WebViewMsgEnd();
    return WebReplyInt(0);
}

int32_t JsRun(const MethodCallRec* call) {
    if (WebArgInt(call, 1, 0) != 0) return WebReplyText(kInvalidOption);
    uint32_t length = 0;
    const char* script = ArgText(call, 0, &length);
    HtmlReset();
    if (script && length) JsAppend(script, length);
    JsonBeginAction(kActRunScript);
    JsonAddJs();
    const JsonValue* reply = WebViewMsgQuery();
    // No reply (the page busy past the wait, a reply too large to come, a
    // view gone) is no empty result: the script's outcome is not known.
    if (!reply) return kWebNoHost;
    const char* text = JsonObjectHasMember(reply, "err") ? JsonGetText(reply, "err") : JsonGetText(reply, "res");
    return WebReplyText(text ? text : "");
}

int32_t JsMakeString(const MethodCallRec* call) {
    uint32_t length = 0;
    const char* text = ArgText(call, 0, &length);
    char* copy = static_cast<char*>(GuardedAlloc(length + 1u));
    if (!copy) return kWebNoMemory;
    if (length) memcpy(copy, text, length);
    copy[length] = 0;
    const char* quoted = JsonQuoteText(copy);
    GuardedFree(copy);
    return quoted ? WebReplyText(quoted) : kWebNoMemory;
}

// ---- Storage and elements by selector ----------------------------------------------

void StorageWhere(const MethodCallRec* call, uint32_t whereArg) {
    JsonAddInt(WebArgInt(call, whereArg, 0) ? "cook" : "ses", 1);
}

int32_t StorageSet(const MethodCallRec* call) {
    uint32_t keyLength = 0, valueLength = 0;
    const char* key = ArgText(call, 0, &keyLength);
    const char* value = ArgText(call, 1, &valueLength);
    JsonBeginAction(kActStorage);
    StorageWhere(call, kStorageSetWhere);
    JsonAddString("skey", key ? key : "", keyLength);
    JsonAddString("sval", value ? value : "", valueLength);
    return WebReplyInt(WebReplyValue(WebViewMsgQuery()));
}

int32_t StorageGet(const MethodCallRec* call) {
    uint32_t keyLength = 0;
    const char* key = ArgText(call, 0, &keyLength);
    JsonBeginAction(kActStorage);
    StorageWhere(call, kStorageGetWhere);
    JsonAddString("gkey", key ? key : "", keyLength);
    const JsonValue* reply = WebViewMsgQuery();
    const char* value = reply ? JsonGetText(reply, "val") : nullptr;
    return WebReplyText(value ? value : "");
}

// JqSet (selector, name, value, flags) and JqGet (selector, name, flags).
void SelectorMessage(int action, const MethodCallRec* call, uint32_t flagsArg) {
    char selector[kShortTextMax + 1], name[kShortTextMax + 1];
    ShortArg(call, 0, selector);
    ShortArg(call, 1, name);
    JsonBeginAction(action);
    JsonAddStringZ("sel", selector);
    JsonAddInt("dwid", WebSelectorWhat(WebArgInt(call, flagsArg, 0), name));
    JsonAddStringZ("nam", name);
}

int32_t JqSet(const MethodCallRec* call) {
    SelectorMessage(kActSelectorSet, call, 3);
    uint32_t length = 0;
    const char* value = ArgText(call, 2, &length);
    JsonAddString("val", value ? value : "", length);
    WebViewMsgEnd();
    return WebReplyInt(0);
}

int32_t JqGet(const MethodCallRec* call) {
    SelectorMessage(kActSelectorGet, call, 2);
    const JsonValue* reply = WebViewMsgQuery();
    const char* value = reply ? JsonGetText(reply, "val") : nullptr;
    return WebReplyText(value ? value : "");
}

// ---- Methods without the page ----------------------------------------------------------

int32_t GetState(const MethodCallRec* call) {
    const uint32_t state = 0;   // the application host's state word: no host, no bits
    int32_t ask = WebArgInt(call, 0, 0);
    bool online = (state >> kStateOnlineBit) & 1;
    if (ask & kStateAskReady) {
        if ((ask & kStateAskOnline) && !online) return WebReplyInt(0);
        return WebReplyInt(static_cast<int32_t>((state >> kStateReadyBit) & 1));
    }
    if (ask & kStateAskOnline) return WebReplyInt(online ? 1 : 0);
    return WebReplyInt(1);
}

int32_t SetUtf8Convert(const MethodCallRec* call) {
    int32_t mode = WebArgInt(call, 0, 0);
    if (mode < 0 || (mode > kCharModeMap && (mode < kCharModeFirstCodePage || mode > kCharModeLastCodePage)))
        mode = kCharModeLatin1;
    int previous = gCharConvMode;
    SetCharConvMode(mode);
    return WebReplyInt(previous);
}

int32_t SetUtf16Table(const MethodCallRec* call) {
    uint32_t length = 0;
    const char* table = ArgText(call, 0, &length);
    if (table) SetCharMapTable(table, length);
    return WebReplyInt(0);
}

int32_t GetMonitorInfo() {
    char text[64];
    snprintf(text, sizeof text, "0, 1, 0, %d, 0, %d;", 0, 0);
    return WebReplyText(text);
}

// The application-host methods: the ones that answer data answer an error
// text, the others the integer 1; the extended error is the last kept text.
int32_t AppNotPresent(uint32_t method) {
    switch (method) {
    case kClientAppExtendedError: {
        const char* kept = WebAppErrorText(nullptr);
        return WebReplyText(kept ? kept : "");
    }
    case kClientAppGetInfo: case kClientAppGetPicture: case kClientAppApi: case kClientAppFindContact:
    case kClientAppPickContact: case kClientAppVersion: case kClientAppGeoLocation: case kClientAppScanBarCode:
    case kClientAppBeaconStatus: case kClientAppDirGet: {
        char text[48];
        snprintf(text, sizeof text, "{ \"qovError\": %d }", kAppNotPresent);
        return WebReplyText(text);
    }
    default:
        return WebReplyInt(kAppNotPresent);
    }
}

bool NeedsPage(uint32_t method) {
    switch (method) {
    case kClientGetInfo: case kClientPrint: case kClientAddCss: case kClientGetLocation: case kClientGetWinInfo: case kClientJsRun:
    case kClientStorageSet: case kClientStorageGet: case kClientJqSet: case kClientJqGet: case kClientAddJs:
        return true;
    default:
        return false;
    }
}

bool IsAppMethod(uint32_t method) {
    switch (method) {
    case 11: case 12: case 13: case 15: case 16: case 17: case 18: case 19: case 20: case 21: case 23:
    case 26: case 27: case 28: case 29: case 30: case 31: case 32: case 35: case 36: case 38: case 39:
    case 40: case 41: case 42: case 43:
        return true;
    default:
        return false;
    }
}

}  // namespace

int WebSelectorWhat(int32_t flags, const char* name) {
    if (flags & kSelFlagWhole) return kSelWhole;
    if (flags & kSelFlagText) return kSelText;
    if (!name) return kSelAttr;
    if (StrEqualNoCase(name, "val")) return kSelVal;
    if (StrEqualNoCase(name, "html")) return kSelHtml;
    if (StrEqualNoCase(name, "text")) return kSelInnerText;
    return kSelAttr;
}

char WebFactsSeparator(const char* text, uint32_t length) {
    if (!text || !length) return kDefaultSeparator;
    signed char c = static_cast<signed char>(text[0]);
    return c <= 0 ? kDefaultSeparator : static_cast<char>(c);
}

void UrlPathNormalize(char* src, char* dest, char** lastPart) {
    size_t n = 0;
    size_t lastSlash = 0;
    bool haveSlash = false;
    for (; src[n] && n < kUrlPathMax; ++n) {
        if (src[n] == '\\') src[n] = '/';
        dest[n] = src[n];
        // Only a '/' whose next character is copied too ends a directory.
        if (dest[n] == '/' && src[n + 1] && n + 1 < kUrlPathMax) {
            lastSlash = n;
            haveSlash = true;
        }
    }
    if (n == 0 || dest[n - 1] != '/') dest[n++] = '/';
    dest[n] = 0;
    if (!lastPart) return;
    if (!haveSlash) {
        *lastPart = nullptr;
        return;
    }
    // The component (without its trailing '/') moves one place right over
    // that '/', and the directory ends after its own '/'.
    memmove(dest + lastSlash + 2, dest + lastSlash + 1, n - 1 - (lastSlash + 1));
    dest[lastSlash + 1] = 0;
    *lastPart = dest + lastSlash;
}

const char* WebAppErrorText(const char* newText) {
    if (!newText) return gAppError;
    size_t need = strlen(newText) + 1;
    uint32_t size = static_cast<uint32_t>((need + kAppErrorBlock - 1) / kAppErrorBlock * kAppErrorBlock);
    if (size > gAppErrorSize) {
        char* block = static_cast<char*>(GuardedAlloc(size));
        if (!block) return gAppError;
        GuardedFree(gAppError);
        gAppError = block;
        gAppErrorSize = size;
    }
    memcpy(gAppError, newText, need);
    return gAppError;
}

void WebServicesCleanup() {
    GuardedFree(gAppError);
    gAppError = nullptr;
    gAppErrorSize = 0;
}

int32_t WebPageServices(ObjectRecord* rec, MethodCallRec* call) {
    if (!call) return kWebUnknownMethod;
    int32_t rc = WebCheckMethod(kTypeClient, call);
    if (rc) return rc;
    uint32_t method = call->method;
    if (method < kClientMethodFirst || method > kClientMethodLast) return kWebUnknownMethod;
    if (IsAppMethod(method)) return AppNotPresent(method);
    if (rec) WebViewSelectForObject(rec);
    if (NeedsPage(method) && !gCurWebView) return kWebNotAvailable;
    switch (method) {
    case kClientGetInfo: return GetInfo(call);
    case kClientPrint:
        AskFacts(kFactsPrint);
        return WebReplyInt(0);
    case kClientOpen: return WebReplyInt(0);
    case kClientAddCss: return LoadPageFile(call, kFactsStyleSheet);
    case kClientFlushMessages:
        WebViewMsgFlush();
        return WebReplyInt(0);
    case kClientGetState: return GetState(call);
    case kClientGetLocation: {
        const JsonValue* reply = AskFacts(kFactsLocation);
        const char* where = reply ? JsonGetText(reply, "msg") : nullptr;
        return WebReplyText(where ? where : "");
    }
    case kClientGetWinInfo: return GetWinInfo(call);
    case kClientSetUtf8Convert: return SetUtf8Convert(call);
    case kClientSetUtf16Table: return SetUtf16Table(call);
    case kClientJsRun: return JsRun(call);
    case kClientJsMakeString: return JsMakeString(call);
    case kClientStorageSet: return StorageSet(call);
    case kClientStorageGet: return StorageGet(call);
    case kClientJqSet: return JqSet(call);
    case kClientJqGet: return JqGet(call);
    case kClientAddJs: return LoadPageFile(call, kFactsScript);
    case kClientGetMonitorInfo: return GetMonitorInfo();
    default: return kWebUnknownMethod;
    }
}

void WebThemeSheet(ObjectRecord* window, bool force) {
    uint32_t theme = WebDefaultThemeColor();
    if (!force && theme == 0) return;
    char url[kThemeSheetMax];
    snprintf(url, sizeof url, kThemeSheet, theme, theme);
    if (window) WebViewSelectForObject(window);
    if (!gCurWebView) return;
    if (!WebTextIsNew(url, static_cast<uint32_t>(strlen(url)))) return;
    JsonBeginAction(kActPageFacts);
    JsonAddInt("dwid", kFactsStyleSheet);
    JsonAddStringZ("url", url);
    WebViewMsgEnd();
}
