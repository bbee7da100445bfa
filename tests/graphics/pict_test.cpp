// pict_test.cpp - the picture object under Wine: images written by the test
// as .BMP files (and put on the clipboard) loaded into pictures, painted into
// a memory DC and compared pixel by pixel with the pixels written; zoom and
// position limits, own scroll bars, turns, stacking, the grey view of 1-bit
// pages, WriteBmpFile read back, failed loads that keep the old image.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "graphics/image/dibutil.h"
#include "graphics/pict.h"
#include <commctrl.h>

#include "objects/crstream.h"
#include "session/util/mem.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "session/proto/protocol.h"
#include "session/proto/records.h"
#include "session/config.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

namespace {

constexpr uint32_t kScale = 69, kPosH = 70, kPosV = 71, kResource = 87, kSizeH = 97, kSizeV = 98, kNoResize = 22;
constexpr uint32_t kPicture = 122;

COLORREF Pattern(uint32_t x, uint32_t y) { return RGB((x * 3) % 256, (y * 5) % 256, (x + y) % 256); }

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

// Writes bytes as a file of the temporary folder; its path, empty when it
// cannot be written.
std::string WriteTemp(const char* name, const std::vector<uint8_t>& bytes) {
    std::string path = TempPath(name);
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp) return std::string();
    bool ok = fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return fclose(fp) == 0 && ok ? path : std::string();
}

// A 24-bit .BMP whose pixel (x, y), counted from the top, is colour(x, y).
std::string WriteBmp24(const char* name, uint32_t w, uint32_t h, const std::function<COLORREF(uint32_t, uint32_t)>& colour) {
    BITMAPINFOHEADER hdr = {};
    hdr.biSize = 40, hdr.biWidth = LONG(w), hdr.biHeight = LONG(h), hdr.biPlanes = 1, hdr.biBitCount = 24;
    size_t stride = ((w * 24 + 31) / 32) * 4;
    std::vector<uint8_t> bits(stride * h);
    hdr.biSizeImage = DWORD(bits.size());
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* p = &bits[(h - 1 - y) * stride + x * 3];
            COLORREF c = colour(x, y);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    std::string path = TempPath(name);
    EXPECT_EQ(0, DibWriteBmpFile(path.c_str(), &hdr, bits.data()));
    return path;
}

// A 1-bit .BMP, black (index 0) and white (index 1), set(x, y) white; with
// setIsBlack the colours swap, as on a fax page whose set bits are the ink.
std::string WriteBmp1(const char* name, uint32_t w, uint32_t h, const std::function<bool(uint32_t, uint32_t)>& set,
                      bool setIsBlack = false) {
    std::vector<uint8_t> head(40 + 8);
    auto* hdr = reinterpret_cast<BITMAPINFOHEADER*>(head.data());
    hdr->biSize = 40, hdr->biWidth = LONG(w), hdr->biHeight = LONG(h), hdr->biPlanes = 1, hdr->biBitCount = 1;
    hdr->biClrUsed = 2;
    RGBQUAD white = {255, 255, 255, 0};
    memcpy(head.data() + (setIsBlack ? 40 : 44), &white, 4);
    size_t stride = ((w + 31) / 32) * 4;
    std::vector<uint8_t> bits(stride * h);
    hdr->biSizeImage = DWORD(bits.size());
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++)
            if (set(x, y)) bits[(h - 1 - y) * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
    std::string path = TempPath(name);
    EXPECT_EQ(0, DibWriteBmpFile(path.c_str(), hdr, bits.data()));
    return path;
}

class PictTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GuiInstallHooks();
        ControlsInstall();
        GraphicsInstall();
        RuntimeStartup();
        ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
    }
    void SetUp() override {
        CreateRecordReset(&cr_);
        cr_.winType = kWinNormal;
        cr_.width = 400, cr_.height = 300, cr_.right = 400, cr_.bottom = 300;
        cr_.units = kUnitsPixels;
        int32_t code = 0;
        win_ = WindowObjectCreate(nullptr, &cr_, &code);
        ASSERT_NE(nullptr, win_) << code;
        ObjectActivate(win_, 0, 0, 0, 0);
    }
    void TearDown() override { ObjectDestroy(win_); }
    // A picture of the window showing the file at path (a client path).
    ObjectRecord* MakePict(const std::string& path, int32_t left, int32_t top, int32_t width, int32_t height,
                           int32_t* code = nullptr, bool fixed = true,
                           const std::function<void(ObjectCreateRecord*)>& extra = nullptr) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = left, cr_.top = top, cr_.width = width, cr_.height = height;
        cr_.flags0 |= kCrVisible;
        name_ = "!" + path;
        if (!path.empty()) cr_.texts[kPicture] = CrText{name_.c_str(), uint32_t(name_.size())};
        if (fixed) cr_.values[kNoResize] = 1, cr_.given[kNoResize] = 1;
        cr_.bgColor.value = RGB(0, 255, 0);
        if (extra) extra(&cr_);
        int32_t c = 0;
        ObjectRecord* rec = ObjectCreate(kTypePict, &cr_, &c);
        if (code) *code = c;
        if (rec) rec->bgColor = RGB(0, 255, 0);
        return rec;
    }
    static uint32_t Prop(ObjectRecord* rec, uint32_t id) { return ObjectOpsOf(rec)->getProp(rec, id); }
    static int32_t SetProp(ObjectRecord* rec, uint32_t id, int32_t v) {
        PropChange req = {};
        req.id = id;
        req.value = v;
        return ObjectOpsOf(rec)->setProp(rec, &req);
    }
    static int32_t Call(ObjectRecord* rec, uint32_t method, std::vector<int32_t> args, const char* text = nullptr) {
        MethodCallRec call = {};
        call.method = method;
        call.noCheck = 1;
        call.result.kind = kItemInt;
        call.result.varRef = 501;
        MethodCallArgs(&call, text, args);
        return InvokeForReply(rec, &call);
    }
    static void Paint(ObjectRecord* rec, MemCanvas& canvas) { ObjectOpsOf(rec)->paint(rec, canvas.dc, 0); }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    std::string name_;
};

TEST_F(PictTest, PaintsTheDecodedPixelsWithBgColorAroundASmallerImage) {
    std::string path = WriteBmp24("qovpict_a.bmp", 40, 30, Pattern);
    ObjectRecord* p = MakePict(path, 10, 10, 100, 80);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(40u, Prop(p, kSizeH));
    EXPECT_EQ(30u, Prop(p, kSizeV));
    EXPECT_EQ(100u, Prop(p, kScale)) << "NoResize: 100 %";
    MemCanvas canvas(200, 200);
    Paint(p, canvas);
    for (uint32_t y = 0; y < 30; y += 3)
        for (uint32_t x = 0; x < 40; x += 3) ASSERT_EQ(Pattern(x, y), canvas.At(10 + x, 10 + y)) << x << "," << y;
    EXPECT_EQ(RGB(0, 255, 0), canvas.At(10 + 45, 10 + 5)) << "BgColor right of the image";
    EXPECT_EQ(RGB(0, 255, 0), canvas.At(10 + 5, 10 + 35)) << "BgColor below the image";
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(5, 5)) << "nothing outside the rectangle";
    ObjectDestroy(p);
}

TEST_F(PictTest, ScaleAndPositionLimitsAndOwnBars) {
    std::string path = WriteBmp24("qovpict_b.bmp", 400, 300, Pattern);
    CreateRecordReset(&cr_);
    ObjectRecord* p = MakePict(path, 0, 0, 100, 80);
    ASSERT_NE(nullptr, p);
    struct Case { int32_t scale; uint32_t expect; const char* why; };
    const Case cases[] = {{0, 1, "0 becomes 1"}, {7000, 6500, "above 6500 is 6500"}, {250, 250, "kept"}};
    for (const Case& c : cases) {
        SetProp(p, kScale, c.scale);
        EXPECT_EQ(c.expect, Prop(p, kScale)) << c.why;
    }
    SetProp(p, kScale, 100);
    SetProp(p, kPosH, 1000);
    EXPECT_EQ(300u, Prop(p, kPosH)) << "above the range stores the range";
    SetProp(p, kPosV, 7);
    MemCanvas canvas(200, 200);
    Paint(p, canvas);
    EXPECT_EQ(Pattern(300, 7), canvas.At(0, 0)) << "the image pixel at the positions shows top-left";
    EXPECT_EQ(Pattern(350, 57), canvas.At(50, 50));

    EXPECT_EQ(0, SetProp(p, 57, 1)) << "own scroll bars";
    EXPECT_EQ(1u, Prop(p, 57));
    auto* rec = reinterpret_cast<PictRecord*>(p);
    ASSERT_NE(nullptr, rec->hBar);
    ASSERT_NE(nullptr, rec->vBar);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(rec->hBar, SB_CTL, &si));
    EXPECT_EQ(int(rec->h.range), si.nMax) << "the bar's range is the picture's";
    EXPECT_EQ(int(rec->h.pos), si.nPos);
    uint32_t before = rec->v.pos;
    SendMessageA(GetParent(rec->vBar), WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(rec->vBar));
    EXPECT_EQ(before + 1, Prop(p, kPosV)) << "a line down through the window's scroll routing";
    SendMessageA(GetParent(rec->vBar), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(rec->vBar));
    EXPECT_EQ(rec->v.range, Prop(p, kPosV));
    EXPECT_EQ(0, SetProp(p, 57, 3));
    EXPECT_EQ(3u, Prop(p, 57)) << "no own bars";
    ObjectDestroy(p);
}

TEST_F(PictTest, RotateTurnsThePaintedImage) {
    const uint32_t w = 13, h = 5;
    std::string path = WriteBmp24("qovpict_c.bmp", w, h, Pattern);
    struct Case { int32_t degrees; int32_t result; uint32_t sizeH; uint32_t ox, oy; const char* why; };
    // (ox, oy): the old pixel that shows at the new top-left.
    const Case cases[] = {
        {90, 1, h, 0, h - 1, "clockwise: the old bottom-left comes to the top-left"},
        {450, 1, h, 0, h - 1, "450 is a quarter turn"},
        {180, 1, w, w - 1, h - 1, "a half turn"},
        {270, 1, h, w - 1, 0, "counter-clockwise"},
        {300, 1, w, 0, 0, "271..359 nothing, result 1"},
    };
    for (const Case& c : cases) {
        ObjectRecord* p = MakePict(path, 0, 0, 50, 50);
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(c.result, Call(p, 2, {c.degrees})) << c.why;
        EXPECT_EQ(c.sizeH, Prop(p, kSizeH)) << c.why;
        MemCanvas canvas(60, 60);
        Paint(p, canvas);
        EXPECT_EQ(Pattern(c.ox, c.oy), canvas.At(0, 0)) << c.why;
        ObjectDestroy(p);
    }
}

TEST_F(PictTest, RotateRefusesRunLengthData) {
    // A 4 x 2 RLE8 bitmap: one run of 4 per row.
    std::vector<uint8_t> f(14 + 40 + 8 + 8);
    auto* hdr = reinterpret_cast<BITMAPINFOHEADER*>(&f[14]);
    f[0] = 'B', f[1] = 'M';
    uint32_t size = uint32_t(f.size()), off = 14 + 40 + 8;
    memcpy(&f[2], &size, 4);
    memcpy(&f[10], &off, 4);
    hdr->biSize = 40, hdr->biWidth = 4, hdr->biHeight = 2, hdr->biPlanes = 1, hdr->biBitCount = 8;
    hdr->biCompression = BI_RLE8, hdr->biClrUsed = 2;
    const uint8_t runs[] = {4, 1, 0, 0, 4, 1, 0, 1};
    memcpy(&f[off], runs, sizeof runs);
    std::string path = WriteTemp("qovpict_rle.bmp", f);
    ASSERT_FALSE(path.empty());
    ObjectRecord* p = MakePict(path, 0, 0, 50, 50);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, Call(p, 2, {90})) << "compressed bytes are not turned";
    EXPECT_EQ(4u, Prop(p, kSizeH)) << "nothing changed";
    EXPECT_EQ(0, Call(p, 2, {180}));
    ObjectDestroy(p);
}

TEST_F(PictTest, WriteBmpFileReadsBackAndEmptyNameAnswers1) {
    std::string path = WriteBmp24("qovpict_d.bmp", 21, 9, Pattern);
    ObjectRecord* p = MakePict(path, 0, 0, 50, 50);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(1, Call(p, 2, {90}));
    std::string out = TempPath("qovpict_out.bmp");
    EXPECT_EQ(0, Call(p, 7, {}, out.c_str()));
    EXPECT_EQ(1, Call(p, 7, {}, "")) << "an empty name";
    EXPECT_EQ(kErrNoMethod, Call(p, 8, {})) << "no method 8";
    ObjectRecord* q = MakePict(out, 60, 0, 50, 50);   // beside it: the same rectangle would stack
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(9u, Prop(q, kSizeH));
    EXPECT_EQ(21u, Prop(q, kSizeV));
    MemCanvas a(120, 60), b(120, 60);
    Paint(p, a);
    Paint(q, b);
    for (int y = 0; y < 21; y++)
        for (int x = 0; x < 9; x++) ASSERT_EQ(a.At(x, y), b.At(60 + x, y)) << x << "," << y;
    ObjectDestroy(q);
    ObjectDestroy(p);
}

TEST_F(PictTest, StackedPicturesAreAndedAndTheBaseRoleMoves) {
    std::string pa = WriteBmp24("qovpict_e.bmp", 20, 20, [](uint32_t, uint32_t) { return RGB(255, 0, 255); });
    std::string pb = WriteBmp24("qovpict_f.bmp", 20, 20, [](uint32_t, uint32_t) { return RGB(255, 255, 0); });
    ObjectRecord* a = MakePict(pa, 5, 5, 20, 20);
    ObjectRecord* b = MakePict(pb, 5, 5, 20, 20);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_TRUE(b->flags & kPictStacked);
    MemCanvas c1(40, 40);
    Paint(a, c1);
    EXPECT_EQ(RGB(255, 0, 0), c1.At(10, 10)) << "the second is ANDed over the first";
    ObjectOpsOf(a)->hide(a);
    EXPECT_FALSE(b->flags & kPictStacked) << "hiding the base promotes the other";
    MemCanvas c2(40, 40);
    Paint(b, c2);
    EXPECT_EQ(RGB(255, 255, 0), c2.At(10, 10));
    ObjectOpsOf(a)->show(a, 0, 0, 0, 0);
    EXPECT_TRUE(a->flags & kPictStacked) << "shown again it stacks on the new base";
    ObjectDestroy(b);
    EXPECT_EQ(nullptr, reinterpret_cast<PictRecord*>(a)->base) << "destroying the base leaves nothing stale";
    MemCanvas c3(40, 40);
    Paint(a, c3);
    EXPECT_EQ(RGB(255, 0, 255), c3.At(10, 10));
    ObjectDestroy(a);
}

TEST_F(PictTest, OneBitPageBelow100PercentPaintsTheGreyView) {
    std::string path = WriteBmp1("qovpict_g.bmp", 200, 200, [](uint32_t x, uint32_t y) { return (x + y) % 2 == 0; });
    ObjectRecord* p = MakePict(path, 0, 0, 100, 100, nullptr, false);
    ASSERT_NE(nullptr, p);
    SetProp(p, kScale, 25);
    MemCanvas canvas(120, 120);
    Paint(p, canvas);
    const COLORREF greys[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64), RGB(0, 0, 0)};
    int mid = 0;
    for (int y = 0; y < 50; y++)
        for (int x = 0; x < 50; x++) {
            COLORREF c = canvas.At(x, y);
            bool grey = false;
            for (COLORREF g : greys) grey |= c == g;
            ASSERT_TRUE(grey) << x << "," << y << " " << std::hex << c;
            mid += c != greys[0] && c != greys[4];
        }
    EXPECT_GT(mid, 2000) << "a half-set page shows mid greys, not black or white";
    ObjectDestroy(p);
}

// Below a tenth of the size a grey cell of a thin line would fade to white:
// the page is drawn from the OR of each cell, so the line stays a black row.
// ScrollBar at creation: 1, 2 and 4 as given; 0 or a value above 4 gives both
// bars when the record's style asks for scroll bars, else none; 3 none.
TEST_F(PictTest, CreationScrollBarValuesFollowTheRecordsStyle) {
    std::string path = WriteBmp24("qovpict_sb.bmp", 400, 300, Pattern);
    struct Case { int32_t value; bool styleAsks; uint32_t expect; const char* why; };
    const Case cases[] = {
        {0, true, 1, "0 with the style's bars: both"},
        {7, true, 1, "above 4 with the style's bars: both"},
        {-1, true, 1, "a negative value is above 4 too"},
        {3, true, 3, "3 stays none"},
        {0, false, 3, "0 without the style's bars: none"},
        {7, false, 3, "above 4 without them: none"},
        {2, false, 2, "2 as given"},
        {4, true, 4, "4 as given"},
    };
    for (const Case& c : cases) {
        ObjectRecord* p = MakePict(path, 0, 0, 100, 80, nullptr, true, [&](ObjectCreateRecord* cr) {
            cr->scrollBar = c.value;
            if (c.styleAsks) cr->winStyle |= kWsVScroll | kWsHScroll;
        });
        ASSERT_NE(nullptr, p) << c.why;
        auto* rec = reinterpret_cast<PictRecord*>(p);
        EXPECT_EQ(c.expect, Prop(p, 57)) << c.why;
        EXPECT_EQ(c.expect == 1 || c.expect == 2, rec->hBar != nullptr) << c.why;
        EXPECT_EQ(c.expect == 1 || c.expect == 4, rec->vBar != nullptr) << c.why;
        ObjectDestroy(p);
    }
}

TEST_F(PictTest, OneBitPageBelowATenthPaintsTheOrView) {
    const uint32_t side = 1000, lineRow = 500;
    std::string path = WriteBmp1("qovpict_or.bmp", side, side, [&](uint32_t, uint32_t y) { return y == lineRow; }, true);
    ObjectRecord* p = MakePict(path, 0, 0, 100, 100, nullptr, false);
    ASSERT_NE(nullptr, p);
    SetProp(p, kScale, 5);  // 50 per mille: 20 x 20 source pixels a cell
    ASSERT_EQ(5u, Prop(p, kScale));
    MemCanvas canvas(120, 120);
    Paint(p, canvas);
    const int viewSide = 50, viewLine = int(lineRow * viewSide / side);
    int blackOnLine = 0, blackElsewhere = 0;
    for (int y = 0; y < viewSide; y++)
        for (int x = 0; x < viewSide; x++) {
            bool black = canvas.At(x, y) == RGB(0, 0, 0);
            (y == viewLine ? blackOnLine : blackElsewhere) += black;
        }
    EXPECT_EQ(viewSide, blackOnLine) << "the one-pixel line is a whole black row of the view";
    EXPECT_EQ(0, blackElsewhere) << "white cells stay white";
    ObjectDestroy(p);
}

TEST_F(PictTest, FailedLoadsKeepTheImageAndAnswerTheirCode) {
    std::string path = WriteBmp24("qovpict_h.bmp", 12, 8, Pattern);
    ObjectRecord* p = MakePict(path, 0, 0, 50, 50);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(-1, SetProp(p, kResource, 4242)) << "no such bitmap resource";
    EXPECT_EQ(12u, Prop(p, kSizeH)) << "the old image stays";
    EXPECT_EQ(0u, Prop(p, kResource)) << "and the old number";
    MemCanvas canvas(60, 60);
    Paint(p, canvas);
    EXPECT_EQ(Pattern(3, 3), canvas.At(3, 3));
    ObjectDestroy(p);

    // Width 0: refused before any zoom is fitted to it.
    std::vector<uint8_t> head(40);
    auto* hdr = reinterpret_cast<BITMAPINFOHEADER*>(head.data());
    hdr->biSize = 40, hdr->biWidth = 0, hdr->biHeight = 4, hdr->biPlanes = 1, hdr->biBitCount = 24;
    std::string empty = TempPath("qovpict_empty.bmp");
    uint8_t none[4] = {};
    DibWriteBmpFile(empty.c_str(), hdr, none);
    int32_t code = 0;
    EXPECT_EQ(nullptr, MakePict(empty, 0, 0, 50, 50, &code, false));
    EXPECT_EQ(-3, code);
    EXPECT_EQ(nullptr, MakePict(TempPath("qovpict_missing.bmp"), 0, 0, 50, 50, &code));
    EXPECT_EQ(-2, code) << "a file that cannot be opened";
    EXPECT_EQ(nullptr, MakePict(path + std::string(1, '\0') + "x", 0, 0, 50, 50, &code));
    EXPECT_EQ(-2, code) << "a name holding a NUL: cut there, it would load " << path;
}

// The form's resources in the fake: 77 a bitmap block, 78 found with no data.
std::vector<uint8_t> gFormBitmap;
uint32_t gFormAsked;
bool FakeFormResource(ObjectRecord*, uint16_t kind, uint32_t number, const char*, uint8_t** data, uint32_t* size) {
    gFormAsked = number;
    if (kind != kResKindBitmap) return false;
    if (number == 78) {
        *data = nullptr;
        *size = 0;
        return true;
    }
    if (number != 77) return false;
    *data = static_cast<uint8_t*>(LocalAllocZero(gFormBitmap.size()));
    memcpy(*data, gFormBitmap.data(), gFormBitmap.size());
    *size = uint32_t(gFormBitmap.size());
    return true;
}

TEST_F(PictTest, ResourcesComeFromTheFormFirst) {
    std::string path = WriteBmp24("qovpict_form.bmp", 6, 5, Pattern);
    FILE* fp = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, fp);
    gFormBitmap.assign(4096, 0);
    gFormBitmap.resize(fread(gFormBitmap.data(), 1, gFormBitmap.size(), fp));
    fclose(fp);
    std::string base = WriteBmp24("qovpict_base.bmp", 12, 8, Pattern);
    ObjectRecord* p = MakePict(base, 0, 0, 50, 50);
    ASSERT_NE(nullptr, p);
    gPictResourceHooks.formResource = FakeFormResource;
    struct Case { int32_t number; int32_t rc; uint32_t sizeH, resource; const char* why; };
    const Case cases[] = {
        {78, -6, 12, 0, "found with no data: refused, the image stays"},
        {4242, -1, 12, 0, "nowhere: the image and number stay"},
        {77, 0, 6, 77, "the form's bitmap"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rc, SetProp(p, kResource, c.number)) << c.why;
        EXPECT_EQ(uint32_t(c.number), gFormAsked) << "the form is asked first: " << c.why;
        EXPECT_EQ(c.sizeH, Prop(p, kSizeH)) << c.why;
        EXPECT_EQ(c.resource, Prop(p, kResource)) << c.why;
    }
    gPictResourceHooks.formResource = nullptr;
    MemCanvas canvas(60, 60);
    Paint(p, canvas);
    EXPECT_EQ(Pattern(2, 3), canvas.At(2, 3)) << "the form's pixels";
    ObjectDestroy(p);
}

TEST_F(PictTest, ClipboardSources) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    int32_t code = 0;
    EXPECT_EQ(nullptr, MakePict("", 0, 0, 50, 50, &code));
    EXPECT_EQ(-1, code) << "an empty clipboard";

    const uint32_t w = 8, h = 4, stride = 24;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 40 + stride * h);
    auto* hdr = static_cast<BITMAPINFOHEADER*>(GlobalLock(mem));
    memset(hdr, 0, 40 + stride * h);
    hdr->biSize = 40, hdr->biWidth = w, hdr->biHeight = h, hdr->biPlanes = 1, hdr->biBitCount = 24;
    uint8_t* bits = reinterpret_cast<uint8_t*>(hdr) + 40;
    for (uint32_t i = 0; i < stride * h; i++) bits[i] = uint8_t(i * 7);
    GlobalUnlock(mem);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_DIB, mem);
    CloseClipboard();
    ObjectRecord* p = MakePict("", 0, 0, 50, 50, &code);
    ASSERT_NE(nullptr, p) << code;
    EXPECT_EQ(w, Prop(p, kSizeH));
    EXPECT_EQ(h, Prop(p, kSizeV));
    ObjectDestroy(p);
}

TEST_F(PictTest, AutoZoomDoubleClicksAndTheRubberBand) {
    std::string path = WriteBmp24("qovpict_z.bmp", 400, 300, Pattern);
    CreateRecordReset(&cr_);
    ObjectRecord* p = MakePict(path, 0, 0, 200, 150, nullptr, false);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, SetProp(p, 68, 1));
    EXPECT_EQ(1u, Prop(p, 68));
    EXPECT_EQ(0, Call(p, 3, {})) << "GetZTop without a rubber band";
    HWND wnd = win_->hwnd;
    struct Case { int32_t scale; UINT msg; uint32_t expect; const char* why; };
    const Case cases[] = {
        {250, WM_RBUTTONDBLCLK, 200, "right double click: down to the next multiple of 100"},
        {60, WM_RBUTTONDBLCLK, 50, "11..100 loses 10"},
        {5, WM_RBUTTONDBLCLK, 4, "3..10 loses 1"},
        {2, WM_RBUTTONDBLCLK, 2, "2 stays"},
        {150, WM_LBUTTONDBLCLK, 200, "left double click: + 100, cut to a multiple of 100"},
        {6500, WM_LBUTTONDBLCLK, 6500, "the top stays"},
    };
    for (const Case& c : cases) {
        SetProp(p, kScale, c.scale);
        SendMessageA(wnd, c.msg, 0, MAKELPARAM(10, 10));
        EXPECT_EQ(c.expect, Prop(p, kScale)) << c.why;
    }
    SetProp(p, kScale, 100);
    SetProp(p, kPosH, 0);
    SetProp(p, kPosV, 0);
    // A drag from (20, 10) to (60, 50): the messages the loop takes are queued first.
    PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 30));
    PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 50));
    PostMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(60, 50));
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    EXPECT_EQ(10, Call(p, 3, {})) << "GetZTop";
    EXPECT_EQ(51, Call(p, 4, {})) << "GetZBottom: the band includes the last pixel";
    EXPECT_EQ(20, Call(p, 5, {})) << "GetZLeft";
    EXPECT_EQ(61, Call(p, 6, {})) << "GetZRight";
    SendMessageA(wnd, WM_LBUTTONDBLCLK, 0, MAKELPARAM(30, 30));
    EXPECT_EQ(365u, Prop(p, kScale)) << "41 x 41 image pixels fitted into 200 x 150";
    EXPECT_EQ(20u, Prop(p, kPosH));
    EXPECT_EQ(10u, Prop(p, kPosV));
    EXPECT_EQ(0, Call(p, 3, {})) << "the band is used up";
    SendMessageA(wnd, WM_RBUTTONDBLCLK, 0, MAKELPARAM(30, 30));
    EXPECT_EQ(100u, Prop(p, kScale)) << "the history brings the zoom back";
    EXPECT_EQ(0u, Prop(p, kPosH));
    // A drag whose release this thread never hears of ends by itself: a loop
    // that waited for the release would hold the test to its ctest time limit.
    PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 30));
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    ObjectDestroy(p);
}

TEST_F(PictTest, PrintAndAutomationReachTheImage) {
    std::string path = WriteBmp24("qovpict_i.bmp", 30, 20, Pattern);
    ObjectRecord* p = MakePict(path, 0, 0, 10, 10);
    ASSERT_NE(nullptr, p);
    const BITMAPINFOHEADER* hdr = nullptr;
    const RGBQUAD* colours = nullptr;
    const void* bits = nullptr;
    RECT shown;
    ASSERT_TRUE(PictImageOf(p->handle, true, &hdr, &colours, &bits, &shown));
    EXPECT_EQ(30, hdr->biWidth);
    EXPECT_EQ(11, shown.right - shown.left) << "the view shows 10 pixels and one more";
    EXPECT_FALSE(PictImageOf(win_->handle, false, &hdr, &colours, &bits, &shown)) << "a window is no picture";
    HPALETTE pal = nullptr;
    int err = 0;
    HBITMAP bm = PictBitmapOf(p, &pal, &err);
    ASSERT_NE(nullptr, bm);
    BITMAP info = {};
    GetObjectA(bm, sizeof info, &info);
    EXPECT_EQ(30, info.bmWidth);
    DeleteObject(bm);
    EXPECT_EQ(nullptr, PictBitmapOf(win_, &pal, &err));
    EXPECT_NE(0, err);
    ObjectDestroy(p);
}

// An .ICO file of one 32 x 32 image of a bit depth: its directory entry and
// header written, its colour table, pixels and mask all zero.
std::vector<uint8_t> IcoFile(uint16_t bitCount, uint32_t colours) {
    const uint32_t n = 32, xorStride = ((n * bitCount + 31) / 32) * 4, andStride = 4;
    const uint32_t imageBytes = 40 + colours * 4 + xorStride * n + andStride * n;
    std::vector<uint8_t> f(6 + 16 + imageBytes);
    auto put16 = [&](size_t at, uint16_t v) { memcpy(&f[at], &v, 2); };
    auto put32 = [&](size_t at, uint32_t v) { memcpy(&f[at], &v, 4); };
    put16(2, 1), put16(4, 1);
    f[6] = 32, f[7] = 32;
    put16(10, 1), put16(12, bitCount), put32(14, imageBytes), put32(18, 22);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(&f[22]);
    h->biSize = 40, h->biWidth = 32, h->biHeight = 64, h->biPlanes = 1, h->biBitCount = bitCount;
    return f;
}

// An .ICO file of one 32 x 32 24-bit image: colour(x, y) where mask(x, y)
// is false, transparent where it is true.
std::vector<uint8_t> IcoBytes(const std::function<COLORREF(uint32_t, uint32_t)>& colour,
                              const std::function<bool(uint32_t, uint32_t)>& mask) {
    const uint32_t n = 32, xorStride = 96, andStride = 4;
    std::vector<uint8_t> f = IcoFile(24, 0);
    uint8_t* xorBits = &f[62];
    uint8_t* andBits = xorBits + xorStride * n;
    for (uint32_t y = 0; y < n; y++)
        for (uint32_t x = 0; x < n; x++) {
            uint8_t* p = xorBits + (n - 1 - y) * xorStride + x * 3;
            bool clear = mask(x, y);
            COLORREF c = clear ? 0 : colour(x, y);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
            if (clear) andBits[(n - 1 - y) * andStride + x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    return f;
}

class IconTest : public PictTest {
protected:
    // An image list of the window: 16 x 16 images, 24 bits.
    ObjectRecord* MakeList16(int32_t* code) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.values[131] = 16, cr_.given[131] = 1;
        cr_.values[130] = 16, cr_.given[130] = 1;
        cr_.values[151] = 24, cr_.given[151] = 1;
        return ObjectCreate(kTypeImagelist, &cr_, code);
    }
};

TEST_F(IconTest, AnIcoFilePaintsAsWin32DrawsItAndFailedLoadsKeepIt) {
    auto ico = IcoBytes(Pattern, [](uint32_t x, uint32_t y) { return x < 4 && y < 4; });
    std::string path = WriteTemp("qovicon_a.ico", ico);
    ASSERT_FALSE(path.empty());
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.left = 20, cr_.top = 10, cr_.width = 100, cr_.height = 100;
    cr_.flags0 |= kCrVisible;
    name_ = "!" + path;
    cr_.texts[kPicture] = CrText{name_.c_str(), uint32_t(name_.size())};
    int32_t code = 0;
    ObjectRecord* icon = ObjectCreate(kTypeIcon, &cr_, &code);
    ASSERT_NE(nullptr, icon) << code;
    EXPECT_EQ(32, icon->right - icon->left) << "an icon is 32 x 32";
    EXPECT_EQ(32, icon->bottom - icon->top);
    MemCanvas ours(80, 60), theirs(80, 60);
    Paint(icon, ours);
    HICON ref = static_cast<HICON>(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
    ASSERT_NE(nullptr, ref);
    DrawIcon(theirs.dc, 20, 10, ref);
    DestroyIcon(ref);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) ASSERT_EQ(theirs.At(20 + x, 10 + y), ours.At(20 + x, 10 + y)) << x << "," << y;
    EXPECT_EQ(RGB(255, 255, 255), ours.At(21, 11)) << "the masked corner shows what was there";
    EXPECT_NE(nullptr, IconOf(icon)) << "automation reaches the icon";

    HICON before = IconOf(icon);
    EXPECT_EQ(-3, SetProp(icon, kResource, 4243)) << "no such icon resource";
    EXPECT_EQ(before, IconOf(icon)) << "the old icon stays";
    EXPECT_EQ(0u, Prop(icon, kResource)) << "and its number";
    EXPECT_EQ(0, SetProp(icon, 217, 0));
    EXPECT_EQ(0u, Prop(icon, 217)) << "ImageIndex 0 is ignored";
    EXPECT_EQ(-3, SetProp(icon, 270, int32_t(win_->handle))) << "a window is no image list";
    ObjectDestroy(icon);

    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.values[kResource] = 4243, cr_.given[kResource] = 1;
    EXPECT_EQ(nullptr, ObjectCreate(kTypeIcon, &cr_, &code));
    EXPECT_EQ(-3, code) << "no icon could be loaded";
}

// An .ICO file of one 32 x 32 8-bit image of a single colour: the look's
// colour mapping works on colour tables.
std::vector<uint8_t> IcoBytesOneColour(COLORREF colour) {
    std::vector<uint8_t> f = IcoFile(8, 256);
    uint8_t* table = &f[62];
    table[0] = GetBValue(colour), table[1] = GetGValue(colour), table[2] = GetRValue(colour);
    return f;  // every index 0, no pixel masked
}

// The form's icon 79: every pixel the grey that the three-dimensional look maps
// to the system's face colour.
std::vector<uint8_t> gFormIcon;
bool FormIconResource(ObjectRecord*, uint16_t kind, uint32_t number, const char*, uint8_t** data, uint32_t* size) {
    if (kind != kResKindIcon || number != 79) return false;
    *data = static_cast<uint8_t*>(LocalAllocZero(gFormIcon.size()));
    memcpy(*data, gFormIcon.data(), gFormIcon.size());
    *size = uint32_t(gFormIcon.size());
    return true;
}

TEST_F(IconTest, AppearanceReloadsTheResourceInItsLook) {
    const COLORREF grey = RGB(192, 192, 192);
    gFormIcon = IcoBytesOneColour(grey);
    ScopedSet<decltype(gPictResourceHooks.formResource)> hook(gPictResourceHooks.formResource, FormIconResource);
    ScopedSet<uint8_t> look(gGuiOption2039, 1);
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.left = 0, cr_.top = 0, cr_.width = 32, cr_.height = 32;
    cr_.appearance = 2;
    cr_.values[kResource] = 79, cr_.given[kResource] = 1;
    int32_t code = 0;
    ObjectRecord* icon = ObjectCreate(kTypeIcon, &cr_, &code);
    ASSERT_NE(nullptr, icon) << code;
    MemCanvas flat(40, 40);
    Paint(icon, flat);
    EXPECT_EQ(grey, flat.At(10, 10)) << "Appearance 2: the icon's own grey";
    HICON before = IconOf(icon);
    EXPECT_EQ(0, SetProp(icon, 43, 1));
    EXPECT_NE(before, IconOf(icon)) << "the resource loaded again";
    EXPECT_EQ(79u, Prop(icon, kResource));
    MemCanvas raised(40, 40);
    Paint(icon, raised);
    // Windows maps the table's grey to the face colour; Wine 8 loads icons
    // without that mapping, so either colour shows the reloaded icon.
    COLORREF face = GetSysColor(COLOR_3DFACE) & 0xFFFFFF, shown = raised.At(10, 10);
    EXPECT_TRUE(shown == face || shown == grey) << std::hex << shown;
    before = IconOf(icon);
    EXPECT_EQ(0, SetProp(icon, 43, 2));
    EXPECT_NE(before, IconOf(icon)) << "loaded again in the flat look";
    MemCanvas back(40, 40);
    Paint(icon, back);
    EXPECT_EQ(grey, back.At(10, 10)) << "and back";
    ObjectDestroy(icon);
}

TEST_F(IconTest, IconBytesGoThroughTheFirstFreeTemporaryName) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string folder = std::string(dir) + "qovtic";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string taken = folder + "\\~TIC0000.ICO", next = folder + "\\~TIC0001.ICO";
    FILE* fp = fopen(taken.c_str(), "wb");
    ASSERT_NE(nullptr, fp);
    fputs("taken", fp);
    fclose(fp);
    DeleteFileA(next.c_str());
    auto ico = IcoBytes(Pattern, [](uint32_t, uint32_t) { return false; });
    HICON icon;
    {
        ScopedEnv tmp("TMP", folder.c_str());
        icon = IconLoadFromData(ico.data(), uint32_t(ico.size()), false, false);
    }
    ASSERT_NE(nullptr, icon) << "made through ~TIC0001.ICO";
    DestroyIcon(icon);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(next.c_str())) << "the temporary file is gone";
    fp = fopen(taken.c_str(), "rb");
    ASSERT_NE(nullptr, fp);
    char text[8] = {};
    fread(text, 1, sizeof text - 1, fp);
    fclose(fp);
    EXPECT_STREQ("taken", text) << "the file that held the first name is untouched";
    DeleteFileA(taken.c_str());
    EXPECT_EQ(nullptr, IconLoadFromData(nullptr, 0, false, false)) << "no bytes, no icon";
}

TEST_F(IconTest, TheTemporaryNameSearchEndsAfterTheLastName) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string folder = std::string(dir) + "qovticfull";
    CreateDirectoryA(folder.c_str(), nullptr);
    char name[MAX_PATH];
    for (int n = 0; n < 10000; n++) {
        snprintf(name, sizeof name, "%s\\~TIC%04d.ICO", folder.c_str(), n);
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << n;
        CloseHandle(h);
    }
    auto ico = IcoBytes(Pattern, [](uint32_t, uint32_t) { return false; });
    HICON icon;
    {
        ScopedEnv tmp("TMP", folder.c_str());
        icon = IconLoadFromData(ico.data(), uint32_t(ico.size()), false, false);
    }
    EXPECT_EQ(nullptr, icon) << "every name taken: no icon, and no endless search";
    if (icon) DestroyIcon(icon);
    for (int n = 0; n < 10000; n++) {
        snprintf(name, sizeof name, "%s\\~TIC%04d.ICO", folder.c_str(), n);
        DeleteFileA(name);
    }
    RemoveDirectoryA(folder.c_str());
}

TEST_F(IconTest, ImageListMethodsCountsDepthAndUses) {
    std::string strip = WriteBmp24("qovil_strip.bmp", 32, 16, Pattern);
    std::string one = WriteBmp24("qovil_one.bmp", 16, 16, [](uint32_t, uint32_t) { return RGB(0, 0, 255); });
    auto ico = IcoBytes(Pattern, [](uint32_t, uint32_t) { return false; });
    std::string icoPath = WriteTemp("qovil.ico", ico);
    ASSERT_FALSE(icoPath.empty());
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.values[131] = 16, cr_.given[131] = 1;
    cr_.values[130] = 16, cr_.given[130] = 1;
    cr_.values[151] = 12, cr_.given[151] = 1;
    cr_.values[129] = 1, cr_.given[129] = 1;
    int32_t code = 0;
    ObjectRecord* list = ObjectCreate(kTypeImagelist, &cr_, &code);
    ASSERT_NE(nullptr, list) << code;
    EXPECT_EQ(16u, Prop(list, 151)) << "ImageColors 12 becomes 16";
    const std::string bang = "!" + strip, bangOne = "!" + one, bangIco = "!" + icoPath;
    ASSERT_EQ(0, EventRegister(list, kEvChange, std::vector<int32_t>(4, 0).data(), false, nullptr, 0));
    struct Step { uint32_t method; std::vector<int32_t> args; const char* text; int32_t result; int32_t count; const char* why; };
    const Step steps[] = {
        {1, {}, bang.c_str(), 0, 2, "AddBmp of a 32 x 16 strip: two images from index 0"},
        {3, {}, bang.c_str(), 2, 4, "AddBmpMasked"},
        {2, {}, bangIco.c_str(), 4, 5, "AddIcon appends"},
        {5, {0}, nullptr, 1, 4, "Remove"},
        {1, {}, "!no-such-file.bmp", -1, 4, "a bitmap that does not load"},
        {6, {}, nullptr, 1, 0, "RemoveAll"},
    };
    for (const Step& st : steps) {
        EXPECT_EQ(st.result, Call(list, st.method, st.args, st.text)) << st.why;
        EXPECT_EQ(st.count, Call(list, 4, {})) << st.why;
    }
    EXPECT_EQ(1, Call(list, 11, {1}, "")) << "AddLoadImage without a file name";
    EXPECT_EQ(2, Call(list, 11, {1}, "no-such-library.dll")) << "a library that does not load";
    EXPECT_EQ(0, Call(list, 1, {}, bang.c_str()));
    IMAGEINFO ii = {};
    ASSERT_TRUE(ImageList_GetImageInfo(ImageListHandle(list), 0, &ii));
    BITMAP bm = {};
    GetObjectA(ii.hbmImage, sizeof bm, &bm);
    EXPECT_EQ(16, bm.bmBitsPixel) << "the list's depth";
    EXPECT_EQ(0, SetProp(list, 131, 24));
    EXPECT_EQ(0, Call(list, 4, {})) << "a new image size drops the method images";
    EXPECT_EQ(0, Call(list, 9, {})) << "the client's tool strip";
    EXPECT_EQ(6, Call(list, 4, {})) << "six tools";
    int tw = 0, th = 0;
    ImageList_GetIconSize(ImageListHandle(list), &tw, &th);
    EXPECT_EQ(16, tw);
    EXPECT_EQ(16, th);
    EXPECT_EQ(16u, Prop(list, 131));
    EXPECT_EQ(1, Call(list, 6, {}));
    EXPECT_EQ(0, SetProp(list, 3, 0x7000000));
    EXPECT_EQ(uint32_t(0x80000000u + COLOR_BTNFACE), Prop(list, 3)) << "a value that is no colour is ignored";
    EXPECT_EQ(0, SetProp(list, 3, 0x1000005));
    EXPECT_EQ(uint32_t(0x80000000u + COLOR_BTNFACE), Prop(list, 3)) << "above 0xFFFFFF and no index below 21";
    EXPECT_EQ(0, SetProp(list, 3, int32_t(0x80000005u)));
    EXPECT_EQ(0x80000005u, Prop(list, 3)) << "a system colour index";
    EXPECT_EQ(0, SetProp(list, 3, 0x123456));
    EXPECT_EQ(0x123456u, Prop(list, 3)) << "a COLORREF";

    ObjectRef ref = ObjectRefOf(list);
    ImageListTakeUse(list);
    ImageListTakeUse(list);
    ImageListRelease(list, true);
    ImageListRelease(list, true);
    EXPECT_TRUE(ObjectRefAlive(ref)) << "two users gone, the owner keeps it";
    ImageListRelease(list, true);
    EXPECT_FALSE(ObjectRefAlive(ref)) << "the third release frees it";
}

TEST_F(IconTest, ImageListWritesItsImagesAsOneStrip) {
    const COLORREF mask = RGB(255, 0, 255);
    // Ten 16 x 16 images; the top-left 2 x 2 of each in the mask colour.
    auto colour = [&](uint32_t x, uint32_t y) { return x % 16 < 2 && y < 2 ? mask : Pattern(x, y); };
    std::string strip = WriteBmp24("qovil_ten.bmp", 160, 16, colour);
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.values[131] = 16, cr_.given[131] = 1;
    cr_.values[130] = 16, cr_.given[130] = 1;
    cr_.values[151] = 24, cr_.given[151] = 1;
    cr_.values[129] = 1, cr_.given[129] = 1;
    cr_.values[128] = int32_t(mask), cr_.given[128] = 1;
    int32_t code = 0;
    ObjectRecord* list = ObjectCreate(kTypeImagelist, &cr_, &code);
    ASSERT_NE(nullptr, list) << code;
    const std::string bang = "!" + strip;
    ASSERT_EQ(0, Call(list, 3, {}, bang.c_str())) << "AddBmpMasked";
    ASSERT_EQ(10, Call(list, 4, {}));
    std::string out = TempPath("qovil_out.bmp");
    EXPECT_EQ(4, Call(list, 10, {}, "")) << "an empty name";
    ASSERT_EQ(0, Call(list, 10, {}, out.c_str()));
    ObjectRecord* p = MakePict(out, 0, 0, 200, 40);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(160u, Prop(p, kSizeH));
    EXPECT_EQ(16u, Prop(p, kSizeV));
    MemCanvas canvas(220, 60);
    Paint(p, canvas);
    for (uint32_t i = 0; i < 10; i++) {
        EXPECT_EQ(mask, canvas.At(i * 16, 0)) << "masked pixels in the mask colour, image " << i;
        EXPECT_EQ(Pattern(i * 16 + 5, 7), canvas.At(i * 16 + 5, 7)) << "image " << i;
    }
    ObjectDestroy(p);
    ObjectDestroy(list);
}

TEST_F(IconTest, IconShowsAnImageOfItsListAndLetsTheListGo) {
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    std::string strip = WriteBmp24("qovil_four.bmp", 64, 16, [&](uint32_t x, uint32_t) { return colours[x / 16]; });
    int32_t code = 0;
    ObjectRecord* list = MakeList16(&code);
    ASSERT_NE(nullptr, list) << code;
    const std::string bang = "!" + strip;
    ASSERT_EQ(0, Call(list, 1, {}, bang.c_str()));
    ASSERT_EQ(4, Call(list, 4, {}));

    auto ico = IcoBytes(Pattern, [](uint32_t, uint32_t) { return false; });
    std::string icoPath = WriteTemp("qovil_icon.ico", ico);
    ASSERT_FALSE(icoPath.empty());
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.left = 5, cr_.top = 5;
    cr_.flags0 |= kCrVisible;
    name_ = "!" + icoPath;
    cr_.texts[kPicture] = CrText{name_.c_str(), uint32_t(name_.size())};
    ObjectRecord* icon = ObjectCreate(kTypeIcon, &cr_, &code);
    ASSERT_NE(nullptr, icon) << code;
    EXPECT_EQ(0, SetProp(icon, 270, int32_t(list->handle)));
    EXPECT_EQ(list->handle, Prop(icon, 270));
    EXPECT_EQ(0, SetProp(icon, 217, 3));
    EXPECT_EQ(16, icon->right - icon->left) << "the list's image size";
    MemCanvas canvas(40, 40);
    Paint(icon, canvas);
    EXPECT_EQ(colours[2], canvas.At(10, 10)) << "ImageIndex 3 shows the third image";
    EXPECT_EQ(0, SetProp(icon, 217, 0));
    EXPECT_EQ(3u, Prop(icon, 217)) << "0 is ignored";

    // The server lets the list go while the icon holds it; when the last
    // use goes the icon is told, drops its use inside that release, and the
    // list is freed once.
    ObjectRef ref = ObjectRefOf(list);
    ImageListRelease(list, true);
    EXPECT_TRUE(ObjectRefAlive(ref)) << "the icon's use keeps it";
    ImageListRelease(list, true);
    EXPECT_FALSE(ObjectRefAlive(ref));
    EXPECT_EQ(0u, Prop(icon, 270)) << "the icon forgot the list";
    MemCanvas after(40, 40);
    Paint(icon, after);
    EXPECT_EQ(colours[2], after.At(10, 10)) << "and keeps showing the image it took";
    ObjectDestroy(icon);
}

// An icon made with an image list and an index shows that image; the list
// holds one use for it.
TEST_F(IconTest, IconCreatedWithAListAndAnIndexShowsThatImage) {
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    std::string strip = WriteBmp24("qovil_made.bmp", 64, 16, [&](uint32_t x, uint32_t) { return colours[x / 16]; });
    int32_t code = 0;
    ObjectRecord* list = MakeList16(&code);
    ASSERT_NE(nullptr, list) << code;
    const std::string bang = "!" + strip;
    ASSERT_EQ(0, Call(list, 1, {}, bang.c_str()));
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.left = 5, cr_.top = 5;
    cr_.flags0 |= kCrVisible;
    cr_.values[270] = int32_t(list->handle), cr_.given[270] = 1;
    cr_.values[217] = 3, cr_.given[217] = 1;
    ObjectRecord* icon = ObjectCreate(kTypeIcon, &cr_, &code);
    ASSERT_NE(nullptr, icon) << code;
    EXPECT_EQ(list->handle, Prop(icon, 270));
    EXPECT_EQ(16, icon->right - icon->left) << "the list's image size";
    MemCanvas canvas(40, 40);
    Paint(icon, canvas);
    EXPECT_EQ(colours[2], canvas.At(10, 10)) << "ImageIndex 3 shows the third image";
    // The server's destroy of the list leaves it to the icon's use.
    ObjectRef ref = ObjectRefOf(list);
    ImageListRelease(list, true);
    EXPECT_TRUE(ObjectRefAlive(ref)) << "the icon holds a use";
    ObjectDestroy(icon);
    EXPECT_FALSE(ObjectRefAlive(ref)) << "its destroy let the last use go";
}

// A rebuilt list (a new size, mask or depth, the standard tool strip) is
// handed to every user before the old one is destroyed: toolbars and tab
// controls show the new handle, an icon takes its image again.
TEST_F(IconTest, RebuiltListIsHandedToToolbarsTabsAndIcons) {
    int32_t code = 0;
    ObjectRecord* list = MakeList16(&code);
    ASSERT_NE(nullptr, list) << code;
    std::string strip = WriteBmp24("qovil_rebuild.bmp", 32, 16, Pattern);
    const std::string bang = "!" + strip;
    ASSERT_EQ(0, Call(list, 1, {}, bang.c_str()));
    auto make = [&](uint32_t type, int32_t top) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = top, cr_.width = 200, cr_.height = 40;
        cr_.flags0 |= kCrVisible;
        cr_.values[270] = int32_t(list->handle), cr_.given[270] = 1;
        cr_.values[217] = 1, cr_.given[217] = 1;
        int32_t c = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr_, &c);
        EXPECT_NE(nullptr, rec) << "type " << type << " code " << c;
        return rec;
    };
    ObjectRecord* bar = make(kTypeToolbar, 10);
    ObjectRecord* tabs = make(kTypeTabcontrol, 60);
    ObjectRecord* icon = make(kTypeIcon, 110);
    ASSERT_TRUE(bar && tabs && icon);
    auto barList = [&] { return reinterpret_cast<HIMAGELIST>(SendMessageA(bar->hwnd, TB_GETIMAGELIST, 0, 0)); };
    auto tabList = [&] { return reinterpret_cast<HIMAGELIST>(SendMessageA(tabs->hwnd, TCM_GETIMAGELIST, 0, 0)); };
    ASSERT_EQ(ImageListHandle(list), barList());
    ASSERT_EQ(ImageListHandle(list), tabList());
    struct Step { uint32_t id; int32_t value; int width; const char* why; };
    const Step kSteps[] = {
        {131, 24, 24, "ImageSizeH"}, {129, 1, 24, "UseMask"}, {151, 8, 24, "ImageColors"},
        {0, 0, 16, "LoadStdToolBitmap"},
    };
    for (const Step& s : kSteps) {
        HIMAGELIST before = ImageListHandle(list);
        if (s.id) ASSERT_EQ(0, SetProp(list, s.id, s.value)) << s.why;
        else ASSERT_EQ(0, Call(list, 9, {})) << s.why;
        HIMAGELIST now = ImageListHandle(list);
        EXPECT_NE(before, now) << s.why << ": a new list";
        EXPECT_EQ(now, barList()) << s.why << ": the toolbar shows it";
        EXPECT_EQ(now, tabList()) << s.why << ": the tab control shows it";
        int cx = 0, cy = 0;
        EXPECT_TRUE(ImageList_GetIconSize(barList(), &cx, &cy)) << s.why << ": the toolbar's list is whole";
        EXPECT_EQ(s.width, cx) << s.why;
        EXPECT_TRUE(ImageList_GetIconSize(tabList(), &cx, &cy)) << s.why;
        EXPECT_EQ(list->handle, Prop(bar, 270)) << s.why << ": the users keep the list";
        EXPECT_EQ(list->handle, Prop(icon, 270)) << s.why;
    }
    EXPECT_EQ(16, icon->right - icon->left) << "the icon took its image from the tool strip";
    ObjectDestroy(bar);
    ObjectDestroy(tabs);
    ObjectDestroy(icon);
    ObjectDestroy(list);
}

// A list's Resource is found as a picture's: the form's bitmap first.
TEST_F(IconTest, ListResourceComesFromTheFormsBitmaps) {
    std::string path = WriteBmp24("qovil_form.bmp", 48, 16, Pattern);
    FILE* fp = fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, fp);
    gFormBitmap.assign(8192, 0);
    gFormBitmap.resize(fread(gFormBitmap.data(), 1, gFormBitmap.size(), fp));
    fclose(fp);
    gPictResourceHooks.formResource = FakeFormResource;
    int32_t code = 0;
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.values[131] = 16, cr_.given[131] = 1;
    cr_.values[130] = 16, cr_.given[130] = 1;
    cr_.values[87] = 77, cr_.given[87] = 1;
    ObjectRecord* list = ObjectCreate(kTypeImagelist, &cr_, &code);
    ASSERT_NE(nullptr, list) << code;
    EXPECT_EQ(3, ImageList_GetImageCount(ImageListHandle(list))) << "three 16-pixel images of the form's bitmap";
    // Set afterwards, the Resource loads the same way.
    EXPECT_EQ(1, Call(list, 6, {})) << "RemoveAll";
    ASSERT_EQ(0, SetProp(list, 87, 77));
    EXPECT_EQ(3, ImageList_GetImageCount(ImageListHandle(list)));
    gPictResourceHooks.formResource = nullptr;
    ObjectDestroy(list);
}

}  // namespace

// A top-level window of its own class painted in one solid colour.
HWND SolidWindow(COLORREF colour, int x, int y, int w, int h) {
    static HBRUSH brush;
    static COLORREF registered = CLR_INVALID;
    const char* cls = "QovPictSolid";
    if (registered != colour) {
        UnregisterClassA(cls, GetModuleHandleA(nullptr));
        if (brush) DeleteObject(brush);
        brush = CreateSolidBrush(colour);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = brush;
        wc.lpszClassName = cls;
        RegisterClassA(&wc);
        registered = colour;
    }
    HWND wnd = CreateWindowExA(WS_EX_TOPMOST, cls, "", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(wnd);
    return wnd;
}

TEST_F(PictTest, PicturesOfWindowsAndOfBitmaps) {
    HWND solid = SolidWindow(RGB(200, 30, 40), 50, 60, 90, 70);
    ASSERT_NE(nullptr, solid);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    int32_t code = 1;
    ObjectRecord* p = PictCreateFromWindow(solid, win_, true, &code);
    ASSERT_NE(nullptr, p) << code;
    EXPECT_EQ(0, code);
    EXPECT_EQ(win_, p->parent);
    EXPECT_EQ(p, ObjectFindChildByKey(win_, 0, nullptr)) << "linked into its parent";
    struct Expect { int32_t got, want; const char* why; };
    const Expect kPlaced[] = {
        {p->left, 1000, "placed at 1000 across"},
        {p->top, 1000, "and down"},
        {p->right - p->left, 90, "as wide as the window"},
        {p->bottom - p->top, 70, "as high"},
        {int32_t(Prop(p, kSizeH)), 90, "the image is the window's size"},
        {int32_t(Prop(p, kSizeV)), 70, ""},
        {int32_t(Prop(p, kScale)), 100, "fitted, at most 100 %"},
    };
    for (const Expect& e : kPlaced) EXPECT_EQ(e.want, e.got) << e.why;
    HPALETTE pal = nullptr;
    int err = 0;
    HBITMAP bm = PictBitmapOf(p, &pal, &err);
    ASSERT_NE(nullptr, bm);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bm);
    EXPECT_EQ(RGB(200, 30, 40), GetPixel(mem, 45, 35) & 0xFFFFFF) << "the window's pixels";
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bm);
    ObjectDestroy(p);

    ShowWindow(solid, SW_HIDE);
    code = 1;
    EXPECT_EQ(nullptr, PictCreateFromWindow(solid, win_, true, &code)) << "a hidden window gives no picture";
    EXPECT_EQ(0, code) << "and no error";
    DestroyWindow(solid);

    HDC screen = GetDC(nullptr);
    HBITMAP twelve = CreateCompatibleBitmap(screen, 12, 8);
    ReleaseDC(nullptr, screen);
    code = 0;
    EXPECT_EQ(nullptr, PictCreateFromBitmap(nullptr, nullptr, win_, true, &code));
    EXPECT_EQ(-3, code) << "no bitmap";
    ObjectRecord* unlinked = PictCreateFromBitmap(twelve, nullptr, win_, false, &code);
    ASSERT_NE(nullptr, unlinked) << code;
    EXPECT_EQ(nullptr, ObjectFindChildByKey(win_, 0, nullptr)) << "not linked when not asked";
    EXPECT_EQ(12u, Prop(unlinked, kSizeH));
    ObjectOpsOf(unlinked)->destroy(unlinked);
    DeleteObject(twelve);
}

TEST_F(PictTest, ActivationRepaintsTheWindowsPicturesInPanelsToo) {
    std::string path = WriteBmp24("qovpict_act.bmp", 20, 20, [](uint32_t, uint32_t) { return RGB(0, 0, 255); });
    ObjectRecord* p = MakePict(path, 10, 10, 20, 20);
    ASSERT_NE(nullptr, p);
    UpdateWindow(win_->hwnd);
    ValidateRect(win_->hwnd, nullptr);
    RECT r;
    EXPECT_FALSE(GetUpdateRect(win_->hwnd, &r, FALSE));
    // The window's own activation reaches the pictures through its event list.
    SendMessageA(win_->hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(GetUpdateRect(win_->hwnd, &r, FALSE)) << "a deactivation repaints nothing";
    SendMessageA(win_->hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    ASSERT_TRUE(GetUpdateRect(win_->hwnd, &r, FALSE));
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(30, r.bottom) << "only the picture's rectangle";
    ValidateRect(win_->hwnd, nullptr);
    ObjectDeactivate(p);
    ValidateRect(win_->hwnd, nullptr);
    SendMessageA(win_->hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(GetUpdateRect(win_->hwnd, &r, FALSE)) << "a hidden picture is left alone";
    ObjectDestroy(p);
}

TEST_F(IconTest, IconsOfHandlesAndInTheTextWindowsCells) {
    auto ico = IcoBytes(Pattern, [](uint32_t, uint32_t) { return false; });
    std::string path = WriteTemp("qovicon_cells.ico", ico);
    ASSERT_FALSE(path.empty());
    name_ = "!" + path;
    struct Case { int32_t row, column; int32_t code, left, top; const char* why; };
    const Case kCases[] = {
        {2, 3, 0, 2 * kCellWidth, 1 * kCellHeight, "row 2 column 3: one line down, two cells in"},
        {1, 1, 0, 0, 0, "the first cell"},
        {0, 3, -4, 0, 0, "no row"},
        {2, 0, -4, 0, 0, "no column"},
    };
    for (const Case& c : kCases) {
        CreateRecordReset(&cr_);
        cr_.windowRec = gMainWindowP;
        cr_.top = c.row, cr_.left = c.column;
        cr_.texts[kPicture] = CrText{name_.c_str(), uint32_t(name_.size())};
        int32_t code = 0;
        ObjectRecord* icon = ObjectCreate(kTypeIcon, &cr_, &code);
        EXPECT_EQ(c.code, code) << c.why;
        if (!icon) continue;
        EXPECT_EQ(c.left, icon->left) << c.why;
        EXPECT_EQ(c.top, icon->top) << c.why;
        EXPECT_EQ(32, icon->right - icon->left) << "the loaded icon keeps its own size";
        ObjectDestroy(icon);
    }

    HICON source = static_cast<HICON>(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
    ASSERT_NE(nullptr, source);
    int32_t code = 1;
    ObjectRecord* icon = IconCreateFromHandle(source, win_, &code);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(0, code);
    EXPECT_EQ(1000, icon->left);
    EXPECT_EQ(1032, icon->bottom) << "32 x 32 at (1000, 1000)";
    EXPECT_NE(nullptr, IconOf(icon));
    EXPECT_NE(source, IconOf(icon)) << "the icon shows a copy";
    ObjectDestroy(icon);
    ICONINFO info = {};
    EXPECT_TRUE(GetIconInfo(source, &info)) << "the caller's icon outlives the object";
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    DestroyIcon(source);
}

// List and tree views show image lists: each list they take holds one use,
// the views follow a rebuilt list's new handle, let go of a list that goes
// (slot 18) and release theirs when destroyed.
TEST_F(IconTest, ListAndTreeViewsShowImageListsAndHoldAUse) {
    int32_t code = 0;
    ObjectRecord* list = MakeList16(&code);
    ASSERT_NE(nullptr, list) << code;
    std::string strip = WriteBmp24("qovil_views.bmp", 32, 16, Pattern);
    const std::string bang = "!" + strip;
    ASSERT_EQ(0, Call(list, 1, {}, bang.c_str()));
    auto makeView = [&](uint32_t type) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = 10, cr_.width = 200, cr_.height = 100;
        cr_.flags0 |= kCrVisible;
        int32_t c = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr_, &c);
        EXPECT_NE(nullptr, rec) << c;
        return rec;
    };
    ObjectRecord* lv = makeView(kTypeListview);
    ObjectRecord* tv = makeView(kTypeTreeview);
    ASSERT_TRUE(lv && tv);
    auto lvList = [&](WPARAM which) {
        return reinterpret_cast<HIMAGELIST>(SendMessageA(lv->hwnd, LVM_GETIMAGELIST, which, 0));
    };
    struct Case { ObjectRecord* view; uint32_t id; int32_t value; int32_t result; const char* why; };
    const Case kCases[] = {
        {lv, 271, int32_t(list->handle), 0, "the small icons of a list view"},
        {lv, 270, int32_t(win_->handle), -3, "a window is no image list"},
        {lv, 272, 0, 0, "0 is no list"},
        {tv, 270, int32_t(list->handle), 0, "the tree view's list"},
    };
    for (const Case& c : kCases) EXPECT_EQ(c.result, SetProp(c.view, c.id, c.value)) << c.why;
    EXPECT_EQ(ImageListHandle(list), lvList(LVSIL_SMALL));
    EXPECT_EQ(nullptr, lvList(LVSIL_NORMAL)) << "a refused list changes nothing";
    EXPECT_EQ(list->handle, Prop(lv, 271));
    EXPECT_EQ(0u, Prop(lv, 270));
    EXPECT_EQ(ImageListHandle(list), reinterpret_cast<HIMAGELIST>(SendMessageA(tv->hwnd, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)));
    EXPECT_EQ(list->handle, Prop(tv, 270));

    // ImageSizeH builds a new list: the views are handed its handle.
    HIMAGELIST before = ImageListHandle(list);
    ASSERT_EQ(0, SetProp(list, 131, 32));
    EXPECT_NE(before, ImageListHandle(list));
    EXPECT_EQ(ImageListHandle(list), lvList(LVSIL_SMALL)) << "the list view follows the rebuilt list";
    EXPECT_EQ(ImageListHandle(list), reinterpret_cast<HIMAGELIST>(SendMessageA(tv->hwnd, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)));

    // Two users: the server's destroy takes the handle at once, but the list
    // lives on for the views until the last of them lets it go.
    HIMAGELIST shown = ImageListHandle(list);
    EXPECT_EQ(0, ObjectDestroy(list));
    EXPECT_EQ(shown, ImageListHandle(list)) << "the views still hold it";
    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(lvList(LVSIL_SMALL), &cx, &cy)) << "and their list is whole";
    EXPECT_EQ(32, cx) << "the rebuilt list's width";
    EXPECT_EQ(0, ObjectDestroy(tv));
    EXPECT_EQ(shown, ImageListHandle(list)) << "one view still holds it";
    // Slot 18: told that the list goes, the list view lets go of it.
    ObjectOpsOf(lv)->imageListReleased(lv, list);
    EXPECT_EQ(nullptr, lvList(LVSIL_SMALL));
    EXPECT_EQ(0u, Prop(lv, 271));
    EXPECT_EQ(nullptr, ImageListHandle(list)) << "the last release freed it";
    EXPECT_EQ(0, ObjectDestroy(lv));
}

// An icon anchored to stretch keeps its 32 x 32 pixels, centred in the room
// its anchor gives it; one that only moves keeps moving whole.
TEST_F(IconTest, AnchoredIconsKeepTheirSizeCentred) {
    auto ico = IcoBytes(Pattern, [](uint32_t, uint32_t) { return false; });
    std::string path = WriteTemp("qovicon_anchor.ico", ico);
    ASSERT_FALSE(path.empty());
    name_ = "!" + path;
    RECT client;
    GetClientRect(win_->hwnd, &client);
    struct Case { uint8_t anchor; int32_t left, top, right, bottom; const char* why; };
    const Case kCases[] = {
        {5, 70, 40, 102, 72, "stretched both ways: centred in (20,10)-(152,102)"},
        {8, 70, 10, 102, 42, "stretched across only"},
        {3, 120, 70, 152, 102, "moved with the bottom-right corner, whole"},
        {7, 20, 10, 52, 42, "the top-left anchor keeps it where it is"},
    };
    for (const Case& c : kCases) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 20, cr_.top = 10;
        cr_.texts[kPicture] = CrText{name_.c_str(), uint32_t(name_.size())};
        int32_t code = 0;
        ObjectRecord* icon = ObjectCreate(kTypeIcon, &cr_, &code);
        ASSERT_NE(nullptr, icon) << code;
        icon->anchor = c.anchor;
        WindowResizeChildren(win_, client.right - 100, client.bottom - 60);
        EXPECT_EQ(c.left, icon->left) << c.why;
        EXPECT_EQ(c.top, icon->top) << c.why;
        EXPECT_EQ(c.right, icon->right) << c.why;
        EXPECT_EQ(c.bottom, icon->bottom) << c.why;
        ObjectDestroy(icon);
    }
}
