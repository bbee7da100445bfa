// pictimage.cpp - the Win32 side of image loading for pictures: the hand-over
// of a decoded image into a picture, GDI palettes, GDI bitmaps converted to
// DIBs, bitmap resources (form, server, module) and the clipboard.
#include <cstring>

#include "graphics/image/bmp.h"
#include "graphics/gfxcommon.h"
#include "graphics/image/imageload.h"
#include "graphics/pict.h"
#include "session/session.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

PictResourceHooks gPictResourceHooks;

namespace {

constexpr WORD kPaletteVersion = 0x300;
constexpr uint32_t kMaskBytes = 12;      // three bit-field masks after the header
constexpr uint32_t kHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr uint32_t kMaxColours = 256;

uint32_t ColourCount(const BITMAPINFOHEADER& h) { return h.biClrUsed < kMaxColours ? h.biClrUsed : kMaxColours; }

// The picture's image parts, kept while a resource load may replace them.
struct PictImageParts {
    BITMAPINFO* dib;
    HPALETTE palette;
    uint8_t* bits;
    BITMAPINFO* viewInfo;
    uint8_t* viewBits;
    uint32_t viewZoom;
};

PictImageParts TakeParts(PictRecord* p) {
    PictImageParts parts = {p->dib, p->palette, p->bits, p->viewInfo, p->viewBits, p->viewZoom};
    p->spoolMemo = SpoolImageMemo{};
    p->dib = nullptr, p->palette = nullptr, p->bits = nullptr, p->viewInfo = nullptr, p->viewBits = nullptr;
    p->viewZoom = 0;
    return parts;
}

void PutParts(PictRecord* p, const PictImageParts& parts) {
    p->dib = parts.dib, p->palette = parts.palette, p->bits = parts.bits;
    p->viewInfo = parts.viewInfo, p->viewBits = parts.viewBits, p->viewZoom = parts.viewZoom;
}

void FreeParts(const PictImageParts& parts) {
    if (parts.palette) DeleteObject(parts.palette);
    LocalFreeMem(parts.dib);
    LocalFreeMem(parts.bits);
    LocalFreeMem(parts.viewInfo);
    LocalFreeMem(parts.viewBits);
}

// A module's RT_BITMAP resource read as a bare DIB.
int DecodeModuleBitmap(HMODULE module, uint32_t number) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(2));
    if (!found) return kImgAbsent;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, found);
    if (!data || !size) return kImgAbsent;
    gImageDecodeState.sourcePos = static_cast<const uint8_t*>(data);
    gImageDecodeState.sourceSize = size;
    int rc = BmpDecode(size);
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    return rc;
}

int LoadFromModule(uint32_t number) {
    HMODULE own = GetModuleHandleA(nullptr);
    if (DecodeModuleBitmap(own, number) == kImgOk) return kImgOk;
    HBITMAP bitmap = LoadBitmapA(own, MAKEINTRESOURCEA(number));
    if (!bitmap) return kImgAbsent;
    int rc = ImageFromBitmap(bitmap, nullptr);
    DeleteObject(bitmap);
    return rc;
}

// The form's resource, then the server's: kImgAbsent when neither has it.
int LoadFromFormOrServer(PictRecord* p, uint32_t number, const char* name) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ObjectRecord* top = p->hdr.parent;
    if (gPictResourceHooks.formResource &&
        gPictResourceHooks.formResource(top, kResKindBitmap, number, name, &data, &size)) {
        // Found with no data is refused rather than decoded.
        if (!data || !size) {
            LocalFreeMem(data);
            return kImgNoMemory;
        }
        int rc = ImageDecodeBlock(data, size, p);
        LocalFreeMem(data);
        return rc;
    }
    if (CacheFetchResource(name ? name : "", static_cast<uint8_t>(kResKindBitmap), 1, number, &data, &size) == 0 &&
        data) {
        int rc = ImageDecodeBlock(data, size, p);
        CacheFreeData(data);
        return rc;
    }
    return kImgAbsent;
}

}  // namespace

HPALETTE ImageMakePalette() {
    RGBQUAD colours[kMaxColours];
    int n = ImagePaletteColors(colours);
    if (n <= 0) return nullptr;
    auto* lp = static_cast<LOGPALETTE*>(LocalAllocZero(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY)));
    if (!lp) return nullptr;
    lp->palVersion = kPaletteVersion;
    lp->palNumEntries = static_cast<WORD>(n);
    for (int i = 0; i < n; i++) {
        lp->palPalEntry[i].peRed = colours[i].rgbRed;
        lp->palPalEntry[i].peGreen = colours[i].rgbGreen;
        lp->palPalEntry[i].peBlue = colours[i].rgbBlue;
        lp->palPalEntry[i].peFlags = 0;
    }
    HPALETTE pal = CreatePalette(lp);
    LocalFreeMem(lp);
    return pal;
}

int PictTakeDecodedImage(PictRecord* p) {
    ImageDecodeState& st = gImageDecodeState;
    const BITMAPINFOHEADER& h = st.header;
    if (!st.bits || h.biWidth <= 0 || h.biHeight == 0) {
        ImageClearState();
        return kImgInvalid;
    }
    uint32_t colours = ColourCount(h);
    uint32_t masks = h.biCompression == BI_BITFIELDS ? kMaskBytes : 0;
    // A bit-field image that declares colours too gets room for both.
    auto* info = static_cast<BITMAPINFO*>(LocalAllocZero(kHeaderBytes + masks + colours * sizeof(RGBQUAD)));
    if (!info) {
        ImageClearState();
        return kImgNoMemory;
    }
    memcpy(&info->bmiHeader, &h, kHeaderBytes);
    info->bmiHeader.biSize = kHeaderBytes;
    auto* tail = reinterpret_cast<uint8_t*>(info) + kHeaderBytes;
    if (masks) memcpy(tail, st.colors, kMaskBytes);
    memcpy(tail + masks, st.colors, colours * sizeof(RGBQUAD));
    HPALETTE palette = ImageMakePalette();
    PictFreeImage(p);
    p->dib = info;
    p->bits = st.bits;
    p->palette = palette;
    p->h.size = static_cast<uint32_t>(h.biWidth);
    p->v.size = static_cast<uint32_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight);
    st.bits = nullptr;
    st.palette = nullptr;
    return kImgOk;
}

void PictFreeImage(PictRecord* p) {
    FreeParts(TakeParts(p));
}

int ImageFromBitmap(HBITMAP bitmap, HPALETTE palette) {
    if (!palette) palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    BITMAP bm = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return kImgAbsent;
    if (bm.bmWidth <= 0 || bm.bmHeight <= 0) return kImgInvalid;
    uint32_t bitCount = static_cast<uint32_t>(bm.bmPlanes) * bm.bmBitsPixel;
    CheckedSize size = DibStride(static_cast<uint32_t>(bm.bmWidth), bitCount);
    size.Mul(static_cast<uint32_t>(bm.bmHeight));
    if (!size.Fits(gImageByteCap) || size.value == 0) return kImgInvalid;
    BITMAPINFOHEADER& h = gImageDecodeState.header;
    h = BITMAPINFOHEADER{};
    h.biSize = kHeaderBytes;
    h.biWidth = bm.bmWidth;
    h.biHeight = bm.bmHeight;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(size.value);
    if (bitCount <= 8) h.biClrUsed = h.biClrImportant = 1u << bitCount;
    HDC screen = GetDC(nullptr);
    HPALETTE old = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);
    int rc = kImgOk;
    auto* info = static_cast<BITMAPINFO*>(LocalAllocZero(kHeaderBytes + kMaskBytes + kMaxColours * sizeof(RGBQUAD)));
    if (!info || !ImageAllocBits(size.Size())) {
        rc = kImgNoMemory;
    } else {
        info->bmiHeader = h;
        if (!GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), gImageDecodeState.bits, info,
                       DIB_RGB_COLORS)) {
            ImageClearState();
            rc = kImgInvalid;
        } else {
            memcpy(gImageDecodeState.colors, info->bmiColors, kMaxColours * sizeof(RGBQUAD));
        }
    }
    LocalFreeMem(info);
    SelectPalette(screen, old, FALSE);
    ReleaseDC(nullptr, screen);
    return rc;
}

int ImageLoadFromResource(PictRecord* p, uint32_t number) {
    ImageClearState();
    PictImageParts old = TakeParts(p);
    int rc = LoadFromFormOrServer(p, number, nullptr);
    if (rc == kImgAbsent) rc = LoadFromModule(number);
    if (rc == kImgOk) rc = PictTakeDecodedImage(p);
    if (rc != kImgOk) {
        ImageClearState();
        PictFreeImage(p);
        PutParts(p, old);
        return rc;
    }
    p->resource = number;
    FreeParts(old);
    return kImgOk;
}

int ImageLoadNamedResource(PictRecord* p, const char* name) {
    ImageClearState();
    int rc = LoadFromFormOrServer(p, 0, name);
    return rc == kImgOk ? PictTakeDecodedImage(p) : rc;
}

int ImageLoadFromClipboard(PictRecord* p) {
    ImageClearState();
    if (!OpenClipboard(GfxContainerWindow(&p->hdr))) return kImgAbsent;
    if (IsClipboardFormatAvailable(CF_DIB)) {
        HGLOBAL dib = GetClipboardData(CF_DIB);
        if (!dib) {
            CloseClipboard();
            return kImgAbsent;
        }
        HGLOBAL copy = DupGlobalMem(dib);
        if (!copy) {
            CloseClipboard();
            return kImgNoMemory;
        }
        const auto* data = static_cast<const uint8_t*>(GlobalLock(copy));
        SIZE_T size = GlobalSize(copy);
        ByteReader r(data, data ? size : 0);
        uint32_t compression = 1;
        // Only an uncompressed DIB is read here; run-length data falls back to CF_BITMAP.
        if (r.U32At(16, &compression) && compression == BI_RGB) {
            gImageDecodeState.sourcePos = data;
            gImageDecodeState.sourceSize = static_cast<uint32_t>(size);
            int rc = BmpDecodeUnsized();
            gImageDecodeState.sourcePos = nullptr;
            gImageDecodeState.sourceSize = 0;
            if (rc == kImgOk) {
                CloseClipboard();
                GlobalUnlock(copy);
                GlobalFree(copy);
                return PictTakeDecodedImage(p);
            }
        }
        if (data) GlobalUnlock(copy);
        GlobalFree(copy);
    }
    if (IsClipboardFormatAvailable(CF_BITMAP)) {
        auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
        HPALETTE palette = IsClipboardFormatAvailable(CF_PALETTE) ? static_cast<HPALETTE>(GetClipboardData(CF_PALETTE))
                                                                   : nullptr;
        int rc = ImageFromBitmap(bitmap, palette);
        CloseClipboard();
        return rc == kImgOk ? PictTakeDecodedImage(p) : rc;
    }
    CloseClipboard();
    return kImgAbsent;
}
