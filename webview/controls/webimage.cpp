// webimage.cpp - Icon, Pict and ImageList in the web view. An image is a file
// of the page folder's images folder shown by URL; a numbered resource is
// written there once. An image list is the URL of one strip that the page's
// tree views and toolbars cut into tiles.
#include <cstdio>
#include <cstring>

#include "graphics/gfxcore.h"
#include "graphics/pictcore.h"
#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/controls/webbutton.h"
#include "webview/controls/webdrawn.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

WebImageListRecord* gWebImageLists;
uint8_t gWebImageResourcePending;

namespace {

char gDefaultStripUrl[] = "images/qovtools.png";

constexpr int32_t kDwidAskSize = 1, kDwidShowSize = 2;
constexpr int kAskSizeTries = 40;
constexpr uint32_t kAskSizeSleepMs = 250;
constexpr uint32_t kImageNameMax = 255;
constexpr uint32_t kUrlMax = 600;
constexpr uint32_t kImageTypeIcon = 1, kImageTypeBitmap = 3;
constexpr uint32_t kImageAlive = 0x8;
constexpr uint32_t kPictScrollFlags = 0x810, kPictHScrollFlag = 0x800;
constexpr uint32_t kPictAutoZoomFlag = 0x400, kPictOtherSizeMode = 0x10000;
constexpr uint32_t kDefaultListSize = 32, kStdToolSize = 16;
constexpr uint32_t kDefaultMaskColor = 0xC0C0C0;
constexpr uint32_t kBtnFaceColor = 0x80000000u + 15;
constexpr int32_t kOldEventStdTools = 1;
constexpr int kUsersDepthMax = 32;
constexpr uint8_t kStdToolColors = 32;
constexpr int32_t kScaleWhole = 100;   // SizeMode 5 and 6 without a Scale show the image at 100 %

// SizeMode values of a picture.
enum PictSizeMode : int32_t { kSmWidth = 2, kSmFixed = 3, kSmHeight = 4, kSmKeep = 5, kSmScaled = 6 };

WebIconRecord* AsIcon(ObjectRecord* rec) { return reinterpret_cast<WebIconRecord*>(rec); }
WebPictRecord* AsPict(ObjectRecord* rec) { return reinterpret_cast<WebPictRecord*>(rec); }
WebImageListRecord* AsList(ObjectRecord* rec) { return reinterpret_cast<WebImageListRecord*>(rec); }


void Replace(char** field, const char* text, uint32_t length) { WebTextReplace(field, text, length); }

void ReplaceZ(char** field, const char* text) {
    Replace(field, text, text ? static_cast<uint32_t>(strlen(text)) : 0);
}

// A picture file the page shows; names that start with the byte 4 or '@'
// name something other than a file and are not taken.
bool PictFileName(const char* name, size_t n) {
    if (n == 0 || name[0] == 4 || name[0] == '@') return false;
    return WebNameEndsWith(name, n, ".jpg") || WebNameEndsWith(name, n, ".jpeg") || WebNameEndsWith(name, n, ".bmp") ||
           WebNameEndsWith(name, n, ".gif");
}

// A numbered image written out into the images folder: its file name and URL.
bool ResourceUrl(uint32_t type, uint32_t number, char* url, size_t urlSize, char* name, size_t nameSize) {
    if (number == 0) return false;
    if (!WebExtractImage(type, number, name, nameSize, nullptr, nullptr)) return false;
    return WebImagePath(name, true, url, urlSize);
}

// A file name of the images folder as its URL; none for a name holding a
// NUL, which cut there would show another file.
bool FileUrl(const CrText& name, char* url, size_t urlSize) {
    if (!NameIsWhole(name.text, name.length, SIZE_MAX)) return false;
    char plain[kImageNameMax + 1];
    uint32_t n = name.length > kImageNameMax ? kImageNameMax : name.length;
    snprintf(plain, sizeof plain, "%.*s", static_cast<int>(n), name.text);
    return WebImagePath(plain, true, url, urlSize);
}

// '/' for every '\' of a strip URL.
void ForwardSlashes(char* url) {
    for (char* p = url; p && *p; ++p)
        if (*p == '\\') *p = '/';
}

// The markup shows the image of the record's URL and alternative text.
void UrlToMarkup(ObjectCreateRecord* cr, const char* url, const char* alt) {
    if (url) cr->texts[kPidUrlSource] = CrText{url, static_cast<uint32_t>(strlen(url))};
    if (alt && (!cr->texts[kPidAltText].text || !cr->texts[kPidAltText].length))
        cr->texts[kPidAltText] = CrText{alt, static_cast<uint32_t>(strlen(alt))};
}

WebImageListRecord* WebListOf(int32_t handle) {
    ObjectRecord* rec = handle ? ObjectFromHandle(static_cast<uint32_t>(handle)) : nullptr;
    if (!rec || !ObjectIsLive(rec) || rec->kind != kKindImageList || !ObjectIsWebView(rec)) return nullptr;
    return AsList(rec);
}

void TakeUse(WebImageListRecord* list) {
    if (list && list != &gWebDefaultStrip) ++list->useCount;
}

// The icon's image list while it is the same live record, else none.
ObjectRecord* IconList(const WebIconRecord* ic) {
    if (!ic->imageList) return nullptr;
    return ObjectRefAlive(ObjectRef{ic->imageList, ic->imageListHandle}) ? ic->imageList : nullptr;
}

void IconTakeList(WebIconRecord* ic, WebImageListRecord* list) {
    ic->imageList = list ? &list->hdr : nullptr;
    ic->imageListHandle = list ? list->hdr.handle : 0;
    TakeUse(list);
}

// ---- Icon ----------------------------------------------------------------------------------

int32_t IconSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                    bool* commonWrite) {
    WebIconRecord* ic = AsIcon(rec);
    switch (id) {
    case kPidAppearance:
        rec->flags = value == 1 ? (rec->flags | kObj3D) : (rec->flags & ~kObj3D);
        rec->appearance = value == 1 ? 1 : 2;
        break;
    case kPidResource: ic->resource = static_cast<uint32_t>(value); break;
    case kPidImageIndex: if (value) ic->imageIndex = static_cast<uint32_t>(value); break;
    case kPidImageList: {
        WebImageListRecord* list = WebListOf(value);
        if (ObjectRecord* old = IconList(ic)) WebImageListRelease(old, true);
        IconTakeList(ic, list);
        break;
    }
    case kPidAltText: Replace(&ic->altText, text, text ? length : 0); break;
    case kPidUrlSource: Replace(&ic->url, text, text ? length : 0); break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t IconGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebIconRecord* ic = AsIcon(rec);
    switch (id) {
    case kPidResource: *result = static_cast<int32_t>(ic->resource); return 0;
    case kPidImageIndex: *result = static_cast<int32_t>(ic->imageIndex); return 0;
    case kPidImageList:
        *result = IconList(ic) ? static_cast<int32_t>(ic->imageListHandle) : 0;
        return 0;
    case kPidAltText: case kPidUrlSource:
        snprintf(gTextBuf, kTextBufSize + 1, "%s", (id == kPidAltText ? ic->altText : ic->url) ? (id == kPidAltText ? ic->altText : ic->url) : "");
        *text = gTextBuf;
        return 0;
    default: return kWebNotAvailable;
    }
}

void IconOpDestroy(ObjectRecord* rec) { WebIconDestroy(rec); }

// ---- Pict ----------------------------------------------------------------------------------

uint32_t SizeBitsOf(int32_t mode) {
    switch (mode) {
    case kSmWidth: return kPictMode2;
    case kSmFixed: return kPictFixed;
    case kSmHeight: return kPictMode4;
    case kSmKeep: return kPictMode5;
    case kSmScaled: return kPictScaled;
    default: return 0;
    }
}

int32_t SizeModeOf(uint32_t bits) {
    if (bits & kPictFixed) return kSmFixed;
    if (bits & kPictMode4) return kSmHeight;
    if (bits & kPictMode2) return kSmWidth;
    if (bits & kPictMode5) return kSmKeep;
    if (bits & kPictScaled) return kSmScaled;
    return 1;
}

int32_t PictSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                    bool* commonWrite) {
    WebPictRecord* p = AsPict(rec);
    switch (id) {
    case kPidNoResize: case kPidResize: {
        bool fixed = id == kPidNoResize ? value != 0 : value == 0;
        p->sizeBits = fixed ? (p->sizeBits | kPictFixed) : (p->sizeBits & ~kPictFixed);
        if (fixed) p->zoom = kPictZoomUnit;
        break;
    }
    case kPidBackStyle: p->backStyle = static_cast<uint8_t>(ValueInRange(value, 1, 2, 1)); break;
    case kPidScrollBar: {
        int32_t old = p->scrollBar;
        p->scrollBar = static_cast<uint8_t>(value);
        rec->flags = value == 1 ? (rec->flags | kPictHScrollFlag) : (rec->flags & ~kPictHScrollFlag);
        // The scroll class is the wrapper's, as the markup writes it.
        WebChangeElemClass(rec, HtmlScrollClass(old), HtmlScrollClass(value), true);
        break;
    }
    case kPidAutoZoom: rec->flags = value ? (rec->flags | kPictAutoZoomFlag) : (rec->flags & ~kPictAutoZoomFlag); break;
    case kPidScale:
        p->sizeBits = (p->sizeBits & ~kPictFixed) | kPictScaled;
        p->zoom = PictScaleToZoom(value);
        WebPictApplySize(rec);
        break;
    case kPidPictPosH: p->posH = static_cast<uint32_t>(value); break;
    case kPidPictPosV: p->posV = static_cast<uint32_t>(value); break;
    case kPidResource: p->resource = static_cast<uint32_t>(value); break;
    case kPidAutoScale:
        p->sizeBits = SizeBitsOf(value);
        if (!p->sizeBits) rec->flags |= kPictOtherSizeMode;
        if (value == kSmScaled && !p->zoom) p->zoom = kPictZoomUnit;
        WebPictApplySize(rec);
        break;
    case kPidAltText: Replace(&p->altText, text, text ? length : 0); break;
    case kPidUrlSource:
        Replace(&p->url, text, text ? length : 0);
        p->naturalWidth = p->naturalHeight = 0;
        break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t PictGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebPictRecord* p = AsPict(rec);
    switch (id) {
    case kPidNoResize: *result = (p->sizeBits & kPictFixed) ? 1 : 0; return 0;
    case kPidResize: *result = (p->sizeBits & kPictFixed) ? 0 : 1; return 0;
    case kPidBackStyle: *result = p->backStyle; return 0;
    case kPidScrollBar: *result = p->scrollBar; return 0;
    case kPidAutoZoom: *result = (rec->flags & kPictAutoZoomFlag) ? 1 : 0; return 0;
    case kPidScale: *result = static_cast<int32_t>(p->zoom / 10); return 0;
    case kPidPictPosH: *result = static_cast<int32_t>(p->posH); return 0;
    case kPidPictPosV: *result = static_cast<int32_t>(p->posV); return 0;
    case kPidResource: *result = static_cast<int32_t>(p->resource); return 0;
    case kPidPictSizeH: case kPidPictSizeV: {
        ObjectRef ref = ObjectRefOf(rec);
        if (!p->naturalWidth || !p->naturalHeight) WebPictAskSize(rec);
        if (!ObjectRefAlive(ref)) return kWebNotCreated;
        *result = static_cast<int32_t>(id == kPidPictSizeH ? p->naturalWidth : p->naturalHeight);
        return 0;
    }
    case kPidAutoScale: *result = SizeModeOf(p->sizeBits); return 0;
    case kPidAltText: case kPidUrlSource: {
        const char* t = id == kPidAltText ? p->altText : p->url;
        snprintf(gTextBuf, kTextBufSize + 1, "%s", t ? t : "");
        *text = gTextBuf;
        return 0;
    }
    default: return kWebNotAvailable;
    }
}

int32_t PictMethod(ObjectRecord*, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    switch (call->method) {
    case kPictGetPageCount: case kPictRotate: case kPictWriteBmpFile: return WebReplyInt(1);
    default:
        if (call->method >= kPictGetZTop && call->method <= kPictGetZRight) return WebReplyInt(0);
        return kWebUnknownMethod;
    }
}

void PictOpDestroy(ObjectRecord* rec) {
    WebPictRecord* p = AsPict(rec);
    GuardedFree(p->altText);
    GuardedFree(p->url);
    p->altText = p->url = nullptr;
}

// ---- ImageList -----------------------------------------------------------------------------

void ListColor(uint32_t* field, int32_t value) {
    uint32_t color;
    if (WebDrawnColor(value, &color)) *field = color;
}

void SetStrip(WebImageListRecord* l, const char* url, uint32_t length) {
    Replace(&l->url, url, length);
    ForwardSlashes(l->url);
}

int32_t ListSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                    bool* commonWrite) {
    WebImageListRecord* l = AsList(rec);
    switch (id) {
    case kPidBgColor: ListColor(&rec->bgColor, value); break;
    case kPidMaskColor: ListColor(&rec->fgColor, value); break;
    case kPidResource: l->resource = static_cast<uint32_t>(value); break;
    case kPidUseMask: l->useMask = value ? 1 : 0; break;
    case kPidUseColorMask: l->useColorMask = value ? 1 : 0; break;
    case kPidImageSizeH: l->sizeH = static_cast<uint32_t>(value); break;
    case kPidImageSizeV: l->sizeV = static_cast<uint32_t>(value); break;
    case kPidImageColors: l->colors = ImageColorsRound(value); break;
    case kPidUrlSource:
        SetStrip(l, text, text ? length : 0);
        WebImageListUsersRefresh(rec);
        break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t ListGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebImageListRecord* l = AsList(rec);
    switch (id) {
    case kPidBgColor: *result = static_cast<int32_t>(rec->bgColor); return 0;
    case kPidMaskColor: *result = static_cast<int32_t>(rec->fgColor); return 0;
    case kPidResource: *result = static_cast<int32_t>(l->resource); return 0;
    case kPidUseMask: *result = l->useMask; return 0;
    case kPidUseColorMask: *result = l->useColorMask; return 0;
    case kPidImageSizeH: *result = static_cast<int32_t>(l->sizeH); return 0;
    case kPidImageSizeV: *result = static_cast<int32_t>(l->sizeV); return 0;
    case kPidImageColors: *result = l->colors; return 0;
    case kPidUrlSource:
        snprintf(gTextBuf, kTextBufSize + 1, "%s", l->url ? l->url : "");
        *text = gTextBuf;
        return 0;
    default: return kWebNotAvailable;
    }
}

// A bitmap resource added while the list has no strip and waits for its
// resource: written out, its URL becomes the strip.
int32_t AddBitmap(WebImageListRecord* l, const MethodCallRec* call) {
    if (!WebArgGiven(call, 0)) return -1;
    const EventItem& a = call->args[0];
    if (a.kind == kItemText || a.kind == kItemText8 || a.kind == kItemUtf8) return -1;
    if (l->url || !l->resourcePending) return -1;
    char url[kUrlMax], name[64];
    if (ResourceUrl(kImageTypeBitmap, static_cast<uint32_t>(WebArgInt(call, 0, 0)), url, sizeof url, name, sizeof name)) {
        SetStrip(l, url, static_cast<uint32_t>(strlen(url)));
        WebImageListUsersRefresh(&l->hdr);
    }
    return -1;
}

int32_t LoadStdToolBitmap(WebImageListRecord* l) {
    ObjectRecord* rec = &l->hdr;
    SetStrip(l, kWebStdToolStrip, static_cast<uint32_t>(strlen(kWebStdToolStrip)));
    rec->fgColor = kDefaultMaskColor;
    l->useMask = l->useColorMask = 1;
    l->sizeH = l->sizeV = kStdToolSize;
    if (EventIsRegistered(rec, kEvChange)) PostObjectEvent(rec, kEvChange, kEventKindDefault, 0, 0);
    else if (EventIsRegistered(rec, kEvOldEvent))
        PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, kOldEventStdTools);
    WebImageListUsersRefresh(rec);
    return 0;
}

int32_t ListMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebImageListRecord* l = AsList(rec);
    switch (call->method) {
    case kImageListAddBmp: case kImageListAddBmpMasked: return WebReplyInt(AddBitmap(l, call));
    case kImageListAddIcon: return WebReplyInt(-1);
    case kImageListGetImageCount: case kImageListWriteBmpFile: return WebReplyInt(1);
    case kImageListLoadStdToolBitmap: return WebReplyInt(LoadStdToolBitmap(l));
    default:
        if (call->method >= kImageListRemove && call->method <= kImageListReplaceIcon) return WebReplyInt(0);
        if (call->method > kImageListWriteBmpFile && call->method <= kImageListAddLoadIcon) return WebReplyInt(1);
        return kWebUnknownMethod;
    }
}

void ListUnlink(WebImageListRecord* l) {
    for (WebImageListRecord** at = &gWebImageLists; *at; at = &(*at)->nextList) {
        if (*at == l) {
            *at = l->nextList;
            l->nextList = nullptr;
            return;
        }
    }
}

void ListOpDestroy(ObjectRecord* rec) { WebImageListDestroy(rec); }

void UsersWalk(ObjectRecord* container, ObjectRecord* list, int depth) {
    if (!container || depth > kUsersDepthMax) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->kind == kKindPanel) UsersWalk(c, list, depth + 1);
        if (!ObjectIsWebView(c) || c->kind >= kObjectKindRows) continue;
        const WebKindOps* ops = WebKindOpsOf(c);
        const WebImageListUser* user = ops ? ops->imageListUser : nullptr;
        if (user && user->uses && user->queueRedraw && user->uses(c, list)) user->queueRedraw(c);
    }
}


}  // namespace

WebImageListRecord gWebDefaultStrip = {
    ObjectRecord(),            // header: no handle, never in a list
    nullptr,                   // next
    0,                         // use count: never released
    kStdToolSize, kStdToolSize, 0, 1, 1, 0, kStdToolColors, {}, gDefaultStripUrl,
};

// ---- Creators ----------------------------------------------------------------------------

ObjectRecord* WebIconCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind, int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebIconRecord), code);
    if (!rec) return nullptr;
    WebIconRecord* ic = AsIcon(rec);
    rec->flags |= kObjAlive | kImageAlive;
    ic->imageIndex = static_cast<uint32_t>(CreateRecordValue(cr, kPidImageIndex, 0));
    ic->resource = static_cast<uint32_t>(CreateRecordValue(cr, kPidResource, 0));
    CrText source = CreateRecordText(cr, kPidUrlSource);
    CrText alt = CreateRecordText(cr, kPidAltText);
    if (alt.text) Replace(&ic->altText, alt.text, alt.length);
    char url[kUrlMax], name[64];
    if (source.text && source.length) {
        Replace(&ic->url, source.text, source.length);
    } else {
        CrText file = CreateRecordText(cr, kPidPicture);
        uint32_t n = file.text ? (file.length > kImageNameMax ? kImageNameMax : file.length) : 0;
        if (n && WebNameEndsWith(file.text, n, ".ico") && FileUrl(file, url, sizeof url)) {
            ReplaceZ(&ic->url, url);
            ic->resource = 0;
        } else if (ResourceUrl(kImageTypeIcon, ic->resource, url, sizeof url, name, sizeof name)) {
            ReplaceZ(&ic->url, url);
            ReplaceZ(&ic->altText, name);
        }
    }
    IconTakeList(ic, WebListOf(CreateRecordValue(cr, kPidImageList, 0)));
    UrlToMarkup(cr, ic->url, ic->altText);
    return rec;
}

ObjectRecord* WebPictCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind, int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebPictRecord), code);
    if (!rec) return nullptr;
    WebPictRecord* p = AsPict(rec);
    rec->flags |= kObjAlive | kImageAlive;
    if (CreateRecordValue(cr, kPidBorder, 0)) rec->flags |= kObjBorder;
    int32_t back = cr->backStyle ? cr->backStyle : CreateRecordValue(cr, kPidBackStyle, 1);
    p->backStyle = static_cast<uint8_t>(ValueInRange(back, 1, 2, 1));
    int32_t bars = cr->scrollBar;
    p->scrollBar = static_cast<uint8_t>(bars >= 1 && bars <= 4 ? bars : 3);
    if (p->scrollBar != 3) rec->flags |= kPictScrollFlags;
    p->resource = static_cast<uint32_t>(CreateRecordValue(cr, kPidResource, 0));
    CrText source = CreateRecordText(cr, kPidUrlSource);
    CrText alt = CreateRecordText(cr, kPidAltText);
    if (alt.text) Replace(&p->altText, alt.text, alt.length);
    char url[kUrlMax], name[64];
    CrText file = CreateRecordText(cr, kPidPicture);
    if (source.text && source.length) {
        Replace(&p->url, source.text, source.length);
    } else if (file.text && PictFileName(file.text, file.length > kImageNameMax ? kImageNameMax : file.length)) {
        if (FileUrl(file, url, sizeof url)) ReplaceZ(&p->url, url);
    } else if (ResourceUrl(kImageTypeBitmap, p->resource, url, sizeof url, name, sizeof name)) {
        ReplaceZ(&p->url, url);
        ReplaceZ(&p->altText, name);
    }
    if (CreateRecordValue(cr, kPidAutoZoom, 0)) rec->flags |= kPictAutoZoomFlag;
    int32_t mode = CreateRecordValue(cr, kPidAutoScale, cr->sizeMode);
    int32_t scale = CreateRecordValue(cr, kPidScale, 0);
    if (CreateRecordValue(cr, kPidNoResize, 0)) p->sizeBits = kPictFixed;
    else p->sizeBits = SizeBitsOf(mode);
    if ((mode == kSmKeep || mode == kSmScaled) && !scale) scale = kScaleWhole;
    p->zoom = (p->sizeBits & kPictFixed) ? kPictZoomUnit : PictScaleToZoom(scale);
    UrlToMarkup(cr, p->url, p->altText);
    return rec;
}

ObjectRecord* WebImageListCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                 int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebImageListRecord), code);
    if (!rec) return nullptr;
    WebImageListRecord* l = AsList(rec);
    l->colors = ImageColorsRound(CreateRecordValue(cr, kPidImageColors, 0));
    int32_t h = CreateRecordValue(cr, kPidImageSizeH, 0), v = CreateRecordValue(cr, kPidImageSizeV, 0);
    l->sizeH = h > 0 ? static_cast<uint32_t>(h) : kDefaultListSize;
    l->sizeV = v > 0 ? static_cast<uint32_t>(v) : kDefaultListSize;
    l->useMask = CreateRecordValue(cr, kPidUseMask, 0) ? 1 : 0;
    l->useColorMask = CreateRecordValue(cr, kPidUseColorMask, 0) ? 1 : 0;
    rec->fgColor = kDefaultMaskColor;
    ListColor(&rec->fgColor, CreateRecordValue(cr, kPidMaskColor, -1));
    rec->bgColor = kBtnFaceColor;
    if (cr->bgColor.value != -1) ListColor(&rec->bgColor, cr->bgColor.value);
    l->resource = static_cast<uint32_t>(CreateRecordValue(cr, kPidResource, 0));
    l->resourcePending = gWebImageResourcePending;
    CrText source = CreateRecordText(cr, kPidUrlSource);
    char url[kUrlMax], name[64];
    if (source.text && source.length) SetStrip(l, source.text, source.length);
    else if (ResourceUrl(kImageTypeBitmap, l->resource, url, sizeof url, name, sizeof name))
        SetStrip(l, url, static_cast<uint32_t>(strlen(url)));
    l->nextList = gWebImageLists;
    gWebImageLists = l;
    return rec;
}

// ---- Sizes of pictures -------------------------------------------------------------------

void WebPictAskSize(ObjectRecord* rec) {
    WebPictRecord* p = AsPict(rec);
    if (!p->url || !p->url[0]) {
        p->naturalWidth = p->naturalHeight = 0;
        return;
    }
    ObjectRef ref = ObjectRefOf(rec);
    for (int tries = 0; tries < kAskSizeTries; ++tries) {
        WebViewSelectForObject(rec);
        JsonBeginAction(kActImage);
        JsonAddName(rec);
        JsonAddInt("dwid", kDwidAskSize);
        JsonValue* reply = WebViewMsgQuery();
        // The wait pumps: the picture may be gone after it.
        if (!ObjectRefAlive(ref)) return;
        int64_t h = reply ? JsonGetInt(reply, "h") : 0, v = reply ? JsonGetInt(reply, "v") : 0;
        bool ended = reply && JsonGetInt(reply, "c") != 0;
        p->naturalWidth = h > 0 && h <= UINT32_MAX ? static_cast<uint32_t>(h) : 0;
        p->naturalHeight = v > 0 && v <= UINT32_MAX ? static_cast<uint32_t>(v) : 0;
        if (ended || (p->naturalWidth && p->naturalHeight)) return;
        if (gWebHooks.sleepMs) gWebHooks.sleepMs(kAskSizeSleepMs);
    }
}

void WebPictApplySize(ObjectRecord* rec) {
    WebPictRecord* p = AsPict(rec);
    ObjectRef ref = ObjectRefOf(rec);
    if (!p->naturalWidth || !p->naturalHeight) WebPictAskSize(rec);
    if (!ObjectRefAlive(ref)) return;
    int32_t w = rec->right - rec->left, h = rec->bottom - rec->top;
    if (p->sizeBits & kPictFixed) {
        w = static_cast<int32_t>(p->naturalWidth);
        h = static_cast<int32_t>(p->naturalHeight);
    } else if (p->sizeBits & kPictScaled) {
        w = PictScaled(p->naturalWidth, p->zoom);
        h = PictScaled(p->naturalHeight, p->zoom);
    }
    // Ended normally: it leaves with the next batch.
    WebViewSelectForObject(rec);
    JsonBeginAction(kActImage);
    JsonAddName(rec);
    JsonAddInt("dwid", kDwidShowSize);
    JsonAddInt("v", h);
    JsonAddInt("h", w);
    WebViewMsgEnd();
}

// ---- Image lists ---------------------------------------------------------------------------

void WebImageListTake(ObjectRecord* list) {
    if (list && ObjectIsLive(list) && list->kind == kKindImageList && ObjectIsWebView(list)) TakeUse(AsList(list));
}

bool WebImageListStrip(ObjectRecord* list, const char** url, int32_t* width, int32_t* height) {
    *url = nullptr;
    *width = *height = 0;
    if (!list || !ObjectIsLive(list) || list->kind != kKindImageList || !ObjectIsWebView(list)) return false;
    const WebImageListRecord* l = AsList(list);
    if (!l->url || !l->url[0]) return false;
    *url = l->url;
    *width = static_cast<int32_t>(l->sizeH);
    *height = static_cast<int32_t>(l->sizeV);
    return true;
}

void WebImageListUsersRefresh(ObjectRecord* list) {
    if (!list) return;
    ObjectRecord* window = ObjectTopWindow(list);
    if (window) UsersWalk(window, list, 0);
}

void WebImageListRelease(ObjectRecord* rec, bool free) {
    WebImageListRecord* l = AsList(rec);
    if (!rec || l == &gWebDefaultStrip) return;
    if (l->useCount > 0) {
        --l->useCount;
        return;
    }
    ListUnlink(l);
    if (free) {
        GuardedFree(l->url);
        l->url = nullptr;
    }
}

void WebImageListDestroy(ObjectRecord* rec) {
    WebImageListRecord* l = AsList(rec);
    // The record itself goes with the common destroy; users keep no pointer
    // they do not check first.
    l->useCount = 0;
    WebImageListRelease(rec, true);
}

void WebImageListDestroyAll() {
    while (gWebImageLists) {
        WebImageListRecord* l = gWebImageLists;
        gWebImageLists = l->nextList;
        l->nextList = nullptr;
        ObjectRecord* rec = &l->hdr;
        WebUnlinkChild(rec);
        rec->parent = nullptr;
        GuardedFree(l->url);
        l->url = nullptr;
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
    }
}

void WebIconDestroy(ObjectRecord* rec) {
    WebIconRecord* ic = AsIcon(rec);
    if (ObjectRecord* list = IconList(ic)) WebImageListRelease(list, true);
    ic->imageList = nullptr;
    ic->imageListHandle = 0;
    GuardedFree(ic->altText);
    GuardedFree(ic->url);
    ic->altText = ic->url = nullptr;
}

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

constexpr int32_t kIconSize = 32;

void MarkupPictIcon(HtmlMarkup& m) {
    HtmlPut("<div ");
    HtmlOpenId(m, true);
    HtmlWriteCommon(m);
    HtmlPut(">");
    if (m.kind == kKindIcon) {
        HtmlImage(m.cr, m.id, m.height, m.width);
    } else {
        switch (m.cr->sizeMode) {
        case 0: case 1: case 5: HtmlImage(m.cr, m.id, m.height, m.width); break;
        case 2: HtmlImage(m.cr, m.id, 0, m.width); break;
        case 4: HtmlImage(m.cr, m.id, m.height, 0); break;
        default: HtmlImage(m.cr, m.id, 0, 0); break;
        }
    }
    HtmlPut("</div>");
}

// An Icon is 32 by 32 whatever its creation says.
void MarkupIcon(HtmlMarkup& m) {
    m.cr->bottom = m.cr->top + kIconSize;
    m.cr->right = m.cr->left + kIconSize;
    HtmlMarkupGeometry(m);
    MarkupPictIcon(m);
}

const WebKindOps kIconOps = {
    .create = WebIconCreate,
    .markup = MarkupIcon,
    .setProp = IconSetProp,
    .getProp = IconGetProp,
    .destroy = IconOpDestroy,
    .defaultEvent = kEvMouseDown,
    .traits = kWebKindPixelGeometry,
};

const WebKindOps kPictOps = {
    .create = WebPictCreate,
    .markup = MarkupPictIcon,
    .setProp = PictSetProp,
    .getProp = PictGetProp,
    .destroy = PictOpDestroy,
    .method = PictMethod,
    .defaultEvent = kEvMouseDown,
};

// An image list has no element of its own.
const WebKindOps kListOps = {
    .create = WebImageListCreate,
    .setProp = ListSetProp,
    .getProp = ListGetProp,
    .destroy = ListOpDestroy,
    .method = ListMethod,
    .traits = kWebKindSendsNoDelete,
};

}  // namespace

void WebImagesInstall() {
    WebRegisterKind(kKindIcon, &kIconOps);
    WebRegisterKind(kKindPict, &kPictOps);
    WebRegisterKind(kKindImageList, &kListOps);
}

void WebDrawnInstall() {
    WebImagesInstall();
    WebShapesInstall();
    WebPanelsInstall();
}
