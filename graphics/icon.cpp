// icon.cpp - the Icon object (kind 7): one Windows icon painted into its
// parent's window, loaded from a client or server .ICO file, from an icon
// resource (the form's, the server's, the program's own) or from bytes
// through a temporary file.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/gfxcommon.h"
#include "graphics/graphics.h"
#include "graphics/image/imageload.h"
#include "graphics/pict.h"
#include "objects/color.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/session.h"
#include "session/util/mem.h"

namespace {

constexpr int32_t kIconSize = 32;
constexpr uint32_t kSmallFirst = 11000, kSmallLast = 11500;
constexpr uint32_t kFallbackIcon = 10131;
constexpr uint32_t kOwnBackground = 0x80000;
constexpr int kTempNames = 10000;             // "~TIC0000.ICO" to "~TIC9999.ICO"
constexpr size_t kPathMax = MAX_PATH;
// An icon in the main text window covers 5 character cells by 3 lines.
constexpr int32_t kIconCellsWide = 5, kIconCellsHigh = 3;
// Where an icon of an automation picture is placed until the program moves it.
constexpr int32_t kBareIconOrigin = 1000;

struct IconRecord {
    ObjectRecord hdr;
    uint32_t resource;
    HICON icon;
    uint32_t imageIndex;         // 1-based; 0 none
    ObjectRecord* list;          // the image list it holds one use of
    char* altText;
    char* urlSource;
};

IconRecord* AsIcon(ObjectRecord* rec) { return reinterpret_cast<IconRecord*>(rec); }

// Icons load in the three-dimensional look (grey shades mapped to the 3D system
// colours) when the client's option asks for it and the icon's Appearance is 1.
bool ThreeDLook(const IconRecord* ic) { return gGuiOption2039 != 0 && (ic->hdr.flags & kObj3D); }

// The temporary folder: TMP, else TEMP, else the current folder, with a
// trailing backslash. False when it does not fit.
bool TempFolder(char* out, size_t size) {
    const char* dir = getenv("TMP");
    if (!dir || !*dir) dir = getenv("TEMP");
    char cwd[kPathMax];
    if (!dir || !*dir) {
        if (!GetCurrentDirectoryA(sizeof cwd, cwd)) return false;
        dir = cwd;
    }
    size_t len = strlen(dir);
    bool slash = len && (dir[len - 1] == '\\' || dir[len - 1] == '/');
    int n = snprintf(out, size, "%s%s", dir, slash ? "" : "\\");
    return n > 0 && static_cast<size_t>(n) < size;
}

// Replaces the icon; the rectangle becomes size x size.
void TakeIcon(IconRecord* ic, HICON icon, uint32_t resource) {
    if (ic->icon) DestroyIcon(ic->icon);
    ic->icon = icon;
    ic->resource = resource;
    ObjectRecord* rec = &ic->hdr;
    rec->right = rec->left + kIconSize;
    rec->bottom = rec->top + kIconSize;
}

HICON LoadModuleIcon(uint32_t number, bool small, bool threeD) {
    HMODULE own = GetModuleHandleA(nullptr);
    if (small)
        return static_cast<HICON>(LoadImageA(own, MAKEINTRESOURCEA(number), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
    if (threeD)
        return static_cast<HICON>(LoadImageA(own, MAKEINTRESOURCEA(number), IMAGE_ICON, kIconSize, kIconSize,
                                             LR_LOADMAP3DCOLORS));
    return LoadIconA(own, MAKEINTRESOURCEA(number));
}

// The list's image at the index; the rectangle takes the list's image size.
// False (nothing changes) when the list gives no icon.
bool IconFromImageList(IconRecord* ic) {
    HIMAGELIST list = ImageListHandle(ic->list);
    if (!list || ic->imageIndex == 0) return false;
    HICON icon = ImageList_GetIcon(list, static_cast<int>(ic->imageIndex - 1), ILD_NORMAL);
    if (!icon) return false;
    int w = kIconSize, h = kIconSize;
    ImageList_GetIconSize(list, &w, &h);
    TakeIcon(ic, icon, 0);
    ic->hdr.right = ic->hdr.left + w;
    ic->hdr.bottom = ic->hdr.top + h;
    return true;
}

void DropList(IconRecord* ic) {
    ObjectRecord* list = ic->list;
    ic->list = nullptr;
    if (list) ImageListRelease(list, true);
}

// The list goes away: the icon keeps the image it shows and forgets the
// list. A rebuilt list gives the icon its image again.
int32_t IconOnImageListReleased(ObjectRecord* rec, ObjectRecord* list) {
    IconRecord* ic = AsIcon(rec);
    if (ic->list != list) return 0;
    if (ImageListRebuilding(list)) {
        if (IconFromImageList(ic)) GfxRedrawIfShown(rec, true);
        return 0;
    }
    ic->list = nullptr;
    ic->imageIndex = 0;
    ImageListRelease(list, false);
    return 0;
}

uint32_t IconGetProp(ObjectRecord* rec, uint32_t id) {
    IconRecord* ic = AsIcon(rec);
    switch (id) {
    case kPidResource: return ic->resource;
    case kPidImageIndex: return ic->imageIndex;
    case kPidImageList: return ic->list ? ic->list->handle : 0;
    case kPidAltText: return static_cast<uint32_t>(CtlSetTextBuf(ic->altText ? ic->altText : "", ic->altText ? static_cast<uint32_t>(strlen(ic->altText)) : 0));
    case kPidUrlSource: return static_cast<uint32_t>(CtlSetTextBuf(ic->urlSource ? ic->urlSource : "", ic->urlSource ? static_cast<uint32_t>(strlen(ic->urlSource)) : 0));
    default: return CtlGetCommonProp(rec, id);
    }
}

}  // namespace

// An icon taken out of a file by shell32, which is loaded first: no icon when
// it cannot be (no memory left for it).
static HICON ExtractFileIcon(const char* file, bool small) {
    if (!SysLibNeed(kSysLibShell)) return nullptr;
    HICON icon = nullptr;
    if (small) {
        ExtractIconExA(file, 0, nullptr, &icon, 1);
        return icon;
    }
    icon = ExtractIconA(GetModuleHandleA(nullptr), file, 0);
    return icon == reinterpret_cast<HICON>(1) ? nullptr : icon;   // 1: the file holds no icon
}

HICON IconLoadFromData(const uint8_t* data, uint32_t size, bool threeD, bool small) {
    char path[kPathMax];
    if (!data || !size || !TempFolder(path, sizeof path)) return nullptr;
    size_t base = strlen(path);
    HANDLE file = INVALID_HANDLE_VALUE;
    // The first free name; the search ends after the last four-digit name.
    for (int n = 0; n < kTempNames && file == INVALID_HANDLE_VALUE; n++) {
        if (snprintf(path + base, sizeof path - base, "~TIC%04d.ICO", n) >= static_cast<int>(sizeof path - base))
            return nullptr;
        file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return nullptr;
    }
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD wrote = 0;
    bool ok = WriteFile(file, data, size, &wrote, nullptr) && wrote == size;
    CloseHandle(file);
    HICON icon = nullptr;
    if (ok) {
        if (small) icon = ExtractFileIcon(path, true);
        else
            icon = static_cast<HICON>(LoadImageA(nullptr, path, IMAGE_ICON, kIconSize, kIconSize,
                                                 LR_LOADFROMFILE | (threeD ? LR_LOADMAP3DCOLORS : 0)));
    }
    DeleteFileA(path);
    return icon;
}

namespace {

// A name: '<' small (when asked), '?' / '*' fetch modes, '!' a client file,
// else a server file. False when no icon came; the old one stays.
bool IconLoadByName(IconRecord* ic, const char* name, bool allowSmall) {
    bool small = false;
    if (allowSmall && *name == '<') small = true, name++;
    int mode = 0;
    if (*name == '?') mode = 1, name++;
    else if (*name == '*') mode = 2, name++;
    HICON icon = nullptr;
    if (*name == '!') {
        const char* file = name + 1;
        if (ThreeDLook(ic) && !small)
            icon = static_cast<HICON>(LoadImageA(nullptr, file, IMAGE_ICON, kIconSize, kIconSize,
                                                 LR_LOADFROMFILE | LR_LOADMAP3DCOLORS));
        else
            icon = ExtractFileIcon(file, small);
    } else {
        uint32_t size = static_cast<uint32_t>(strlen(name));
        const uint8_t* data = nullptr;
        uint32_t pages = 0;
        if (gImageLoadHooks.fetch(&size, name, &data, 1, &pages, mode)) {
            icon = IconLoadFromData(data, size, ThreeDLook(ic), small);
            gImageLoadHooks.freeData(data);
        }
    }
    if (!icon) return false;
    TakeIcon(ic, icon, 0);
    ic->imageIndex = 0;
    return true;
}

bool IconLoadResource(IconRecord* ic, uint32_t number) {
    bool small = number >= kSmallFirst && number <= kSmallLast;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    HICON icon = nullptr;
    if (gPictResourceHooks.formResource &&
        gPictResourceHooks.formResource(ic->hdr.parent, kResKindIcon, number, nullptr, &data, &size)) {
        if (data && size) icon = IconLoadFromData(data, size, ThreeDLook(ic), small);
        LocalFreeMem(data);
    } else if (CacheFetchResource("", static_cast<uint8_t>(kResKindIcon), 1, number, &data, &size) == 0 && data) {
        icon = IconLoadFromData(data, size, ThreeDLook(ic), small);
        CacheFreeData(data);
    } else {
        icon = LoadModuleIcon(number, small, ThreeDLook(ic));
    }
    if (!icon) return false;
    TakeIcon(ic, icon, number);
    return true;
}

int32_t IconPaint(ObjectRecord* rec, void* dcArg, int32_t) {
    IconRecord* ic = AsIcon(rec);
    ObjectDCState st;
    RECT r;
    HDC dc = GfxObjectDC(rec, dcArg, &st, &r);
    if (!dc) return 0;
    if (rec->flags & kOwnBackground) {
        HBRUSH bg = BrushCacheGet(rec->bgColor, kBrushSolid, true);
        if (bg) {
            FillRect(dc, &r, bg);
            BrushCacheRelease(bg);
        }
    }
    HIMAGELIST list = ImageListHandle(ic->list);
    if (list && ic->imageIndex) ImageList_Draw(list, static_cast<int>(ic->imageIndex - 1), dc, r.left, r.top, ILD_NORMAL);
    else if (ic->icon) DrawIcon(dc, r.left, r.top, ic->icon);
    ReleaseObjectDC(&st);
    return 0;
}

int32_t IconDestroy(ObjectRecord* rec) {
    IconRecord* ic = AsIcon(rec);
    LocalFreeMem(ic->altText);
    LocalFreeMem(ic->urlSource);
    DropList(ic);
    if (ic->icon) DestroyIcon(ic->icon);
    ic->icon = nullptr, ic->altText = nullptr, ic->urlSource = nullptr;
    return ObjectDestroyWindowless(rec);
}

int32_t IconSetProp(ObjectRecord* rec, PropChange* req) {
    IconRecord* ic = AsIcon(rec);
    switch (req->id) {
    case kPidResource:
        // A failed load keeps the icon and its number.
        if (!IconLoadResource(ic, static_cast<uint32_t>(req->value))) return kOpNoObject;
        break;
    case kPidImageIndex:
        if (req->value <= 0) return 0;
        ic->imageIndex = static_cast<uint32_t>(req->value);
        IconFromImageList(ic);
        break;
    case kPidImageList: {
        ObjectRecord* list = req->object ? req->object : ObjectFromHandle(static_cast<uint32_t>(req->value));
        if (req->value == 0) list = nullptr;
        else if (!list || list->kind != kKindImageList) return kOpNoObject;
        if (list == ic->list) return 0;
        DropList(ic);
        if (list) {
            ImageListTakeUse(list);
            ic->list = list;
            IconFromImageList(ic);
        }
        break;
    }
    case kPidAppearance: {
        // The look changes the loaded image: a resource icon loads again in it.
        int32_t rc = GfxSetCommonProp(rec, req);
        if (rc == 0 && ic->resource) IconLoadResource(ic, ic->resource);
        break;
    }
    case kPidAltText: return CtlReplaceText(&ic->altText, req->text, req->textLength) ? 0 : kOpNoMemory;
    case kPidUrlSource: return CtlReplaceText(&ic->urlSource, req->text, req->textLength) ? 0 : kOpNoMemory;
    default: return GfxSetCommonProp(rec, req);
    }
    GfxRedrawIfShown(rec, true);
    return 0;
}

const ObjectOps kIconOps = {
    .show = ObjectShowWindowless,
    .hide = ObjectHideWindowless,
    .destroy = IconDestroy,
    .paint = IconPaint,
    .getProp = IconGetProp,
    .setProp = IconSetProp,
    .imageListReleased = IconOnImageListReleased,
};

}  // namespace

ObjectRecord* IconCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // In the main text window the rectangle's top and left are a row and a
    // column, both counted from 1.
    int32_t row = cr->top, column = cr->left;
    ObjectRecord* rec = GfxCreateWindowless(kKindIcon, sizeof(IconRecord), cr, code);
    if (!rec) return nullptr;
    IconRecord* ic = AsIcon(rec);
    if (rec->parent && rec->parent == gMainWindowP) {
        if (row == 0 || column == 0) {
            GfxFreeRecord(rec);
            *code = kOpBadRect;
            return nullptr;
        }
        rec->left = (column - 1) * kCellWidth;
        rec->top = (row - 1) * kCellHeight;
        rec->right = rec->left + kIconCellsWide * kCellWidth;
        rec->bottom = rec->top + kIconCellsHigh * kCellHeight;
    } else {
        rec->right = rec->left + kIconSize;
        rec->bottom = rec->top + kIconSize;
    }
    int32_t index = CreateRecordValue(cr, kPidImageIndex, 0);
    ic->imageIndex = index > 0 ? static_cast<uint32_t>(index) : 0;
    if (cr->texts[kPidAltText].text) ic->altText = CtlCopyText(cr->texts[kPidAltText].text, cr->texts[kPidAltText].length);
    if (cr->texts[kPidUrlSource].text) ic->urlSource = CtlCopyText(cr->texts[kPidUrlSource].text, cr->texts[kPidUrlSource].length);
    // An image list in the creation is taken (one use); with an index it
    // gives the image.
    if (cr->given[kPidImageList]) {
        ObjectRecord* list = ObjectFromHandle(static_cast<uint32_t>(cr->values[kPidImageList]));
        if (list && list->kind == kKindImageList) {
            ImageListTakeUse(list);
            ic->list = list;
        }
    }
    const CrText& name = cr->texts[kPidPicture];
    bool loaded = false;
    if (ic->list && ic->imageIndex) {
        loaded = IconFromImageList(ic);
    } else if (name.text && name.length) {
        char* copy = ImageNameIsWhole(name.text, name.length) ? CtlCopyText(name.text, name.length) : nullptr;
        loaded = copy && IconLoadByName(ic, copy, false);
        LocalFreeMem(copy);
    } else {
        loaded = IconLoadResource(ic, static_cast<uint32_t>(CreateRecordValue(cr, kPidResource, 0)));
    }
    if (!loaded && gGuiOption2039 == 1) loaded = IconLoadResource(ic, kFallbackIcon);
    if (!loaded) {
        IconDestroy(rec);
        *code = kOpNoObject;
        return nullptr;
    }
    return GfxFinishCreate(rec, cr, code);
}

HICON LoadIconByName(const char* name) {
    if (!name || !*name) return nullptr;
    // A temporary icon record that is never linked; it gives its icon away.
    auto* ic = static_cast<IconRecord*>(LocalAllocZero(sizeof(IconRecord)));
    if (!ic) return nullptr;
    ic->hdr.kind = kKindIcon;
    HICON icon = IconLoadByName(ic, name, true) ? ic->icon : nullptr;
    LocalFreeMem(ic);
    return icon;
}

ObjectRecord* IconCreateFromHandle(HICON icon, ObjectRecord* parent, int32_t* code) {
    *code = kOpNoMemory;
    ObjectRecord* rec = ObjectAllocRecord(kKindIcon, sizeof(IconRecord), false);
    if (!rec) return nullptr;
    rec->flags |= kGfxWindowless;
    rec->parent = parent;
    rec->left = rec->top = kBareIconOrigin;
    rec->right = rec->bottom = kBareIconOrigin + kIconSize;
    // The icon stays the caller's: the record shows a copy. A copy that
    // cannot be made leaves an icon that shows nothing.
    AsIcon(rec)->icon = icon ? CopyIcon(icon) : nullptr;
    if (parent) LinkObject(rec);
    *code = 0;
    return rec;
}

// An icon stretched by its anchor keeps its 32 pixels on each axis, centred
// in the room the anchor gives it; an icon is never drawn larger.
void IconRescale(ObjectRecord*, RECT* r) {
    if (r->bottom - r->top > kIconSize) {
        r->top += (r->bottom - r->top - kIconSize) / 2;
        r->bottom = r->top + kIconSize;
    }
    if (r->right - r->left > kIconSize) {
        r->left += (r->right - r->left - kIconSize) / 2;
        r->right = r->left + kIconSize;
    }
}

HICON IconOf(ObjectRecord* rec) {
    return rec && rec->kind == kKindIcon && ObjectIsLive(rec) ? AsIcon(rec)->icon : nullptr;
}

void IconInstall() {
    RegisterObjectCreator(kTypeIcon, IconCreate);
    RegisterObjectOps(kKindIcon, &kIconOps);
    RegisterKindAnchor(kKindIcon, IconRescale);
}
