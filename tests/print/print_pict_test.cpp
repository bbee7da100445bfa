// print_pict_test.cpp - pictures printed through the program's own start-up
// wiring (the Pict object hands its image to the print job as in the client):
// bit-field and run-length BMP files that ImageMagick drew at test time
// (make_pictures.sh) are printed on the test printer, previewed, spooled into
// a kept file and printed from it, and written into PDF files; the checker
// reads the pages and the PDF images back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/wiring.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/kindcodes.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "print/print.h"
#include "print/prtpreview.h"
#include "session/config.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"
#include "tests/print/prtjobtest.h"
#include "tests/testutil.h"

int32_t PrtTestDispatch(const SrvMsg* msg) { return PrtHandleMsg(msg); }

namespace {

constexpr uint32_t kPicture = 122, kNoResize = 22;
constexpr int kBands = 4;
// The four bands of every test picture, left to right (make_pictures.sh).
const COLORREF kBandColours[kBands] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(230, 200, 40)};
// The box of the pictures in 0.1 mm: 80 x 40 mm, as wide as the 40 x 20
// pictures are, so that fitting fills it.
constexpr uint16_t kBoxLeft = 100, kBoxRight = 900, kBoxTop = 100, kBoxBottom = 500;
constexpr int kTenthMmPerInch = 254;

class PictPrint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InstallFacilities();
        RuntimeStartup();
        ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
    }
    void SetUp() override {
        ClientConfigDefaults();
        gClientConfig.decimalChar = '.';
        DeleteFileA(kLpt1Capture);
        CreateDirectoryA(kOutDir, nullptr);
        CreateRecordReset(&cr_);
        cr_.winType = kWinNormal;
        cr_.width = 300, cr_.height = 200, cr_.right = 300, cr_.bottom = 200;
        cr_.units = kUnitsPixels;
        int32_t code = 0;
        win_ = WindowObjectCreate(nullptr, &cr_, &code);
        ASSERT_NE(nullptr, win_) << code;
    }
    void TearDown() override {
        if (gCurPrtRec) PrtCloseDefault(gCurPrtRec);
        ObjectDestroy(win_);
    }
    // A Pict object of the window showing a file of the working folder.
    ObjectRecord* MakePict(const std::string& file) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.width = 40, cr_.height = 20;
        name_ = "!" + file;
        cr_.texts[kPicture] = CrText{name_.c_str(), static_cast<uint32_t>(name_.size())};
        cr_.values[kNoResize] = 1, cr_.given[kNoResize] = 1;
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypePict, &cr_, &code);
        EXPECT_NE(nullptr, rec) << file << ": " << code;
        return rec;
    }
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    std::string name_;
    PrinterRec geom_ = {};
};

// The Pict's Rotate method (2): its answer.
int32_t Rotate(ObjectRecord* pict, int32_t degrees) {
    MethodCallRec call = {};
    call.method = 2;
    call.noCheck = 1;
    call.result.kind = kItemInt;
    call.result.varRef = 501;
    call.args[0].kind = kItemInt;
    call.args[0].value = static_cast<uint64_t>(static_cast<int64_t>(degrees));
    call.argPresent[0] = 1;
    call.argCount = 1;
    return InvokeForReply(pict, &call);
}

// 2209 of a Pict into the box, in 0.1 mm; the message's own answer.
int32_t DrawPicture(ObjectRecord* pict, uint32_t mode = 0) {
    Control(280, 3);
    return Msg(2209).U32(pict->handle).U32(mode).U16(kBoxTop).U16(kBoxBottom).U16(kBoxLeft).U16(kBoxRight).Run();
}

// The centre of each band, for the checker: device pixels of the job.
void ExpectBands(const std::string& name, const PrinterRec* job) {
    Expect e(name, job);
    double dpi = job->dpiX;
    for (int i = 0; i < kBands; i++) {
        double x = (kBoxLeft + (i + 0.5) * (kBoxRight - kBoxLeft) / kBands) * dpi / kTenthMmPerInch;
        double y = (kBoxTop + kBoxBottom) / 2.0 * dpi / kTenthMmPerInch;
        COLORREF c = kBandColours[i];
        e.Pixel(x, y, GetRValue(c), GetGValue(c), GetBValue(c));
    }
}

// The PDF file's first image against the picture file, within 8 per channel.
void ExpectPdfImage(const std::string& name, const std::string& picture) {
    CopyFileA(picture.c_str(), (std::string(kOutDir) + "\\" + picture).c_str(), FALSE);
    ExpectPdf ep(name);
    fprintf(ep.f, "imagelike 0 %s\n", picture.c_str());
}

// The preview window's pixels: for each band colour, whether it shows.
struct PreviewColours {
    bool seen[kBands] = {};
    bool window = false;
};

bool Near(COLORREF a, COLORREF b) {
    return abs(GetRValue(a) - GetRValue(b)) <= 8 && abs(GetGValue(a) - GetGValue(b)) <= 8 &&
           abs(GetBValue(a) - GetBValue(b)) <= 8;
}

// Looks at the preview until every band colour shows (or the deadline
// passes), then closes it with the button given.
struct PreviewDriver {
    PreviewColours colours;
    int endButton;
};

DWORD WINAPI WatchPreview(void* arg) {
    auto* d = static_cast<PreviewDriver*>(arg);
    HWND w = nullptr;
    for (DWORD start = GetTickCount(); !w && GetTickCount() - start < 10000;) {
        w = FindWindowA("QovPrtPrevWin", nullptr);
        if (!w || !IsWindowVisible(w)) w = nullptr, Sleep(20);
    }
    if (!w) return 0;
    d->colours.window = true;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
        // The screen under the window: its page area is a child window.
        RECT rc;
        GetWindowRect(w, &rc);
        HDC dc = GetDC(nullptr);
        for (int y = rc.top; y < rc.bottom; y += 2)
            for (int x = rc.left; x < rc.right; x += 2) {
                COLORREF c = GetPixel(dc, x, y);
                for (int i = 0; i < kBands; i++)
                    if (Near(c, kBandColours[i])) d->colours.seen[i] = true;
            }
        ReleaseDC(nullptr, dc);
        bool all = true;
        for (bool s : d->colours.seen) all = all && s;
        if (all) break;
        Sleep(50);
    }
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(d->endButton, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, d->endButton)));
    return 0;
}

// Closes a preview job while the driver looks at the preview.
Answer1147 ClosePreviewWatched(uint32_t handle, PreviewDriver* driver) {
    HANDLE t = CreateThread(nullptr, 0, WatchPreview, driver, 0, nullptr);
    // No server here: the answers found no connection and marked the session
    // ended, which would end the preview's loop at once.
    gSession.state = kSessionIdle;
    Answer1147 z = Close(handle);
    WaitForSingleObject(t, 30000);
    CloseHandle(t);
    return z;
}

// ---- Pictures ----------------------------------------------------------------------------

struct PictureCase {
    const char* file;
    const char* name;
    bool pdf;  // written into PDF files; run-length pixels are refused there
    const char* why;
};
const PictureCase kPictureCases[] = {
    {"pict-565.bmp", "pict565", true, "5-6-5 bit fields"},
    {"pict-32.bmp", "pict32", true, "32-bit bit fields"},
    {"pict-rle8.bmp", "pictrle8", false, "run-length 8-bit"},
};

// Each picture printed on the test printer, previewed and printed from the
// preview, spooled into a kept file and printed from it: every band in its
// colour. Bit-field pictures go into PDF files within 8 per channel of
// ImageMagick's reading; a run-length one is refused there with 21272.
TEST_F(PictPrint, PicturesKeepTheirColoursEverywhere) {
    for (const PictureCase& c : kPictureCases) {
        SCOPED_TRACE(c.why);
        ObjectRecord* pict = MakePict(c.file);
        ASSERT_NE(nullptr, pict);

        Answer1147 a = Open("QovTest", c.name);
        PrinterRec* job = PrtJobFromHandle(a.value);
        ASSERT_NE(nullptr, job);
        PrinterRec geom = {};  // the page geometry, for the expectations after the close
        geom.dpiX = job->dpiX;
        geom.physOffsetX = job->physOffsetX;
        geom.physOffsetY = job->physOffsetY;
        EXPECT_EQ(0, DrawPicture(pict));
        ExpectBands(c.name, &geom);
        EXPECT_EQ(0u, Close(a.value).value) << "printed directly";
        EXPECT_TRUE(KeepCapture(c.name));

        std::string spool = std::string(kOutDir) + "\\" + c.name + ".spl";
        DeleteFileA(spool.c_str());
        a = OpenTitled("QovTest", spool, "", 0);
        ASSERT_NE(nullptr, PrtJobFromHandle(a.value));
        EXPECT_EQ(0, DrawPicture(pict));
        ExpectBands(std::string(c.name) + "-spooled", &geom);
        EXPECT_EQ(0u, CloseWith(a.value, 3).value) << "spooled, the file kept";
        EXPECT_TRUE(KeepCapture(std::string(c.name) + "-spooled"));
        Answer1147 r = OpenFromSpool(1203, spool, "QovTest", 1, 1);
        EXPECT_EQ(0u, r.value) << "printed from the kept file";
        ExpectBands(std::string(c.name) + "-reprint", &geom);
        EXPECT_TRUE(KeepCapture(std::string(c.name) + "-reprint"));

        a = OpenTitled("@QovTest", "", "", 0);
        ASSERT_NE(0u, a.value);
        EXPECT_EQ(0, DrawPicture(pict));
        PreviewDriver driver = {{}, kPrevIdPrint};
        DeleteFileA(kLpt1Capture);
        Answer1147 z = ClosePreviewWatched(a.value, &driver);
        EXPECT_EQ(0u, z.value) << "previewed, then printed from the preview";
        EXPECT_TRUE(driver.colours.window) << "the preview came up";
        for (int i = 0; i < kBands; i++) EXPECT_TRUE(driver.colours.seen[i]) << "the preview shows band " << i;
        ExpectBands(std::string(c.name) + "-previewed", &geom);
        EXPECT_TRUE(KeepCapture(std::string(c.name) + "-previewed"));

        std::string pdf = WinPath(std::string(kOutDir) + "\\" + c.name + "pdf.pdf");
        DeleteFileA(pdf.c_str());
        a = OpenPdf(pdf);
        ASSERT_NE(0u, a.value);
        int32_t drawn = DrawPicture(pict);
        z = Close(a.value);
        if (c.pdf) {
            EXPECT_EQ(0, drawn);
            EXPECT_EQ(0u, z.value) << "into a PDF file";
            ExpectPdfImage(std::string(c.name) + "pdf", c.file);
        } else {
            EXPECT_EQ(kPrtImageNotDrawn, drawn) << "run-length pixels are not written into PDF files";
            EXPECT_EQ(static_cast<uint32_t>(kPrtImageNotDrawn), z.value);
        }
        ObjectDestroy(pict);
    }
}

// The spool file refers to a picture already in it: the Pict remembers where
// it went. The same view mode and part give a reference (15 with its box);
// another mode, or a new image in the Pict between, store it again. The
// file prints the same pictures as drawn.
TEST_F(PictPrint, OnePictureTwiceIsSpooledOnce) {
    struct Case {
        uint32_t secondMode;
        bool newImage;
        std::vector<uint8_t> types;
        const char* why;
    };
    const Case cases[] = {
        {0, false, {6, 15}, "the same picture twice: one image and a reference with its box"},
        {1, false, {6, 6}, "mode 0 then 1: stored twice"},
        {0, true, {6, 6}, "a new image between: stored twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ObjectRecord* pict = MakePict("pict-565.bmp");
        ASSERT_NE(nullptr, pict);
        Answer1147 g = Open("QovTest", "geometry");
        PrinterRec* job = PrtJobFromHandle(g.value);
        ASSERT_NE(nullptr, job);
        geom_.dpiX = job->dpiX;
        geom_.physOffsetX = job->physOffsetX;
        geom_.physOffsetY = job->physOffsetY;
        CloseWith(g.value, 1);
        const char* spool = "out\\pictmemo.spl";
        DeleteFileA(spool);
        // A preview job spools without drawing on the printer at once.
        Answer1147 a = OpenTitled("@QovTest", spool, "", 0);
        ASSERT_NE(0u, a.value);
        EXPECT_EQ(0, DrawPicture(pict));
        if (c.newImage) {
            EXPECT_EQ(1, Rotate(pict, 180)) << "turned: a new image";
        }
        EXPECT_EQ(0, DrawPicture(pict, c.secondMode));
        EXPECT_EQ(0u, CloseWith(a.value, 3).value);
        SpoolFileRead f(spool);
        ASSERT_EQ(0, f.result);
        std::vector<uint8_t> images;
        for (uint8_t t : f.Types())
            if (t == 6 || t == 15) images.push_back(t);
        EXPECT_EQ(c.types, images);
        Answer1147 r = OpenFromSpool(1203, spool, "QovTest", 1, 1);
        EXPECT_EQ(0u, r.value) << "the file prints";
        if (!c.newImage && c.secondMode == 0) {
            ExpectBands("pictmemo-reprint", &geom_);
            EXPECT_TRUE(KeepCapture("pictmemo-reprint"));
        }
        ObjectDestroy(pict);
    }
}

// ---- Paths from the window layer -----------------------------------------------------------------

// A window's PrintForm (method 9) prints its image on the default printer as
// the screen dump does; a hidden window has no image to print.
TEST_F(PictPrint, PrintFormPrintsTheWindowsImage) {
    auto printForm = [&] {
        MethodCallRec call = {};
        call.method = 9;
        call.noCheck = 1;
        call.result.kind = kItemInt;
        call.result.varRef = 501;
        return InvokeForReply(win_, &call);
    };
    ObjectActivate(win_, 0, 0, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(win_->hwnd) != FALSE; }));
    EXPECT_EQ(0, printForm());
    std::ifstream f(kLpt1Capture, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, page.find("%%Title: Screen Dump")) << "the screen dump's page";
    EXPECT_NE(std::string::npos, page.find("/ImageType")) << "holding the window's image";
    f.close();
    EXPECT_TRUE(KeepCapture("printform"));
    ObjectDeactivate(win_);
    EXPECT_EQ(-2, printForm()) << "a hidden window";
}

// A native data list with Printer on lists the printers as the print
// facility finds them, then "pdf:", the first row selected; off, it is empty.
TEST_F(PictPrint, DataListWithPrinterOnListsThePrinters) {
    HWND plain = CreateWindowA("LISTBOX", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    PrtListPrinters(plain);
    auto rows = [](HWND list) {
        std::vector<std::string> items;
        const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; i++) {
            char buf[256] = "";
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
            items.push_back(buf);
        }
        return items;
    };
    const std::vector<std::string> printers = rows(plain);
    DestroyWindow(plain);
    ASSERT_GE(printers.size(), 2u);
    EXPECT_EQ("pdf:", printers.back());

    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.width = 100, cr_.height = 80;
    cr_.values[kPidPrinter] = 1, cr_.given[kPidPrinter] = 1;
    int32_t code = 0;
    ObjectRecord* list = ObjectCreate(kTypeDatalist, &cr_, &code);
    ASSERT_NE(nullptr, list) << code;
    EXPECT_EQ(printers, rows(list->hwnd));
    EXPECT_EQ(0, SendMessageA(list->hwnd, LB_GETCURSEL, 0, 0));
    EXPECT_EQ(1u, ObjectOpsOf(list)->getProp(list, kPidPrinter));
    PropChange off = {};
    off.id = kPidPrinter;
    off.value = 0;
    EXPECT_EQ(0, ObjectOpsOf(list)->setProp(list, &off));
    EXPECT_TRUE(rows(list->hwnd).empty());
    EXPECT_EQ(0u, ObjectOpsOf(list)->getProp(list, kPidPrinter));
    PropChange on = off;
    on.value = 1;
    EXPECT_EQ(0, ObjectOpsOf(list)->setProp(list, &on));
    EXPECT_EQ(printers, rows(list->hwnd)) << "set on again";
    ObjectDestroy(list);
}

}  // namespace
