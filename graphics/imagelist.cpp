// imagelist.cpp - the Imagelist object (kind 35): a shared Windows image list
// filled with bitmaps and icons from files, resources and DLLs. Users count
// themselves in its use count; the last release destroys it; every list is
// on one chain so that clean-up frees them all.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "graphics/gfxcommon.h"
#include "graphics/graphics.h"
#include "graphics/image/dibutil.h"
#include "graphics/pict.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/paint.h"
#include "session/proto/protocol.h"
#include "session/session.h"
#include "session/util/mem.h"

namespace {

enum LoadResult : int32_t { kLoadOk = 0, kLoadNoName = 1, kLoadNoLibrary = 2, kLoadNotFound = 3, kLoadAddFailed = 4 };
constexpr uint32_t kWriteVersion = 9104, kLoadVersion = 9204;
constexpr uint32_t kDefaultSize = 32;
constexpr int kInitial = 20, kGrow = 20;
constexpr uint32_t kDefaultMask = 0xC0C0C0;
constexpr char kStdToolsName[] = "QOVDEFTOOLS";
constexpr int kStdToolSize = 16;
constexpr uint32_t kColorValueLimit = 0x1000000;
constexpr uint32_t kSysColorLimit = 21;
constexpr int kMaxNesting = 64;          // panels inside panels the user walk follows
constexpr int kChainMax = 1 << 20;       // a walk of the chain ends even on a damaged link

struct ImageListRecord {
    ObjectRecord hdr;            // fgColor: the mask colour; bgColor: the background
    ImageListRecord* nextList;
    HIMAGELIST list;
    int32_t useCount;
    uint32_t width, height;
    uint32_t resource;
    uint8_t useMask, useColorMask, depth;
    bool releasing;              // a release is telling the users
    bool rebuilding;             // the users are being handed a new list
    char* urlSource;
};

ImageListRecord* gImageListHead;

ImageListRecord* AsList(ObjectRecord* rec) { return reinterpret_cast<ImageListRecord*>(rec); }
// A list is there while it is on the chain: the server's destroy takes its
// handle away at once, but the record lives on for its users until the last
// of them lets it go. Judging by the handle made every later release a no-op,
// so a destroyed list was never freed before the clean-up.
bool OnChain(const ObjectRecord* rec) {
    int guard = 0;
    for (const ImageListRecord* l = gImageListHead; l && guard < kChainMax; l = l->nextList, ++guard)
        if (&l->hdr == rec) return true;
    return false;
}
bool IsList(const ObjectRecord* rec) { return rec && rec->kind == kKindImageList && OnChain(rec); }

UINT ColorFlag(uint8_t depth) {
    switch (depth) {
    case 4: return ILC_COLOR4;
    case 8: return ILC_COLOR8;
    case 16: return ILC_COLOR16;
    case 24: return ILC_COLOR24;
    default: return ILC_COLOR32;
    }
}

// A colour value: a COLORREF below 0x1000000, a system colour index below 21
// kept with the index flag, anything else refused.
bool ColorValue(uint32_t v, uint32_t* out) {
    if (v < kColorValueLimit) {
        *out = v;
        return true;
    }
    uint32_t index = v & ~kColorIndexFlag;
    if (index >= kSysColorLimit) return false;
    *out = kColorIndexFlag + index;
    return true;
}

void Unchain(ImageListRecord* l) {
    for (ImageListRecord** link = &gImageListHead; *link; link = &(*link)->nextList) {
        if (*link == l) {
            *link = l->nextList;
            break;
        }
    }
    l->nextList = nullptr;
}

// The Resource is found as a picture's: the form's bitmap, the server's, the client's.
void LoadResourceImages(ImageListRecord* l) {
    if (!l->resource || !l->list) return;
    HBITMAP bm = LoadBitmapByNumber(l->resource, l->hdr.parent);
    if (!bm) return;
    if (l->useColorMask) ImageList_AddMasked(l->list, bm, ColorValueResolve(l->hdr.fgColor));
    else ImageList_Add(l->list, bm, nullptr);
    DeleteObject(bm);
}

HIMAGELIST Build(ImageListRecord* l) {
    HIMAGELIST list = ImageList_Create(static_cast<int>(l->width), static_cast<int>(l->height),
                                       (l->useMask ? ILC_MASK : 0) | ColorFlag(l->depth), kInitial, kGrow);
    if (list) ImageList_SetBkColor(list, ColorValueResolve(l->hdr.bgColor));
    return list;
}

void HandOver(ImageListRecord* l, HIMAGELIST fresh);

// A new list replaces the current one; images added so far are lost except
// the Resource, which is loaded again.
void Rebuild(ImageListRecord* l) {
    HIMAGELIST fresh = Build(l);
    if (!fresh) return;
    HandOver(l, fresh);
    LoadResourceImages(l);
}

void NotifyChange(ImageListRecord* l) {
    int32_t count = l->list ? ImageList_GetImageCount(l->list) : 0;
    ObjectRecord* rec = &l->hdr;
    if (EventIsRegistered(rec, kEvChange)) PostObjectEvent(rec, kEvChange, kEventKindDefault, 0, count);
    else if (EventIsRegistered(rec, kEvOldEvent)) PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, count);
}

void FreeList(ImageListRecord* l) {
    if (l->list) ImageList_Destroy(l->list);
    l->list = nullptr;
    LocalFreeMem(l->urlSource);
    l->urlSource = nullptr;
    ObjectFreeCommon(&l->hdr);
    ObjectFreeRecord(&l->hdr);
}

// After a change of the list's images or handle: the icons and toolbars of
// the list's window (and of its panels) that show the list are repainted
// (a toolbar's control draws its images only when it paints, so an image
// added to its list stayed unseen until the bar was hidden and shown), and
// list and tree views are handed the current handle and repainted.
void RepaintUsers(ObjectRecord* container, ImageListRecord* l, int depth) {
    if (!container || depth > kMaxNesting) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->modeFlags & kModeWebView) continue;
        if (c->kind == kKindPanel) RepaintUsers(c, l, depth + 1);
        else if (c->kind == kKindListView || c->kind == kKindTreeView) CtlImageListRefresh(c, &l->hdr);
        else if (ToolBarUsesImageList(c, &l->hdr)) RedrawObjectWindow(c, 0);
        else if (c->kind == kKindIcon && (c->flags & kObjShown) && ObjectOpsOf(c)->getProp(c, kPidImageList) == l->hdr.handle)
            RedrawObject(c, false);
    }
}

void ImageListRepaintUsers(ImageListRecord* l) { RepaintUsers(l->hdr.parent, l, 0); }

// The objects of a window (and of its panels) take the list's new handle:
// list and tree views through their refresh, the others through their
// image-list slot, which sees the list rebuilding.
void TellRebuilt(ObjectRecord* container, ImageListRecord* l, int depth) {
    if (!container || depth > kMaxNesting) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->modeFlags & kModeWebView) continue;
        if (c->kind == kKindPanel) TellRebuilt(c, l, depth + 1);
        if (c->kind == kKindListView || c->kind == kKindTreeView) {
            CtlImageListRefresh(c, &l->hdr);
            continue;
        }
        const ObjectOps* ops = ObjectOpsOf(c);
        if (ops && ops->imageListReleased) ops->imageListReleased(c, &l->hdr);
    }
}

// The new list becomes current and every user is handed it before the old
// one is destroyed: no user holds a destroyed list meanwhile.
void HandOver(ImageListRecord* l, HIMAGELIST fresh) {
    HIMAGELIST old = l->list;
    l->list = fresh;
    l->rebuilding = true;
    if (l->hdr.parent) TellRebuilt(l->hdr.parent, l, 0);
    l->rebuilding = false;
    if (old) ImageList_Destroy(old);
}

// Tells the objects of a window (and of its panels) that the list goes.
void TellUsers(ObjectRecord* container, ImageListRecord* l, int depth) {
    if (!container || depth > kMaxNesting) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->modeFlags & kModeWebView) continue;
        const ObjectOps* ops = ObjectOpsOf(c);
        if (ops && ops->imageListReleased) ops->imageListReleased(c, &l->hdr);
        if (c->kind == kKindPanel) TellUsers(c, l, depth + 1);
    }
}

uint32_t ImageListGetProp(ObjectRecord* rec, uint32_t id) {
    ImageListRecord* l = AsList(rec);
    switch (id) {
    case kPidBgColor: return rec->bgColor;
    case kPidResource: return l->resource;
    case kPidMaskColor: return rec->fgColor;
    case kPidUseMask: return l->useMask;
    case kPidImageSizeV: return l->height;
    case kPidImageSizeH: return l->width;
    case kPidImageColors: return l->depth;
    case kPidUseColorMask: return l->useColorMask;
    case kPidUrlSource: return static_cast<uint32_t>(CtlSetTextBuf(l->urlSource ? l->urlSource : "", l->urlSource ? static_cast<uint32_t>(strlen(l->urlSource)) : 0));
    default: return 0;
    }
}

int32_t ImageListSetProp(ObjectRecord* rec, PropChange* req) {
    ImageListRecord* l = AsList(rec);
    uint32_t v = static_cast<uint32_t>(req->value);
    switch (req->id) {
    case kPidBgColor:
        if (ColorValue(v, &rec->bgColor) && l->list) ImageList_SetBkColor(l->list, ColorValueResolve(rec->bgColor));
        return 0;
    case kPidMaskColor:
        if (!ColorValue(v, &rec->fgColor)) return 0;
        if (l->useColorMask && l->resource && l->list) {
            ImageList_Remove(l->list, -1);
            LoadResourceImages(l);
        }
        return 0;
    case kPidResource:
        l->resource = v;
        if (l->list) ImageList_Remove(l->list, -1);
        if (v) {
            LoadResourceImages(l);
            NotifyChange(l);
        }
        // The window's whole client area shows the new images, its child
        // controls' included.
        if (rec->parent) RedrawObjWindow(rec->parent);
        return 0;
    case kPidUseColorMask:
        l->useColorMask = v != 0;
        if (l->resource && l->list) {
            ImageList_Remove(l->list, -1);
            LoadResourceImages(l);
        }
        return 0;
    case kPidUseMask: l->useMask = v != 0; break;
    case kPidImageSizeV: l->height = v ? v : kDefaultSize; break;
    case kPidImageSizeH: l->width = v ? v : kDefaultSize; break;
    case kPidImageColors: l->depth = ImageColorsRound(req->value); break;
    case kPidUrlSource: {
        char* copy = CtlCopyText(req->text ? req->text : "", req->text ? req->textLength : 0);
        if (!copy) return kOpNoMemory;
        LocalFreeMem(l->urlSource);
        l->urlSource = copy;
        return 0;
    }
    default: return 0;
    }
    Rebuild(l);
    ImageListRepaintUsers(l);
    return 0;
}

const MethodDesc* ImageListMethodLookup(uint32_t method, uint32_t version) {
    static const uint8_t kKnown = 1;
    bool known = (method >= kImageListAddBmp && method <= kImageListLoadStdToolBitmap) ||
                 (method == kImageListWriteBmpFile && version >= kWriteVersion) ||
                 ((method == kImageListAddLoadImage || method == kImageListAddLoadIcon) && version >= kLoadVersion);
    return known ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

// A name argument as a new zero-terminated copy; null when not given, empty,
// or not usable as given (CallArgName: cut, it would name another file).
char* ArgName(const MethodCallRec* call, uint32_t i) {
    char name[MAX_PATH];
    int32_t len = CallArgName(call, i, name, sizeof name);
    return len > 0 ? CtlCopyText(name, static_cast<uint32_t>(len)) : nullptr;
}

HBITMAP ArgBitmap(const MethodCallRec* call, uint32_t i) {
    char* name = ArgName(call, i);
    HBITMAP bm = name ? LoadBitmapByName(name) : nullptr;
    LocalFreeMem(name);
    return bm;
}

HICON ArgIcon(const MethodCallRec* call, uint32_t i) {
    char* name = ArgName(call, i);
    HICON icon = name ? LoadIconByName(name) : nullptr;
    LocalFreeMem(name);
    return icon;
}

int32_t AddFromLibrary(ImageListRecord* l, const MethodCallRec* call, bool icon) {
    char* file = ArgName(call, 0);
    if (!file) return kLoadNoName;
    HMODULE lib = LoadLibraryA(file);
    LocalFreeMem(file);
    if (!lib) return kLoadNoLibrary;
    int32_t id = CtlArgInt(call, 1, 0);
    int32_t rc = kLoadOk;
    if (icon) {
        HICON ic = static_cast<HICON>(LoadImageA(lib, MAKEINTRESOURCEA(id), IMAGE_ICON, static_cast<int>(l->width),
                                                 static_cast<int>(l->height), LR_LOADMAP3DCOLORS));
        if (!ic) rc = kLoadNotFound;
        else if (ImageList_ReplaceIcon(l->list, -1, ic) < 0) rc = kLoadAddFailed;
        if (ic) DestroyIcon(ic);
    } else {
        HBITMAP bm = LoadBitmapA(lib, MAKEINTRESOURCEA(id));
        if (!bm) rc = kLoadNotFound;
        else if (ImageList_Add(l->list, bm, nullptr) < 0) rc = kLoadAddFailed;
        if (bm) DeleteObject(bm);
    }
    FreeLibrary(lib);
    return rc;
}

// The client's tool strip replaces the list: 16 x 16 images masked by 0xC0C0C0.
int32_t LoadStdTools(ImageListRecord* l) {
    HIMAGELIST tools = ImageList_LoadImageA(GetModuleHandleA(nullptr), kStdToolsName, kStdToolSize, 0, kDefaultMask,
                                            IMAGE_BITMAP, 0);
    if (!tools) return -1;
    l->hdr.fgColor = kDefaultMask;
    l->useMask = l->useColorMask = 1;
    l->width = l->height = kStdToolSize;
    HandOver(l, tools);
    return 0;
}

// The images in one row, the masked pixels painted in the mask colour, as a .BMP.
int32_t WriteStrip(ImageListRecord* l, const MethodCallRec* call) {
    char name[MAX_PATH];
    if (CallArgName(call, 0, name, sizeof name) == kCallArgNameRefused) return kDibWriteNoCreate;
    return ImageListWriteBmp(l->list, ColorValueResolve(l->hdr.fgColor), name);
}

int32_t ImageListMethodCall(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeImagelist, call);
    if (rc != 0) return rc;
    ImageListRecord* l = AsList(rec);
    if (!l->list) return kOpNotAvailable;
    int32_t result = 0;
    bool changes = true;
    switch (call->method) {
    case kImageListAddBmp: case kImageListAddBmpMasked: {
        HBITMAP bm = ArgBitmap(call, 0);
        HBITMAP mask = call->method == kImageListAddBmp && CtlArgGiven(call, 1) ? ArgBitmap(call, 1) : nullptr;
        if (!bm) result = -1;
        else if (call->method == kImageListAddBmpMasked) result = ImageList_AddMasked(l->list, bm, ColorValueResolve(rec->fgColor));
        else result = ImageList_Add(l->list, bm, mask);
        if (bm) DeleteObject(bm);
        if (mask) DeleteObject(mask);
        break;
    }
    case kImageListAddIcon: {
        HICON icon = ArgIcon(call, 0);
        result = icon ? ImageList_ReplaceIcon(l->list, -1, icon) : -1;
        if (icon) DestroyIcon(icon);
        break;
    }
    case kImageListGetImageCount: result = ImageList_GetImageCount(l->list); changes = false; break;
    case kImageListRemove: result = ImageList_Remove(l->list, CtlArgInt(call, 0, -2)) ? 1 : 0; break;
    case kImageListRemoveAll: result = ImageList_Remove(l->list, -1) ? 1 : 0; break;
    case kImageListReplaceBmp: {
        HBITMAP bm = ArgBitmap(call, 1);
        HBITMAP mask = CtlArgGiven(call, 2) ? ArgBitmap(call, 2) : nullptr;
        result = bm && ImageList_Replace(l->list, CtlArgInt(call, 0, -1), bm, mask) ? 1 : 0;
        if (bm) DeleteObject(bm);
        if (mask) DeleteObject(mask);
        break;
    }
    case kImageListReplaceIcon: {
        HICON icon = ArgIcon(call, 1);
        result = icon ? ImageList_ReplaceIcon(l->list, CtlArgInt(call, 0, -1), icon) : 0;
        if (result < 0) result = 0;
        if (icon) DestroyIcon(icon);
        break;
    }
    case kImageListAddLoadImage: result = AddFromLibrary(l, call, false); break;
    case kImageListAddLoadIcon: result = AddFromLibrary(l, call, true); break;
    case kImageListLoadStdToolBitmap: {
        int32_t loaded = LoadStdTools(l);
        if (loaded == 0) ImageListRepaintUsers(l);
        return CtlReplyInt(loaded);
    }
    case kImageListWriteBmpFile: return CtlReplyInt(WriteStrip(l, call));
    default: return kErrNoMethod;
    }
    if (changes) {
        NotifyChange(l);
        ImageListRepaintUsers(l);
    }
    return CtlReplyInt(result);
}

int32_t ImageListDestroySlot(ObjectRecord* rec) {
    ImageListRelease(rec, true);
    // A list its users still hold outlives the server's destroy, out of its
    // window's child list: it must not keep pointing at a window that may go
    // before the last user lets the list go (that user is then the last one
    // holding it, so nobody is left to tell).
    if (OnChain(rec)) rec->parent = nullptr;
    return 0;
}

const ObjectOps kImageListOps = {
    .destroy = ImageListDestroySlot,
    .getProp = ImageListGetProp,
    .setProp = ImageListSetProp,
    .method = ImageListMethodCall,
};

}  // namespace

void ImageListDestroyAll() {
    while (ImageListRecord* l = gImageListHead) {
        gImageListHead = l->nextList;
        l->nextList = nullptr;
        if (l->list) ImageList_Remove(l->list, -1);
        FreeList(l);
    }
}

ObjectRecord* ImageListCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // Image lists are the common controls' own: comctl32 is loaded first.
    if (!CommonControlsInit()) {
        *code = kOpNoMemory;
        return nullptr;
    }
    ObjectRecord* rec = ObjectAllocRecord(kKindImageList, sizeof(ImageListRecord), false);
    if (!rec) {
        *code = kOpNoMemory;
        return nullptr;
    }
    ImageListRecord* l = AsList(rec);
    rec->flags = kObjAlive;
    rec->ovar = cr->ovar;
    rec->objectId = cr->objectId;
    l->depth = ImageColorsRound(CreateRecordValue(cr, kPidImageColors, 0));
    int32_t w = CreateRecordValue(cr, kPidImageSizeH, 0), h = CreateRecordValue(cr, kPidImageSizeV, 0);
    l->width = w > 0 ? static_cast<uint32_t>(w) : kDefaultSize;
    l->height = h > 0 ? static_cast<uint32_t>(h) : kDefaultSize;
    l->useMask = CreateRecordValue(cr, kPidUseMask, 0) != 0;
    l->useColorMask = CreateRecordValue(cr, kPidUseColorMask, 0) != 0;
    int32_t mask = CreateRecordValue(cr, kPidMaskColor, -1);
    if (mask == -1 || !ColorValue(static_cast<uint32_t>(mask), &rec->fgColor)) rec->fgColor = kDefaultMask;
    if (cr->bgColor.value == -1 || !ColorValue(static_cast<uint32_t>(cr->bgColor.value), &rec->bgColor))
        rec->bgColor = kColorIndexFlag + COLOR_BTNFACE;
    l->resource = static_cast<uint32_t>(CreateRecordValue(cr, kPidResource, 0));
    if (cr->texts[kPidUrlSource].text) l->urlSource = CtlCopyText(cr->texts[kPidUrlSource].text, cr->texts[kPidUrlSource].length);
    l->list = Build(l);
    if (!l->list) {
        FreeList(l);
        *code = kOpNoObject;
        return nullptr;
    }
    // Its name and texts, so that a form save names the list again.
    if (!CopyCreateStrings(rec, cr)) {
        FreeList(l);
        *code = kOpNoMemory;
        return nullptr;
    }
    // The parent window first: a form's bitmaps are found through it.
    ObjectRecord* parent = cr->windowRec;
    rec->parent = parent;
    LoadResourceImages(l);
    l->nextList = gImageListHead;
    gImageListHead = l;
    if (parent) LinkObject(rec);
    *code = 0;
    return rec;
}

int32_t ImageListWriteBmp(HIMAGELIST list, COLORREF maskColour, const char* name) {
    if (!list) return kWriteNoList;
    IMAGEINFO ii = {};
    if (!ImageList_GetImageInfo(list, 0, &ii)) return kWriteNoInfo;
    int width = 0, height = 0;
    ImageList_GetIconSize(list, &width, &height);
    BITMAPINFOHEADER maskHeader = {};
    uint8_t* maskBits = nullptr;
    if (ii.hbmMask) {
        // The list keeps its bitmaps selected into its own DCs: a copy is read.
        auto copy = static_cast<HBITMAP>(CopyImage(ii.hbmMask, IMAGE_BITMAP, 0, 0, 0));
        int rc = copy ? ImageFromBitmap(copy, nullptr) : kImgAbsent;
        if (copy) DeleteObject(copy);
        if (rc != 0) return rc;
        maskHeader = gImageDecodeState.header;
        maskBits = gImageDecodeState.bits;
        gImageDecodeState.bits = nullptr;
    }
    int32_t rc = ImageFromBitmap(ii.hbmImage, nullptr);
    ImageDecodeState& st = gImageDecodeState;
    if (rc == 0 && maskBits &&
        !ApplyTransparentMask(static_cast<int32_t>(maskColour), &st.header, st.bits, &maskHeader, maskBits))
        rc = kWriteNoMask;
    LocalFreeMem(maskBits);
    BITMAPINFOHEADER stripHeader = {};
    uint8_t* stripBits = nullptr;
    if (rc == 0 && DibGridToStrip(&st.header, st.bits, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                  static_cast<uint32_t>(ImageList_GetImageCount(list)), &stripHeader, &stripBits) != 0)
        rc = kImgNoMemory;
    if (rc == 0 && (!name || !*name)) rc = kWriteNoName;
    if (rc == 0) {
        // The writer takes the header followed by its colours.
        uint32_t colours = stripHeader.biClrUsed < 256 ? stripHeader.biClrUsed : 256;
        auto* info = static_cast<uint8_t*>(LocalAllocZero(sizeof stripHeader + colours * sizeof(RGBQUAD)));
        if (!info) {
            rc = kImgNoMemory;
        } else {
            memcpy(info, &stripHeader, sizeof stripHeader);
            memcpy(info + sizeof stripHeader, st.colors, colours * sizeof(RGBQUAD));
            rc = DibWriteBmpFile(name, reinterpret_cast<BITMAPINFOHEADER*>(info), stripBits);
            LocalFreeMem(info);
        }
    }
    LocalFreeMem(stripBits);
    ImageClearState();
    return rc;
}

void ImageListRelease(ObjectRecord* rec, bool free) {
    if (!IsList(rec)) return;
    ImageListRecord* l = AsList(rec);
    if (l->useCount > 0) {
        l->useCount--;
        return;
    }
    // A user dropping its use while the users are told: the outer pass
    // unlinks and frees.
    if (l->releasing) return;
    l->releasing = true;
    if (rec->parent) TellUsers(rec->parent, l, 0);
    if (!OnChain(rec)) return;
    l->releasing = false;
    Unchain(l);
    if (free) FreeList(l);
}

bool ImageListRebuilding(ObjectRecord* rec) { return IsList(rec) && AsList(rec)->rebuilding; }

void ImageListTakeUse(ObjectRecord* rec) {
    if (IsList(rec)) AsList(rec)->useCount++;
}

HIMAGELIST ImageListHandle(ObjectRecord* rec) { return IsList(rec) ? AsList(rec)->list : nullptr; }

static void* ImageListHandleOf(ObjectRecord* rec) { return ImageListHandle(rec); }

void ImageListInstall() {
    RegisterObjectCreator(kTypeImagelist, ImageListCreate);
    RegisterObjectOps(kKindImageList, &kImageListOps);
    RegisterMethodTable(kTypeImagelist, ImageListMethodLookup);
    gGuiHooks.imageListTakeUse = ImageListTakeUse;
    gGuiHooks.imageListRelease = ImageListRelease;
    gGuiHooks.imageListHandle = ImageListHandleOf;
}
