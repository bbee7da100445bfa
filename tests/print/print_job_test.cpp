// print_job_test.cpp - print jobs on the test printers under Wine: opens and
// closes through the message handlers with the 1147 answers read back from the
// send buffer, selection and stale handles, printer selection and information,
// the dialogs pressed by a helper, and pages whose PostScript the checker
// reads back (positions of words, fill pixels, page size) from the .expect
// files written here.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "objects/font.h"
#include "objects/objrecord.h"
#include "objects/objhooks.h"
#include "objects/guihooks.h"
#include "print/print.h"
#include "print/prtpreview.h"
#include "session/config.h"
#include "session/session.h"
#include "tests/print/prtjobtest.h"
#include "tests/print/prttestmsg.h"
#include "tests/testutil.h"

int32_t PrtTestDispatch(const SrvMsg* msg) { return PrtHandleMsg(msg); }

namespace {

class PrintJob : public ::testing::Test {
protected:
    void SetUp() override {
        ClientConfigDefaults();
        gClientConfig.decimalChar = '.';
        DeleteFileA(kLpt1Capture);
        gPrtDlgHook = nullptr;
    }
    void TearDown() override {
        if (gCurPrtRec) PrtCloseDefault(gCurPrtRec);
    }
};

TEST_F(PrintJob, OpenAnswersHandleAndName) {
    struct Case {
        std::string name;
        bool ok;
        const char* answered;
        const char* error;
        const char* why;
    };
    const Case cases[] = {
        {"QovTest", true, "QovTest", "", "a printer by name"},
        {"-", true, "QovTest", "", "the default printer"},
        {"!QovTestA4", true, "QovTestA4", "", "a leading ! is skipped"},
        {"QovTest on LPT2:", true, "QovTest on LPT2:", "", "printer on a port"},
        {"NoSuchPrinter", false, "NoSuchPrinter", "PRT: printerPorts Fail!", "missing from printerPorts: 303"},
        {std::string("QovTest\0x", 9), false, "", "PRT: the printer name holds a NUL!",
         "a name holding a NUL: refused as a printer not found, never QovTest"},
    };
    for (const Case& c : cases) {
        Answer1147 a = Open(c.name);
        EXPECT_EQ(1147u, a.type) << c.why;
        EXPECT_EQ(c.answered, a.text) << c.why;
        EXPECT_EQ(a.text.size() + 1, a.textLen) << c.why;
        EXPECT_EQ(16u + a.textLen, a.count) << c.why << ": 12 + 4 + the text with its NUL";
        EXPECT_EQ(0u, a.detail) << c.why;
        EXPECT_EQ(c.error, std::string(gErrorText)) << c.why;
        if (!c.ok) {
            EXPECT_EQ(0u, a.value) << c.why;
            continue;
        }
        PrinterRec* job = PrtJobFromHandle(a.value);
        ASSERT_NE(nullptr, job) << c.why;
        EXPECT_EQ(job, gCurPrtRec) << c.why;
        EXPECT_EQ(kPrtMagic, job->magic);
        Answer1147 z = Close(a.value);
        EXPECT_EQ(0u, z.value) << c.why;
        EXPECT_EQ(1u, z.pages) << c.why;
        EXPECT_EQ(1u, z.copies) << c.why;
        EXPECT_EQ(0u, z.textLen) << c.why;
    }
}

TEST_F(PrintJob, StaleHandlesAnswer21270) {
    Answer1147 a = Open("QovTest");
    ASSERT_NE(0u, a.value);
    EXPECT_EQ(0, Msg(1200).U32(a.value).Run());
    EXPECT_EQ(0u, Close(a.value).value);
    EXPECT_EQ(nullptr, gCurPrtRec);
    EXPECT_EQ(static_cast<uint32_t>(kPrtNotAJob), Close(a.value).value) << "closed twice";
    EXPECT_EQ(kPrtNotAJob, Msg(1200).U32(a.value).Run()) << "selecting a closed job";
    EXPECT_EQ(kPrtNotAJob, Msg(1204).U32(a.value).Run()) << "closing a closed job by default";
    EXPECT_EQ(kPrtNotAJob, Msg(1200).U32(0x12345678).Run()) << "a handle never given out";
    // The next job often gets the closed job's memory; never its handle.
    Answer1147 b = Open("QovTest");
    ASSERT_NE(0u, b.value);
    EXPECT_NE(a.value, b.value);
    EXPECT_EQ(static_cast<uint32_t>(kPrtNotAJob), Close(a.value).value) << "the closed handle, another job open";
    EXPECT_EQ(gCurPrtRec, PrtJobFromHandle(b.value)) << "the open job is untouched";
    EXPECT_EQ(0u, Close(b.value).value);
}

TEST_F(PrintJob, FirstDrawingFailureIsReturnedByClose) {
    struct Case {
        void (*draw)();
        uint32_t result;
        const char* why;
    };
    const Case cases[] = {
        {[] { Font("NOSUCHFAMILY(10)"); Font("FIXED(10)"); }, 21271, "a font not made, then a good one"},
        {[] { Msg(2204).U16(40).Pad(2).Text("short").Run(); }, static_cast<uint32_t>(kPrtBadMessage),
         "a text length past the message"},
        {[] { Msg(2207).U32(1000).Text("FIXED").Run(); }, static_cast<uint32_t>(kPrtBadMessage),
         "a font length past the message"},
        {[] { Text("fine"); }, 0, "no failure"},
    };
    for (const Case& c : cases) {
        Answer1147 a = Open("QovTest");
        ASSERT_NE(0u, a.value);
        c.draw();
        Answer1147 z = Close(a.value);
        EXPECT_EQ(c.result, z.value) << c.why;
    }
}

// The handle of a Font object the font rows below send in 2207.
uint32_t gFontObject;

TEST_F(PrintJob, JobFontsAreSharedFontsOfTheDevice) {
    ObjectRecord* obj = FontObjCreate(FontCreateShared("Times New Roman", 140, 0, 1, 0, nullptr, 0, 0, 0));
    ASSERT_NE(nullptr, obj);
    gFontObject = obj->handle;
    const uint32_t before = FontListCount();
    struct Case {
        void (*draw)();
        const char* face;
        int32_t size;
        uint8_t bold, italic;
        int errNo;
        const char* why;
    };
    const Case cases[] = {
        {[] {}, "Courier New", 110, 0, 0, 0, "the default font: Courier New at 11 points"},
        {[] { Font("HELVETICA(12,BOLD)"); }, "Arial", 120, 1, 0, 0, "a font text"},
        {[] { Font("FIXED(10)"); Font("FIXED(10)"); }, "Courier New", 100, 0, 0, 0, "the same text twice"},
        {[] { Font("FIXED(10)"); Control(253, 0); }, "Courier New", 100, 1, 0, 0, "bold on makes it again"},
        {[] { Msg(2207).U32(65535).U32(gFontObject).Run(); }, "Times New Roman", 140, 0, 1, 0,
         "a Font object's font made for the printer"},
        {[] { Font("NOSUCHFAMILY(10)"); }, "Courier New", 110, 0, 0, kFontTextBadFace,
         "a face that is no keyword: the job font stays, 25 in the error cell"},
        {[] { Msg(2207).U32(65535).U32(0x7654321).Run(); }, "Courier New", 110, 0, 0, kFontTextBadFace,
         "a handle that is no Font object"},
    };
    for (const Case& c : cases) {
        Answer1147 a = Open("QovTest");
        PrinterRec* job = PrtJobFromHandle(a.value);
        ASSERT_NE(nullptr, job) << c.why;
        c.draw();
        ASSERT_NE(nullptr, job->font) << c.why;
        EXPECT_STREQ(c.face, job->font->face) << c.why;
        EXPECT_EQ(c.size, job->font->size) << c.why;
        EXPECT_EQ(c.bold, job->font->bold) << c.why;
        EXPECT_EQ(c.italic, job->font->italic) << c.why;
        EXPECT_EQ(1u, job->font->users) << c.why << ": the job holds one use";
        EXPECT_EQ(1u, job->font->deviceFlag) << c.why;
        EXPECT_EQ(job->dc, job->font->dc) << c.why << ": made for the printer, not the screen";
        EXPECT_EQ(c.errNo, gPrtErrNo) << c.why;
        Close(a.value);
        EXPECT_EQ(before, FontListCount()) << c.why << ": the close drops every font of the job";
    }
    FontObjDestroyAll();
}

void DrawThreePages();

TEST_F(PrintJob, CleanupClosesEveryJob) {
    const uint32_t before = FontListCount();
    Answer1147 a = Open("QovTest");
    Font("FIXED(10)");
    Answer1147 b = Open("QovTestA4");
    Font("FIXED(10)");
    PrinterRec* ja = PrtJobFromHandle(a.value);
    PrinterRec* jb = PrtJobFromHandle(b.value);
    ASSERT_NE(nullptr, ja);
    ASSERT_NE(nullptr, jb);
    EXPECT_NE(ja->font, jb->font) << "one description on two devices: two fonts";
    EXPECT_EQ(jb, gCurPrtRec);
    // A preview job left open: at exit it is abandoned, never shown to a person
    // (a preview here would wait for ever).
    Answer1147 c = OpenTitled("@QovTest", "", "", 0);
    ASSERT_NE(0u, c.value);
    DrawThreePages();
    Msg(1200).U32(b.value).Run();
    PrtCleanup();
    EXPECT_EQ(nullptr, PrtJobFromHandle(c.value)) << "the preview job is closed without its preview";
    EXPECT_EQ(nullptr, FindWindowA("QovPrtPrevWin", nullptr));
    EXPECT_EQ(nullptr, PrtJobFromHandle(a.value)) << "the job that was not current is closed too";
    EXPECT_EQ(nullptr, PrtJobFromHandle(b.value));
    EXPECT_EQ(nullptr, gCurPrtRec);
    EXPECT_EQ(before, FontListCount());
}

TEST_F(PrintJob, NamedPrinterKeepsItsOwnPaper) {
    Answer1147 a = Open("QovTestA4");
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    EXPECT_EQ(DMPAPER_A4, job->setup[kPsPaperSize]) << "not the default printer's Letter";
    struct Case {
        uint32_t index;
        int32_t expect;
        const char* why;
    };
    const Case cases[] = {
        {1, GetDeviceCaps(job->dc, HORZRES) / static_cast<int32_t>(job->cellWidth), "characters per line"},
        {2, GetDeviceCaps(job->dc, VERTRES) / static_cast<int32_t>(job->cellHeight), "lines per page"},
        {3, GetDeviceCaps(job->dc, HORZRES), "page width"},
        {4, GetDeviceCaps(job->dc, VERTRES), "page height"},
        {5, 0, "another index"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expect, Msg(1201).U32(c.index).Run()) << c.why;
    // A4 less its imageable margins at 600 dpi: (824 - 18) points high.
    EXPECT_NEAR(806 * 600 / 72, Msg(1201).U32(4).Run(), 2);
    Close(a.value);
    a = Open("-");
    EXPECT_NEAR(756 * 600 / 72, Msg(1201).U32(4).Run(), 2) << "the default printer's Letter";
    Close(a.value);
}

TEST_F(PrintJob, PrinterInformation) {
    struct Case {
        uint32_t code;
        const char* text;
        bool number;
        const char* why;
    };
    const Case cases[] = {
        {277, "QovTest", false, "printer name"},
        {279, "LPT1:", false, "port"},
        {280, "Wine PostScript Driver", false, "driver"},
        {281, "Qovtervex test printer", false, "comment"},
        {285, nullptr, true, "attributes: a number, no text"},
        {300, nullptr, false, "a code without meaning"},
        {275, nullptr, false, "below the range"},
    };
    for (const Case& c : cases) {
        int32_t value = -7;
        const char* text = PrtGetInfo(nullptr, "QovTest", c.code, &value);
        if (c.text) {
            ASSERT_NE(nullptr, text) << c.why;
            EXPECT_STREQ(c.text, text) << c.why;
            EXPECT_EQ(static_cast<int32_t>(strlen(c.text)), value) << c.why;
        } else {
            EXPECT_EQ(nullptr, text) << c.why;
            if (!c.number) {
                EXPECT_EQ(0, value) << c.why;
            }
        }
    }
    int32_t bins = 0;
    PrtGetInfo(nullptr, "QovTest", 338, &bins);
    int32_t len = 0;
    const char* numbers = PrtGetInfo(nullptr, "QovTest", 340, &len);
    if (bins > 0) {
        ASSERT_NE(nullptr, numbers);
        size_t items = 1;
        for (const char* p = numbers; *p; p++) items += *p == ';';
        EXPECT_EQ(static_cast<size_t>(bins < 100 ? bins : 100), items) << numbers;
    }
}

TEST_F(PrintJob, PrinterListEndsWithPdf) {
    HWND list = CreateWindowA("LISTBOX", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, list);
    PrtListPrinters(list);
    int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    std::vector<std::string> items;
    for (int i = 0; i < n; i++) {
        char buf[256] = "";
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
        items.push_back(buf);
    }
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ("pdf:", items.back());
    EXPECT_NE(std::find(items.begin(), items.end(), "QovTest"), items.end());
    EXPECT_NE(std::find(items.begin(), items.end(), "QovTestA4"), items.end());
    DestroyWindow(list);
}

// The dialog helper: presses a button of each dialog as soon as it is up.
int gPressButton;
void PressButton(HWND dlg) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(gPressButton, BN_CLICKED), 0); }

TEST_F(PrintJob, PrintDialogOkAndCancel) {
    gPrtDlgHook = PressButton;
    struct Case {
        const char* name;
        int button;
        bool opened;
        uint32_t detail;
        const char* why;
    };
    const Case cases[] = {
        {"", IDOK, true, 0, "an empty name runs the print dialog"},
        {"!@?", IDOK, true, 0, "\"!@?\" runs it as \"@?\" does"},
        {"", IDCANCEL, false, 1, "a cancel answers handle 0 with detail 1"},
    };
    for (const Case& c : cases) {
        gPressButton = c.button;
        Answer1147 a = Open(c.name);
        EXPECT_EQ(c.opened, a.value != 0) << c.why;
        EXPECT_EQ(c.detail, a.detail) << c.why;
        if (a.value) {
            EXPECT_EQ("QovTest", a.text) << c.why;
            PrinterRec* job = PrtJobFromHandle(a.value);
            ASSERT_NE(nullptr, job);
            EXPECT_NE(nullptr, job->dc) << c.why;
            EXPECT_TRUE(job->flags & kPrtFlagAllPages) << c.why;
            Close(a.value);
        }
    }
    gPressButton = IDCANCEL;
    EXPECT_EQ(1, Msg(1207).U32(0).Run()) << "page set-up dialog cancelled";
    EXPECT_EQ(1, gPrtDlgCancelled);
    gPressButton = IDOK;
    EXPECT_EQ(0, Msg(1207).U32(0).Run()) << "page set-up dialog OK";
    EXPECT_EQ(0, gPrtDlgCancelled);
}

// A picture facility for the image rows below: Pict 77 is a 2 x 2 red image.
const uint32_t kTestPict = 77;
bool TestPictImage(uint32_t pict, uint32_t, PrtImageInput* out) {
    static BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    static const uint8_t bits[16] = {0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0};
    if (pict != kTestPict) return false;
    *out = PrtImageInput();
    out->header = &header;
    out->bits = bits;
    return true;
}

void DrawWord() { Text("WORD"); }
void DrawNothing() {}
void DrawPict(uint32_t pict) { Msg(2209).U32(pict).U32(0).U16(1).U16(5).U16(1).U16(5).Run(); }
void DrawOption(uint32_t type, const std::string& text) {
    Msg(type).U16(static_cast<uint16_t>(text.size())).Pad(2).Text(text).Run();
}

// A job that cannot do its work (no picture, an option text that does not
// parse or that the document refuses, no font file for its text) answers a
// failure at its close, never the success of a job done; the rows without
// such a need answer 0. A PDF file whose encryption was refused is not left
// behind in the clear, written directly or from the spool file, and the
// spool file keeps the refusal: reopened into a PDF file (1203) it is refused
// the same way, nothing written.
TEST_F(PrintJob, WorkWithoutItsFacilityIsAnsweredAsAFailure) {
    gPrtDlgHook = PressButton;
    gPressButton = IDOK;
    gPrtPictImage = nullptr;
    CreateDirectoryA(kOutDir, nullptr);
    const std::string pdf = WinPath(std::string(kOutDir) + "\\facility.pdf");
    struct Case {
        const char* name;
        const char* spool;
        bool pdfTarget;
        uint32_t options;
        bool pictures;  // the test picture facility in place
        void (*draw)();
        uint32_t result;
        int32_t errNo;  // the error cell after the close; -1: not looked at
        const char* why;
        bool fileLeft = true;  // a PDF target's file is there after the close
        bool reopened = false;  // the kept spool file is reopened into the PDF file: the same answer
    };
    const Case cases[] = {
        {"QovTest", "", false, 0, false, DrawWord, 0, -1, "a printer job draws at once"},
        {"QovTest", "", false, 0, false, [] { DrawPict(kTestPict); }, 21272, -1, "no picture facility hands an image over"},
        {"QovTest", "", false, 0, true, [] { DrawPict(kTestPict); }, 0, -1, "an image handed over is drawn"},
        {"QovTest", "", false, 0, true, [] { DrawPict(5); }, 21272, -1, "a Pict that gives no image"},
        {"", "", true, 0, true, [] { DrawPict(kTestPict); }, 0, -1, "a picture in a PDF file"},
        {"", "", true, 0, true, [] { DrawPict(5); }, 21272, -1, "a Pict that gives no image, in a PDF file"},
        {"QovTest", "", false, 0, false, [] { DrawOption(2216, "FILE=a.txt"); }, 21296, 101, "attachment option"},
        {"QovTest", "", false, 0, false, [] { DrawOption(2218, "TITLE=t"); }, 21296, 102, "information option"},
        {"QovTest", "", false, 0, false, [] { DrawOption(2218, "T=t"); }, 0, -1, "a printer job only parses it"},
        {"", "", true, 0, false, [] { DrawOption(2217, "USERPWD=secret"); }, 21296, 103,
         "an encryption text that does not parse: never written in the clear as if encrypted", false},
        {"", "", true, 0, false, [] { DrawOption(2217, "U=\"abc"); DrawWord(); }, 21296, 103,
         "a quoted password never closed, then a line", false},
        {"", "", true, 0, false, [] { Msg(2217).U16(9).Pad(2).Text("U=secret").Run(); DrawWord(); }, 21296, 103,
         "an encryption text one byte longer than its message: never written in the clear", false},
        {"", "facility.spl", true, 0, false, [] { DrawOption(2217, "U=\"abc"); DrawWord(); }, 21296, 103,
         "the same, spooled", false, true},
        {"", "facility.spl", true, 0, false, [] { Msg(2217).U16(9).Pad(2).Text("U=secret").Run(); DrawWord(); },
         21296, 103, "one longer than its message, spooled", false, true},
        {"", "", true, 0, false, [] { DrawOption(2217, "U=secret,O=boss"); }, 0, -1, "encryption of a PDF file"},
        {"", "", true, 0, false, [] { DrawOption(2218, "T=t,A=me"); }, 0, -1, "information of a PDF file"},
        {"", "", true, 0, false, [] { DrawOption(2218, "T=t"); DrawOption(2218, "T=u"); }, 21296, 106,
         "a second information option"},
        {"", "", true, 0, false, [] { DrawOption(2218, "T=t"); DrawOption(2217, "U=s"); }, 21296, 107,
         "encryption after information written in the clear", false},
        {"", "", true, 0, false, [] { DrawOption(2216, "F=out\\missing.txt"); }, 21296, 105, "a file that does not open"},
        {"", "", true, 0, false, [] { DrawOption(2219, "F=b.pdf"); }, 21296, 111, "a page of a file that is not there"},
        {"", "", true, 0, false, [] { DrawOption(2219, "FILE=b.pdf"); }, 21296, 110, "an import text that does not parse"},
        {"", "", true, 0x10000000, false, DrawWord, 21271, 2, "UTF-16 texts want TrueType fonts: no font for the text"},
        {"", "", true, 0x10000000, false, DrawNothing, 0, -1, "the same document without a text"},
        {"", "", true, 0, false, DrawWord, 0, -1, "a PDF target with its standard font"},
    };
    for (const Case& c : cases) {
        gPrtPictImage = c.pictures ? TestPictImage : nullptr;
        DeleteFileA(pdf.c_str());
        Answer1147 a = c.pdfTarget ? OpenTitled("pdf:", c.spool, pdf, c.options) : OpenTitled(c.name, c.spool, "", c.options);
        ASSERT_NE(0u, a.value) << c.why;
        c.draw();
        Answer1147 z = Close(a.value);
        EXPECT_EQ(c.result, z.value) << c.why;
        if (c.errNo >= 0) {
            EXPECT_EQ(c.errNo, gPrtErrNo) << c.why;
        }
        EXPECT_EQ(nullptr, PrtJobFromHandle(a.value)) << c.why << ": the job is closed all the same";
        if (c.pdfTarget) {
            EXPECT_EQ(c.fileLeft, GetFileAttributesA(pdf.c_str()) != INVALID_FILE_ATTRIBUTES) << c.why;
        }
        if (c.reopened) {
            Answer1147 r = OpenFromSpool(1203, c.spool, "pdf:", 0, 0, 0, pdf);
            EXPECT_EQ(c.result, r.value) << c.why << ", reopened";
            EXPECT_EQ(static_cast<uint32_t>(c.errNo), r.detail) << c.why << ", reopened";
            EXPECT_FALSE(FileExists(pdf)) << c.why << ", reopened: never written in the clear";
            DeleteFileA(c.spool);
        }
    }
    gPrtPictImage = nullptr;
}

TEST_F(PrintJob, TextsLandWhereTheArithmeticSays) {
    Answer1147 a = Open("QovTest", "texts");
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    const double cw = job->cellWidth, ch = job->cellHeight;
    Expect e("texts", job);
    // Character cells, counted from 1.
    Pos(5, 3);
    Text("LEFTCELL");
    e.Word("LEFTCELL", 0, 4 * cw, 2 * ch, 3 * ch);
    struct Align {
        uint16_t code;
        const char* word;
        int k;
        const char* why;
    };
    const Align aligns[] = {
        {3, "RIGHTALIGNED", 12, "right: the text ends at the column"},
        {4, "CENTRED", 3, "centre: half the width each side"},  // 7 characters: 3.5 cells left
        {1, "12.50", 3, "decimal: the right edge of the point"},
        {1, ".5", 1, "decimal: a leading point"},
        {1, "1250", 4, "decimal without a point: right"},
        {0, "LEFTAGAIN", 0, "left"},
    };
    uint16_t row = 5;
    for (const Align& al : aligns) {
        Control(281, al.code);
        Pos(40, row);
        Text(al.word);
        double x = 39 * cw;
        if (al.code == 4) x -= (strlen(al.word) * cw) / 2 - al.k * cw;  // centre of an odd word
        e.Word(al.word, al.k, x, (row - 1) * ch, row * ch);
        row++;
    }
    // Right alignment in cells leaves the column where it was: the next text follows it.
    Control(281, 3);
    Pos(40, 13);
    Text("AAA");
    Control(281, 0);
    Text("BBB");
    e.Word("AAABBB", 3, 39 * cw, 12 * ch, 13 * ch);
    // Metric and English modes: 0.1 mm and 0.01 inch from the page origin.
    const double dpi = job->dpiX;
    Control(280, 3);
    Pos(500, 800);
    Text("METRIC");
    e.Word("METRIC", 0, 500 * dpi / 254, 800 * dpi / 254, 800 * dpi / 254 + ch);
    Control(280, 2);
    Control(281, 3);
    Pos(300, 400);
    Text("INCHRIGHT");
    e.Word("INCHRIGHT", 9, 300 * dpi / 100, 400 * dpi / 100, 400 * dpi / 100 + ch);
    Control(281, 0);
    Control(280, 6);
    Pos(2400, 3000);
    Text("PIXELS");
    e.Word("PIXELS", 0, 2400, 3000, 3000 + ch);
    // A left margin of 10 cells moves the origin: margin minus the physical offset.
    Control(280, 1);
    Control(297, 10);
    Pos(1, 40);
    Text("MARGIN");
    e.Word("MARGIN", 0, 10 * cw - job->physOffsetX, 39 * ch, 40 * ch);
    Control(297, 0);
    // A region: right alignment ends at its right edge (column 30's left edge).
    Control(281, 3);
    Msg(2215).U16(42).U16(43).U16(10).U16(30).Run();
    Text("INREGION");
    e.Word("INREGION", 8, 29 * cw, 41 * ch, 42 * ch);
    Control(281, 0);
    EXPECT_EQ(0u, Close(a.value).value);
    EXPECT_TRUE(KeepCapture("texts"));
}

// The position part of the device information record (row, column, mode,
// cell sizes, row and column fields: the last 52 characters), read as the
// server reads it, in device pixels.
std::string PositionOfJob(uint32_t handle) {
    constexpr uint32_t kDeviceInfo = 258, kUnitsPixels = 6;
    constexpr size_t kPositionPart = 52;
    const char* text = nullptr;
    int32_t n = PrtTestInfoRequest(kDeviceInfo, kUnitsPixels, 0, handle, "", &text);
    if (n < static_cast<int32_t>(kPositionPart) || !text) return "";
    return std::string(text + n - kPositionPart, kPositionPart);
}

// A job that only records its texts (spooled, printed at the close) measures
// them when their width is first needed; the column the server reads back
// is the same as that of a job drawing at once, whatever follows the text.
TEST_F(PrintJob, RecordedTextsMoveTheColumnAsDrawnOnes) {
    struct Case {
        void (*steps)();
        const char* why;
    };
    const Case cases[] = {
        {[] { Pos(5, 3); Text("WIDTH"); }, "the column moves by the text's width"},
        {[] { Pos(5, 3); Text("AB"); Text("CDEF"); }, "a second text follows the first"},
        {[] { Control(281, 3); Pos(40, 5); Text("RIGHT"); Control(281, 0); }, "right alignment, then left again"},
        {[] { Control(281, 1); Pos(40, 5); Text("12.50"); Text("7"); }, "decimal alignment, two texts"},
        {[] { Pos(5, 3); Text("GONE"); Pos(9, 4); }, "a position replaces the column"},
        {[] { Pos(5, 3); Text("GONE"); Pos(9, 4); Text("KEPT"); }, "a text after the replaced one"},
        {[] { Pos(2, 2); Text("OLD FONT"); Font("HELVETICA(24,BOLD)"); }, "a font change after the text"},
        {[] { Pos(2, 2); Text("MOVED"); Control(261, 3); }, "a column step after the text"},
        {[] { Pos(2, 2); Text("METRIC"); Control(280, 3); }, "a coordinate mode after the text converts it"},
        {[] { Control(280, 3); Pos(500, 800); Text("TENTHS"); }, "a text in tenths of a millimetre"},
        {[] { Pos(2, 2); Text("FED"); Control(102, 1); }, "a form feed after the text homes the position"},
        {[] { Msg(2215).U16(42).U16(43).U16(10).U16(30).Run(); Text("INREGION"); }, "a text in a region"},
    };
    for (const Case& c : cases) {
        Answer1147 direct = Open("QovTest", "direct");
        ASSERT_NE(0u, direct.value) << c.why;
        c.steps();
        std::string drawn = PositionOfJob(direct.value);
        Answer1147 spooled = OpenTitled("QovTest", "recorded.spl", "", 0);
        ASSERT_NE(0u, spooled.value) << c.why;
        c.steps();
        std::string recorded = PositionOfJob(spooled.value);
        ASSERT_FALSE(drawn.empty()) << c.why;
        EXPECT_EQ(drawn, recorded) << c.why;
        EXPECT_EQ(0u, Close(spooled.value).value) << c.why;
        EXPECT_EQ(0u, Close(direct.value).value) << c.why;
    }
    DeleteFileA("recorded.spl");
}

TEST_F(PrintJob, EveryCoordinateModePlacesTexts) {
    Answer1147 a = Open("QovTest", "modes");
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    Expect e("modes", job);
    const double dpi = job->dpiX, ch = job->cellHeight;
    struct Case {
        uint16_t mode, x, y;
        double unitsPerInch;  // 0: device pixels
        const char* word;
        const char* why;
    };
    const Case cases[] = {
        {2, 300, 100, 100, "LOENGLISH", "0.01 inch"},
        {3, 500, 500, 254, "LOMETRIC", "0.1 mm"},
        {4, 4000, 1500, 1000, "HIENGLISH", "0.001 inch"},
        {5, 10000, 8000, 2540, "HIMETRIC", "0.01 mm"},
        {7, 2880, 3600, 1440, "TWIPS", "1/1440 inch"},
        {6, 600, 3600, 0, "DEVICEPIXELS", "device pixels"},
        {9, 2400, 3600, 0, "OTHERMODE", "a mode outside 1-8 is device pixels"},
    };
    for (const Case& c : cases) {
        Control(280, c.mode);
        Pos(c.x, c.y);
        Text(c.word);
        double x = c.unitsPerInch ? c.x * dpi / c.unitsPerInch : c.x;
        double y = c.unitsPerInch ? c.y * dpi / c.unitsPerInch : c.y;
        e.Word(c.word, 0, x, y, y + ch);
    }
    // Mode 8: cells of the job font (here 20 points), counted from 1.
    Font("FIXED(20)");
    Control(280, 8);
    EXPECT_EQ(job->fontCellWidth, job->cellWidth);
    EXPECT_EQ(job->fontCellHeight, job->cellHeight);
    Pos(3, 20);
    Text("FONTCELLS");
    e.Word("FONTCELLS", 0, 2.0 * job->fontCellWidth, 19.0 * job->fontCellHeight, 20.0 * job->fontCellHeight);
    // Mode 1 again: the default font's cells, whatever the job font is.
    Control(280, 1);
    EXPECT_EQ(job->defCellWidth, job->cellWidth);
    Pos(5, 60);
    Font("FIXED(10)");
    Text("DEFAULTCELLS");
    e.Word("DEFAULTCELLS", 0, 4.0 * job->defCellWidth, 59.0 * job->defCellHeight, 60.0 * job->defCellHeight);
    EXPECT_EQ(0u, Close(a.value).value);
    EXPECT_TRUE(KeepCapture("modes"));
}

TEST_F(PrintJob, ShapesFillOrNot) {
    Answer1147 a = Open("QovTest", "shapes");
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    Expect e("shapes", job);
    Control(280, 6);
    Msg(2203).U32(271).U32(4).Run();  // red background: the brush
    // Unfilled rectangle: white inside, the black pen on its edge.
    Msg(2210).U16(600).Pad(2).U16(1200).Pad(2).U16(600).Pad(2).U16(1200).Pad(2).Run();
    e.Pixel(900, 900, 255, 255, 255);
    Control(282, 1);
    Msg(2210).U16(600).Pad(2).U16(1200).Pad(2).U16(1800).Pad(2).U16(2400).Pad(2).Run();
    e.Pixel(2100, 900, 255, 0, 0);
    Msg(2211).Pad(2).U16(1800).U16(2400).U16(600).U16(1200).Run();
    e.Pixel(900, 2100, 255, 0, 0);
    e.Pixel(620, 1820, 255, 255, 255);  // outside the ellipse, inside its box
    Msg(2212).Pad(2).U16(1800).U16(2400).U16(1800).U16(2400).U16(300).U16(300).Run();
    e.Pixel(2100, 2100, 255, 0, 0);
    Control(282, 0);
    Msg(2211).Pad(2).U16(3000).U16(3600).U16(600).U16(1200).Run();
    e.Pixel(900, 3300, 255, 255, 255);
    // A line in the text colour, 48 pixels wide.
    Msg(2203).U32(270).U32(1).Run();  // blue
    Control(283, 48);
    Pos(1800, 3300);
    Msg(2208).U16(2400).Pad(2).U16(3300).Run();
    e.Pixel(2100, 3300, 0, 0, 255);
    EXPECT_EQ(0u, Close(a.value).value);
    EXPECT_TRUE(KeepCapture("shapes"));
}

TEST_F(PrintJob, PageSetupCodesGiveA4Landscape) {
    Answer1147 a = Open("QovTest", "landscape");
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    Expect e("landscape", job);
    Control(277, 2);
    Control(289, DMPAPER_A4);
    Pos(2, 2);
    Text("LANDSCAPE");
    Control(102, 1);
    Text("SECOND");
    // The default printer is Letter portrait: the codes alone make it A4 landscape.
    e.PsContains("%%Orientation: Landscape");
    e.PsContains("*PageSize A4");
    e.Page(2, 595, 842);
    Answer1147 z = Close(a.value);
    EXPECT_EQ(0u, z.value);
    EXPECT_EQ(2u, z.pages) << "one form feed, two pages";
    EXPECT_TRUE(KeepCapture("landscape"));
}

TEST_F(PrintJob, FormFeedCountsPagesAndHomes) {
    Answer1147 a = Open("QovTest", "pages");
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    Expect e("pages", job);
    Pos(10, 10);
    Control(102, 0);
    EXPECT_EQ(0, job->column) << "102 with 0 only homes the position";
    EXPECT_EQ(1, job->pageNumber);
    Text("FIRST");
    Control(102, 3);
    EXPECT_EQ(2, job->pageNumber) << "102 with 3: two blank pages and this one end, one count";
    Text("LAST");
    for (int p = 1; p <= 4; p++) e.Page(p, 612, 792);
    Answer1147 z = Close(a.value);
    EXPECT_EQ(2u, z.pages);
    EXPECT_TRUE(KeepCapture("pages"));
}

TEST_F(PrintJob, PdfTargetGoesToThePdfWriter) {
    CreateDirectoryA(kOutDir, nullptr);
    std::string file = WinPath(std::string(kOutDir) + "\\target.pdf");
    DeleteFileA(file.c_str());
    Answer1147 a = OpenPdf(file);
    ASSERT_NE(0u, a.value);
    EXPECT_EQ("pdf:", a.text);
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    EXPECT_NE(nullptr, job->pdf);
    EXPECT_EQ(nullptr, job->dc);
    const int32_t pdfValues[] = {90, 67, 5100, 6600};
    for (uint32_t i = 1; i <= 4; i++) EXPECT_EQ(pdfValues[i - 1], Msg(1201).U32(i).Run()) << "index " << i;
    int32_t len = 0;
    const char* name = PrtGetInfo(job, "", 348, &len);
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ(file.c_str(), name);
    // The words must come back out of the file (the checker reads it with
    // pdftotext): a text that never reached the page fails there.
    ExpectPdf e("target");
    Pos(3, 3);
    Text("PDFWORD");
    Font("HELVETICA(14,BOLD)");
    Pos(10, 20);
    Text("HELVETICAWORD");
    Control(102, 1);
    Text("SECONDPAGE");
    e.Text(1, "PDFWORD");
    e.Text(1, "HELVETICAWORD");
    e.Text(2, "SECONDPAGE");
    Answer1147 z = Close(a.value);
    EXPECT_EQ(0u, z.value);
    EXPECT_EQ(2u, z.pages);
    FILE* f = fopen(file.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    char head[8] = "";
    EXPECT_EQ(5u, fread(head, 1, 5, f));
    fclose(f);
    EXPECT_EQ(0, strncmp(head, "%PDF-", 5));

    // A file name fits in 250 characters and holds no NUL. One that does not
    // is refused at the open, directly, spooled for a PDF file or reopening
    // a spool file (refused before the spool file is looked for): cut at the
    // limit or at the NUL, it would write (or overwrite) another file.
    // Nothing is written under either name.
    const std::string folder = WinPath(kOutDir) + "\\";
    const std::string longest = folder + std::string(kPrtTitleMax - folder.size() - 4, 'd') + ".pdf";
    const std::string tooLong = folder + std::string(300, 'd') + ".pdf";
    const std::string cut = tooLong.substr(0, kPrtTitleMax);
    const std::string nulCut = folder + "nulname.pdf";
    const std::string nulName = nulCut + std::string(1, '\0') + "other.pdf";
    struct Case {
        const std::string& name;
        const std::string& cut;  // the file the name cut would be
        const char* spool;
        bool fromSpool;
        bool opens;
        const char* why;
    };
    const Case cases[] = {
        {longest, cut, "", false, true, "250 characters fit"},
        {tooLong, cut, "", false, false, "a name past 250 characters"},
        {tooLong, cut, "out\\longname.spl", false, false, "the same, spooled for a PDF file at the close"},
        {tooLong, cut, "out\\no-such.spl", true, false, "the same, reopening a spool file (1203): 21264"},
        {nulName, nulCut, "", false, false, "a name holding a NUL"},
        {nulName, nulCut, "out\\nulname.spl", false, false, "the same, spooled for a PDF file at the close"},
        {nulName, nulCut, "out\\no-such.spl", true, false, "the same, reopening a spool file (1203): 21264"},
    };
    for (const Case& c : cases) {
        DeleteFileA(c.name.c_str());
        DeleteFileA(c.cut.c_str());
        if (c.fromSpool) {
            EXPECT_EQ(21264u, OpenFromSpool(1203, c.spool, "pdf:", 0, 0, 0, c.name).value) << c.why;
        } else {
            Answer1147 b = OpenTitled("pdf:", c.spool, c.name, 0);
            EXPECT_EQ(c.opens, b.value != 0) << c.why;
            EXPECT_EQ(0u, b.detail) << c.why;
            if (b.value) {
                Text("LONGNAME");
                EXPECT_EQ(0u, Close(b.value).value) << c.why;
            }
        }
        EXPECT_EQ(c.opens, FileExists(c.name)) << c.why;
        EXPECT_FALSE(FileExists(c.cut)) << c.why << ": nothing under the cut name";
        DeleteFileA(c.name.c_str());
    }

    // A spool name holding a NUL likewise: no spool file is made under the
    // name cut at the NUL, and a spool file there is not reopened (18691).
    const std::string spoolCut = "out\\nulspool.spl", spoolNul = spoolCut + std::string(1, '\0') + ".x";
    const std::string reprinted = folder + "nulspool.pdf";
    DeleteFileA(spoolCut.c_str());
    EXPECT_EQ(0u, OpenTitled("pdf:", spoolNul, reprinted, 0).value);
    EXPECT_FALSE(FileExists(spoolCut)) << "no spool file under the cut name";
    Answer1147 kept = OpenTitled("pdf:", spoolCut, reprinted, 0);
    ASSERT_NE(0u, kept.value);
    Text("KEPT");
    EXPECT_EQ(0u, Close(kept.value).value);
    ASSERT_TRUE(FileExists(spoolCut));
    DeleteFileA(reprinted.c_str());
    EXPECT_EQ(18691u, OpenFromSpool(1203, spoolNul, "pdf:", 0, 0, 0, reprinted).value);
    EXPECT_FALSE(FileExists(reprinted)) << "the spool file under the cut name is not replayed";
    DeleteFileA(spoolCut.c_str());
}

// 5,000 UTF-16 characters (marked FF FE) in one 2204 reach the PDF page
// whole in a standard font: the file (streams uncompressed) shows every one
// of them in the text's string.
TEST_F(PrintJob, LongUtf16TextReachesThePdfPageWhole) {
    constexpr size_t kChars = 5000;
    constexpr uint32_t kUncompressed = 1u << 16;
    CreateDirectoryA(kOutDir, nullptr);
    std::string file = WinPath(std::string(kOutDir) + "\\longtext.pdf");
    DeleteFileA(file.c_str());
    Answer1147 a = OpenPdf(file, kUncompressed);
    ASSERT_NE(0u, a.value);
    std::string wide = "\xFF\xFE";  // the byte-order mark of a UTF-16 text
    std::string narrow;
    for (size_t i = 0; i < kChars; i++) {
        char c = static_cast<char>('A' + i % 26);
        wide += c;
        wide += '\0';
        narrow += c;
    }
    Pos(1, 3);
    Text(wide);
    EXPECT_EQ(0u, Close(a.value).value);
    FILE* f = fopen(file.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    std::string pdf;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) pdf.append(buf, n);
    fclose(f);
    size_t at = pdf.find(" Td (");
    ASSERT_NE(std::string::npos, at);
    size_t end = pdf.find(") Tj", at);
    ASSERT_NE(std::string::npos, end);
    EXPECT_EQ(narrow, pdf.substr(at + 5, end - at - 5)) << "every character shown";
}

TEST_F(PrintJob, SpoolNameGetsTheExtensionOnlyWhenItFits) {
    snprintf(gClientConfig.spoolExt, sizeof gClientConfig.spoolExt, "SPL0");
    struct Case {
        std::string spool;
        bool opened;
        const char* why;
    };
    const Case cases[] = {
        {"out\\job", true, "a name without a dot gets one and the extension"},
        {std::string("out\\") + std::string(251, 'a'), false, "a 255-byte name cannot take \".SPL0\""},
        {std::string(256, 'b'), false, "a spool name of 256 bytes fails the open"},
    };
    CreateDirectoryA(kOutDir, nullptr);
    for (const Case& c : cases) {
        Msg m(1202);
        m.U32(0).U32(7).U32(0).U32(0).U32(static_cast<uint32_t>(c.spool.size())).U8(0).Text("QovTest").Text(c.spool);
        m.Run();
        Answer1147 a = Sent1147();
        EXPECT_EQ(c.opened, a.value != 0) << c.why;
        if (!a.value) continue;
        PrinterRec* job = PrtJobFromHandle(a.value);
        ASSERT_NE(nullptr, job);
        EXPECT_EQ(c.spool + ".SPL0", job->spoolName) << c.why;
        Answer1147 z = Close(a.value);
        EXPECT_EQ(0u, z.value) << c.why << ": nothing drawn, nothing printed";
    }
}

// ---- Spool files ---------------------------------------------------------------------


// Three pages, each with its word.
void DrawThreePages() {
    Pos(5, 5);
    Text("ONE");
    Control(102, 1);
    Pos(5, 6);
    Text("TWO");
    Control(102, 1);
    Pos(5, 7);
    Text("THREE");
}


TEST_F(PrintJob, SpooledJobsAtClose) {
    CreateDirectoryA(kOutDir, nullptr);
    struct Case {
        const char* name;
        const char* spool;
        uint32_t closeOptions;
        void (*draw)();
        uint32_t result, pages;
        bool kept;
        const char* why;
    };
    const Case cases[] = {
        {"@QovTest", "", 0, DrawNothing, 0, 1, false, "a preview job that drew nothing shows nothing"},
        {"@QovTest", "", 1, DrawThreePages, 0, 3, false, "abandoned: no preview, the temporary file goes"},
        {"QovTest", "out\\kept.spl", 3, DrawThreePages, 0, 2, true, "options 3 keep a named spool file complete"},
        {"QovTest", "out\\dropped.spl", 1, DrawThreePages, 0, 2, false, "options 1 delete it"},
    };
    for (const Case& c : cases) {
        DeleteFileA(c.spool);
        Answer1147 a = OpenTitled(c.name, c.spool, "", 0);
        ASSERT_NE(0u, a.value) << c.why;
        PrinterRec* job = PrtJobFromHandle(a.value);
        ASSERT_NE(nullptr, job);
        std::string spoolName = job->spoolName;
        c.draw();
        Answer1147 z = CloseWith(a.value, c.closeOptions);
        EXPECT_EQ(c.result, z.value) << c.why;
        EXPECT_EQ(c.pages, z.pages) << c.why;
        EXPECT_EQ(c.kept, FileExists(spoolName)) << c.why << ": " << spoolName;
        if (!c.kept) continue;
        SpoolFileRead f(spoolName);
        EXPECT_EQ(0, f.result) << c.why;
        EXPECT_EQ(3u, f.r.pages) << c.why;
        EXPECT_STREQ("Qovtervex test", f.r.docName) << c.why;
        EXPECT_TRUE(f.r.longForm) << c.why << ": the short header is a setting";
    }
}

TEST_F(PrintJob, SpooledJobPrintsAtClose) {
    CreateDirectoryA(kOutDir, nullptr);
    Answer1147 a = OpenTitled("QovTest", "out\\printed.spl", "", 0);
    ASSERT_NE(0u, a.value);
    PrinterRec* job = PrtJobFromHandle(a.value);
    ASSERT_NE(nullptr, job);
    Expect e("spoolprint", job);
    DrawThreePages();
    e.Word("ONE", 0, 4 * job->cellWidth, 4 * job->cellHeight, 5 * job->cellHeight);
    fprintf(e.f, "pages 3\n");
    Answer1147 z = Close(a.value);
    EXPECT_EQ(0u, z.value);
    EXPECT_EQ(3u, z.pages) << "the pages played from the file";
    EXPECT_TRUE(KeepCapture("spoolprint"));

    // The same drawing into a PDF file by way of the spool file.
    std::string pdf = WinPath(std::string(kOutDir) + "\\spooledpdf.pdf");
    DeleteFileA(pdf.c_str());
    Answer1147 b = OpenTitled("pdf:", "out\\spooledpdf.spl", pdf, 0);
    ASSERT_NE(0u, b.value);
    ExpectPdf ep("spooledpdf");
    DrawThreePages();
    ep.Text(1, "ONE");
    ep.Text(2, "TWO");
    ep.Text(3, "THREE");
    fprintf(ep.f, "pages 3\n");
    Answer1147 zb = Close(b.value);
    EXPECT_EQ(0u, zb.value);
    EXPECT_TRUE(FileExists(pdf));
}

// A document the spooler loses at its end (the port writes to a full
// device) is the close's failure, with the Windows error in the text: a
// one-page job and a spooled job printed at the close.
TEST_F(PrintJob, LostDocumentsFailTheClose) {
    CreateDirectoryA(kOutDir, nullptr);
    FullSpoolerPort full;
    ASSERT_NE(nullptr, full.key) << "the set-up named the port's capture";
    struct Case {
        const char* spool;
        void (*draw)();
        const char* why;
    };
    const Case cases[] = {
        {"", [] { Text("LOST"); }, "a one-page job"},
        {"out\\lost.spl", DrawThreePages, "a spooled job printed at the close"},
    };
    for (const Case& c : cases) {
        Answer1147 a = OpenTitled("QovTest", c.spool, "", 0);
        ASSERT_NE(0u, a.value) << c.why;
        c.draw();
        Answer1147 z = Close(a.value);
        EXPECT_EQ(static_cast<uint32_t>(kPrtNoMemory), z.value) << c.why;
        EXPECT_EQ(0, strncmp(gErrorText, "WINERR:0x", 9)) << c.why << ": " << gErrorText;
    }
}

// The test picture with its memo, as the picture facility keeps it.
SpoolImageMemo gTestMemo;
bool TestPictWithMemo(uint32_t pict, uint32_t mode, PrtImageInput* out) {
    if (!TestPictImage(pict, mode, out)) return false;
    out->identity[0] = pict;
    out->memo = &gTestMemo;
    return true;
}

// Image objects in a written PDF file.
size_t PdfImageCount(const std::string& path) {
    std::string pdf;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return 0;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) pdf.append(buf, n);
    fclose(f);
    size_t count = 0;
    for (size_t at = pdf.find("/Subtype /Image"); at != std::string::npos; at = pdf.find("/Subtype /Image", at + 1)) count++;
    return count;
}

// A picture on three pages of a PDF file: written once when the job spools
// (the replay names it by its record's place) or when the picture has an
// identity; written anew each time without one.
TEST_F(PrintJob, OnePictureOnThreePagesOfAPdfFile) {
    CreateDirectoryA(kOutDir, nullptr);
    struct Case {
        const char* spool;
        bool identity;
        size_t images;
        const char* why;
    };
    const Case cases[] = {
        {"out\\pictpdf.spl", true, 1, "spooled: one record, two references"},
        {"", true, 1, "drawn at once with an identity"},
        {"", false, 3, "drawn at once without one"},
    };
    for (const Case& c : cases) {
        gTestMemo = SpoolImageMemo();
        gPrtPictImage = c.identity ? TestPictWithMemo : TestPictImage;
        std::string pdf = WinPath(std::string(kOutDir) + "\\pictpages.pdf");
        DeleteFileA(pdf.c_str());
        Answer1147 a = OpenTitled("pdf:", c.spool, pdf, 0);
        ASSERT_NE(0u, a.value) << c.why;
        for (int page = 0; page < 3; page++) {
            if (page) Control(102, 1);
            DrawPict(kTestPict);
        }
        Answer1147 z = Close(a.value);
        EXPECT_EQ(0u, z.value) << c.why;
        EXPECT_EQ(c.images, PdfImageCount(pdf)) << c.why;
    }
    gPrtPictImage = nullptr;
}

// PDF options go into the spool file as records of their kind (a text longer
// than one 4094-byte chunk in one record); a text that does not parse is not
// spooled, and the close reports it.
TEST_F(PrintJob, PdfOptionsAreSpooledAsRecords) {
    CreateDirectoryA(kOutDir, nullptr);
    Answer1147 a = OpenTitled("QovTest", "out\\options.spl", "", 0);
    ASSERT_NE(0u, a.value);
    DrawOption(2217, "U=a,O=b");
    DrawOption(2218, "TITLE=not parsed");
    DrawOption(2218, "T=" + std::string(5000, 'x'));
    DrawOption(2219, "F=letter.pdf,P=2");
    Text("WORD");
    Answer1147 z = CloseWith(a.value, 3);
    EXPECT_EQ(21296u, z.value) << "the text that did not parse";
    SpoolFileRead f("out\\options.spl");
    ASSERT_EQ(0, f.result);
    EXPECT_EQ((std::vector<uint8_t>{18, 17, 19, 3}), f.Types()) << "encryption, information, import, the text";
}

TEST_F(PrintJob, OnePictureTwiceIsSpooledOnce) {
    CreateDirectoryA(kOutDir, nullptr);
    gTestMemo = SpoolImageMemo();
    gPrtPictImage = TestPictWithMemo;
    Answer1147 a = OpenTitled("QovTest", "out\\pict.spl", "", 0);
    ASSERT_NE(0u, a.value);
    DrawPict(kTestPict);
    Msg(2209).U32(kTestPict).U32(0).U16(10).U16(20).U16(10).U16(20).Run();
    Answer1147 z = CloseWith(a.value, 3);
    EXPECT_EQ(0u, z.value);
    gPrtPictImage = nullptr;
    SpoolFileRead f("out\\pict.spl");
    ASSERT_EQ(0, f.result);
    EXPECT_EQ(5u, f.r.fileVersion) << "an image reference raises the version";
    EXPECT_EQ((std::vector<uint8_t>{6, 15}), f.Types()) << "one image, then a reference with its rectangle";
    EXPECT_NE(0u, gTestMemo.generation);
}


TEST_F(PrintJob, OpenFromSpoolReprintsPages) {
    CreateDirectoryA(kOutDir, nullptr);
    Answer1147 a = OpenTitled("QovTest", "out\\reprint.spl", "", 0);
    ASSERT_NE(0u, a.value);
    DrawThreePages();
    ASSERT_EQ(0u, CloseWith(a.value, 3).value);

    Answer1147 r = OpenFromSpool(1216, "out\\reprint.spl", "QovTest", 2, 3);
    EXPECT_EQ(1147u, r.type);
    EXPECT_EQ(0u, r.value);
    EXPECT_EQ(2u, r.pages) << "pages 2 and 3";
    {
        PrinterRec page = {};
        page.dpiX = 300;
        Expect e("reprint", &page);
        fprintf(e.f, "pages 2\ntext 1 TWO\ntext 2 THREE\n");
    }
    EXPECT_TRUE(KeepCapture("reprint"));

    // A file that is no spool file, and none at all.
    FILE* f = fopen("out\\bad.spl", "wb");
    ASSERT_NE(nullptr, f);
    fputs("NOT A SPOOL FILE, JUST TEXT LONG ENOUGH TO HOLD A HEADER", f);
    fclose(f);
    struct Case {
        const char* spool;
        uint32_t type, result;
        int32_t errNo;
        const char* why;
    };
    const Case cases[] = {
        {"out\\bad.spl", 1203, 21286, 102, "no \"ASPL\": 21286 with 102"},
        {"out\\nosuch.spl", 1203, 18691, -1, "a file that is not there"},
        {"out\\reprint.spl", 1203, 0, -1, "1203 as 1216"},
    };
    for (const Case& c : cases) {
        Answer1147 x = OpenFromSpool(c.type, c.spool, "QovTest", 1, 1);
        EXPECT_EQ(c.result, x.value) << c.why;
        if (c.errNo >= 0) {
            EXPECT_EQ(c.errNo, gPrtErrNo) << c.why;
        }
    }
}

// A spool file of header version 2 wrote landscape as 277 with 1: reopened,
// its page comes out landscape into a PDF file and on the printer. The same
// record in a version-3 file stays portrait.
TEST_F(PrintJob, VersionTwoSpoolFilesReplayLandscape) {
    CreateDirectoryA(kOutDir, nullptr);
    struct Case {
        uint32_t version;
        const char* name;
        bool landscape;
        const char* why;
    };
    const Case cases[] = {
        {2, "v2land", true, "version 2: 1 meant landscape"},
        {3, "v3port", false, "version 3: 1 is portrait"},
    };
    for (const Case& c : cases) {
        SpoolMemFile mem = {};
        SpoolIo io;
        SpoolMemIo(&mem, &io);
        SpoolWriter w;
        SpoolWriterInit(&w, &io, false, false);
        SpoolPageState page = {};
        page.backColor = 0xFFFFFF;
        page.fontSize = 110;
        page.coordMode = 1;
        strcpy(page.face, "Courier New");
        ASSERT_EQ(0, SpoolBeginPage(&w, page, "Old", '.'));
        ASSERT_EQ(0, SpoolWriteControl(&w, 277, 1));
        ASSERT_EQ(0, SpoolWriteFour(&w, kSpoolRecPos, 5, 5));
        ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, "OLDPAGE", 7));
        ASSERT_EQ(0, SpoolFinish(&w));
        std::vector<uint8_t> bytes(mem.data, mem.data + mem.size);
        SpoolMemFree(&mem);
        memcpy(bytes.data() + 4, &c.version, 4);
        std::string spool = std::string(kOutDir) + "\\" + c.name + ".spl";
        FILE* f = fopen(spool.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);

        std::string pdfName = std::string(c.name) + "pdf";
        std::string pdf = WinPath(std::string(kOutDir) + "\\" + pdfName + ".pdf");
        DeleteFileA(pdf.c_str());
        {
            ExpectPdf ep(pdfName);
            ep.Text(1, "OLDPAGE");
            fprintf(ep.f, "page 1 %s\n", c.landscape ? "792.0 612.0" : "612.0 792.0");
        }
        Answer1147 p = OpenFromSpool(1203, spool, "pdf:", 1, 1, 0, pdf);
        EXPECT_EQ(0u, p.value) << c.why;
        EXPECT_TRUE(FileExists(pdf)) << c.why;

        Answer1147 r = OpenFromSpool(1203, spool, "QovTest", 1, 1);
        EXPECT_EQ(0u, r.value) << c.why;
        {
            PrinterRec dummy = {};
            dummy.dpiX = 600;
            Expect e(c.name, &dummy);
            fprintf(e.f, "pages 1\ntext 1 OLDPAGE\n");
            e.PsContains(c.landscape ? "%%Orientation: Landscape" : "%%Orientation: Portrait");
        }
        EXPECT_TRUE(KeepCapture(c.name)) << c.why;
    }
}

// ---- The preview window ----------------------------------------------------------------

// What the driving thread saw of the preview, read on the main thread after
// the close. The thread touches the window only by messages.
struct PreviewSeen {
    std::vector<std::string> notes;
    void Note(const std::string& s) { notes.push_back(s); }
};

HWND WaitForWindow(const char* cls, const char* title) {
    HWND w = nullptr;
    WaitUntil([&] { return (w = FindWindowA(cls, title)) != nullptr && IsWindowVisible(w); });
    return w && IsWindowVisible(w) ? w : nullptr;
}

std::string StatusText(HWND preview) {
    HWND status = FindWindowExA(preview, nullptr, STATUSCLASSNAMEA, nullptr);
    char buf[128] = "";
    if (status) SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
    return buf;
}

// The paging buttons as four letters: N(ext), P(rev), F(irst), L(ast),
// lower case when disabled.
std::string PagingButtons(HWND w) {
    std::string s;
    const struct {
        int id;
        char c;
    } b[] = {{200, 'N'}, {300, 'P'}, {401, 'F'}, {402, 'L'}};
    for (const auto& x : b) s += IsWindowEnabled(GetDlgItem(w, x.id)) ? x.c : static_cast<char>(x.c + 32);
    return s;
}

void Click(HWND w, int id) { SendMessageA(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, id))); }
void ClickPosted(HWND w, int id) { PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, id))); }

// A script the thread runs against the preview; it ends with the button that
// ends the preview.
struct PreviewScript {
    void (*run)(HWND w, PreviewSeen& seen);
    int endButton;
    PreviewSeen seen;
};

DWORD WINAPI DrivePreview(void* arg) {
    PreviewScript* s = static_cast<PreviewScript*>(arg);
    HWND w = WaitForWindow("QovPrtPrevWin", nullptr);
    if (!w) {
        s->seen.Note("no preview window");
        return 0;
    }
    // The preview is ready once its status bar names the page.
    WaitUntil([&] { return !StatusText(w).empty(); });
    s->run(w, s->seen);
    ClickPosted(w, s->endButton);
    return 0;
}

// The dialogs of the preview pressed: Go To types "2", the print dialog and
// the file dialog take their defaults (the file dialog a name first).
std::string gPdfAnswer;
void PreviewDialogs(HWND dlg) {
    if (GetDlgItem(dlg, 102) && !GetDlgItem(dlg, 0x47c)) {
        SetDlgItemTextA(dlg, 102, "2");
    } else if (!gPdfAnswer.empty() && (GetDlgItem(dlg, 0x47c) || GetDlgItem(dlg, 0x480))) {
        SetDlgItemTextA(dlg, 0x47c, gPdfAnswer.c_str());
        SetDlgItemTextA(dlg, 0x480, gPdfAnswer.c_str());
    }
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Closes a preview job with close-block words 1-6 (maximized, start, first,
// zoom, print dialog, no printing), the preview driven by script.
Answer1147 ClosePreviewed(uint32_t handle, PreviewScript& script, uint32_t zoom = 0, uint32_t printDialog = 0) {
    HANDLE t = CreateThread(nullptr, 0, DrivePreview, &script, 0, nullptr);
    // No server here: the answers sent so far found no connection and marked
    // the session ended, which would end the preview's loop at once.
    gSession.state = kSessionIdle;
    Msg m(1205);
    m.U32(handle).U32(0).U32(0).U32(0).U32(0).U32(zoom).U32(printDialog);
    for (int i = 6; i < 11; i++) m.U32(0);
    m.Run();
    WaitForSingleObject(t, 15000);
    CloseHandle(t);
    return Sent1147();
}

uint32_t gClosingHandle;
int32_t gClosingAnswer = -1;
void CALLBACK SelectClosingJob(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    gClosingAnswer = Msg(1200).U32(gClosingHandle).Run();
}

TEST_F(PrintJob, PreviewPagesZoomsAndCloses) {
    gPrtDlgHook = PreviewDialogs;
    Answer1147 a = OpenTitled("@QovTest", "", "", 0);
    ASSERT_NE(0u, a.value);
    DrawThreePages();
    gClosingHandle = a.value;
    gClosingAnswer = -1;
    // A request taken while the preview waits: the job being closed is no job.
    SetTimer(nullptr, 0, 50, SelectClosingJob);
    PreviewScript script = {[](HWND w, PreviewSeen& seen) {
                                // The timer's request is taken while the preview waits.
                                WaitUntil([] { return gClosingAnswer != -1; });
                                seen.Note(StatusText(w) + " " + PagingButtons(w));
                                Click(w, 200);
                                seen.Note(StatusText(w) + " " + PagingButtons(w));
                                Click(w, 402);
                                seen.Note(StatusText(w) + " " + PagingButtons(w));
                                SendMessageA(w, WM_LBUTTONDOWN, 0, MAKELPARAM(200, 20));
                                seen.Note("above 31: " + StatusText(w));
                                // Go To opens its dialog, which types "2" and closes.
                                ClickPosted(w, 400);
                                WaitUntil([&] { return StatusText(w) == "Page: 2 of 3"; });
                                seen.Note("go to: " + StatusText(w));
                                Click(w, 401);
                                seen.Note(StatusText(w) + " " + PagingButtons(w));
                                Click(w, 500);
                                seen.Note(std::string("zoom in, zoom out ") +
                                          (IsWindowEnabled(GetDlgItem(w, 600)) ? "on" : "off"));
                            },
                            700, {}};
    Answer1147 z = ClosePreviewed(a.value, script);
    EXPECT_EQ(0u, z.value);
    const std::vector<std::string> want = {
        "Page: 1 of 3 NpfL", "Page: 2 of 3 NPFL", "Page: 3 of 3 nPFl", "above 31: Page: 3 of 3",
        "go to: Page: 2 of 3", "Page: 1 of 3 NpfL", "zoom in, zoom out on",
    };
    EXPECT_EQ(want, script.seen.notes);
    EXPECT_EQ(static_cast<int32_t>(kPrtNotAJob), gClosingAnswer) << "the job being closed cannot be selected";
    EXPECT_EQ(nullptr, PrtJobFromHandle(a.value));
}

TEST_F(PrintJob, PreviewButtonsByRange) {
    struct Case {
        void (*draw)();
        uint32_t zoom;
        const char* paging;
        bool zoomIn, zoomOut;
        const char* why;
    };
    const Case cases[] = {
        {DrawWord, 1, "npfl", true, false, "one page: no paging; step 1 given: no way back to the fit step"},
        {DrawThreePages, 9, "NpfL", false, true, "zoom step 9 becomes 6: Zoom In off from the start"},
        {DrawThreePages, 2, "NpfL", true, true, "100 %"},
    };
    for (const Case& c : cases) {
        Answer1147 a = OpenTitled("@QovTest", "", "", 0);
        ASSERT_NE(0u, a.value);
        c.draw();
        struct Seen {
            static void Run(HWND w, PreviewSeen& seen) {
                seen.Note(PagingButtons(w));
                seen.Note(IsWindowEnabled(GetDlgItem(w, 500)) ? "in" : "-");
                seen.Note(IsWindowEnabled(GetDlgItem(w, 600)) ? "out" : "-");
            }
        };
        PreviewScript script = {Seen::Run, 700, {}};
        Answer1147 z = ClosePreviewed(a.value, script, c.zoom);
        EXPECT_EQ(0u, z.value) << c.why;
        ASSERT_EQ(3u, script.seen.notes.size()) << c.why;
        EXPECT_EQ(c.paging, script.seen.notes[0]) << c.why;
        EXPECT_EQ(c.zoomIn ? "in" : "-", script.seen.notes[1]) << c.why;
        EXPECT_EQ(c.zoomOut ? "out" : "-", script.seen.notes[2]) << c.why;
    }
}

// The preview wears the client's icon, and a change of the system colours
// repaints its button strip in the new window colour.
COLORREF gPreviewOldWindowColour;
TEST_F(PrintJob, PreviewTakesTheClientsIconAndFollowsSystemColours) {
    ASSERT_TRUE(RegisterWindowClasses(GetModuleHandleA(nullptr)));
    WNDCLASSA client;
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), kClassWindow, &client));
    ASSERT_NE(nullptr, client.hIcon);
    gPreviewOldWindowColour = GetSysColor(COLOR_WINDOW);
    Answer1147 a = OpenTitled("@QovTest", "", "", 0);
    ASSERT_NE(0u, a.value);
    DrawWord();
    struct Seen {
        static void Run(HWND w, PreviewSeen& seen) {
            WNDCLASSA client;
            GetClassInfoA(GetModuleHandleA(nullptr), kClassWindow, &client);
            seen.Note(reinterpret_cast<HICON>(GetClassLongPtrA(w, GCLP_HICON)) == client.hIcon ? "icon" : "no icon");
            const COLORREF fresh = RGB(10, 200, 30);
            int element = COLOR_WINDOW;
            SetSysColors(1, &element, &fresh);
            COLORREF strip = CLR_INVALID;
            for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(20)) {
                HDC dc = GetDC(w);
                strip = GetPixel(dc, 2, 1);
                ReleaseDC(w, dc);
                if (strip == fresh) break;
            }
            SetSysColors(1, &element, &gPreviewOldWindowColour);
            seen.Note(strip == fresh ? "new colour" : "old colour");
        }
    };
    PreviewScript script = {Seen::Run, 700, {}};
    Answer1147 z = ClosePreviewed(a.value, script);
    EXPECT_EQ(0u, z.value);
    ASSERT_EQ(2u, script.seen.notes.size());
    EXPECT_EQ("icon", script.seen.notes[0]);
    EXPECT_EQ("new colour", script.seen.notes[1]) << "the button strip repainted in the new window colour";
}

TEST_F(PrintJob, PreviewPrintsThroughTheDialog) {
    gPrtDlgHook = PreviewDialogs;
    Answer1147 a = OpenTitled("@QovTest", "", "", 0);
    ASSERT_NE(0u, a.value);
    DrawThreePages();
    PreviewScript script = {[](HWND, PreviewSeen&) {}, 100, {}};
    Answer1147 z = ClosePreviewed(a.value, script, 0, 1);
    EXPECT_EQ(0u, z.value);
    EXPECT_EQ(3u, z.pages) << "printed from the preview";
    {
        PrinterRec page = {};
        page.dpiX = 300;
        Expect e("previewprint", &page);
        fprintf(e.f, "pages 3\ntext 1 ONE\ntext 3 THREE\n");
    }
    EXPECT_TRUE(KeepCapture("previewprint"));
}

TEST_F(PrintJob, PreviewWritesPdf) {
    CreateDirectoryA(kOutDir, nullptr);
    gPdfAnswer = WinPath(std::string(kOutDir) + "\\preview.pdf");
    DeleteFileA(gPdfAnswer.c_str());
    gPrtDlgHook = PreviewDialogs;
    Answer1147 a = OpenTitled("@pdf:", "", "", 0);
    ASSERT_NE(0u, a.value);
    DrawThreePages();
    PreviewScript script = {[](HWND w, PreviewSeen& seen) {
                                char label[32] = "";
                                GetWindowTextA(GetDlgItem(w, 100), label, sizeof label);
                                seen.Note(label);
                            },
                            100, {}};
    Answer1147 z = ClosePreviewed(a.value, script);
    EXPECT_EQ(0u, z.value);
    ASSERT_EQ(1u, script.seen.notes.size());
    EXPECT_EQ("&To PDF", script.seen.notes[0]) << "Print acts as To PDF";
    EXPECT_TRUE(FileExists(gPdfAnswer));
    ExpectPdf e("preview");
    e.Text(1, "ONE");
    e.Text(2, "TWO");
    e.Text(3, "THREE");
    gPdfAnswer.clear();
}

// ---- The preview in a panel ------------------------------------------------------------

// A plain child window stands in for the Panel object: it paints the preview
// in its WM_PAINT as the panel does.
void* gPanelSlot;
LRESULT CALLBACK PanelStandIn(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(w, &ps);
        PrevPanelPaint(&gPanelSlot, ps.hdc);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

HWND MakePanelStandIn(HWND* top) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PanelStandIn;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QovTestPanel";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassA(&wc);
    *top = CreateWindowA("STATIC", "panel host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 600, nullptr, nullptr,
                         nullptr, nullptr);
    return CreateWindowA("QovTestPanel", "", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 10, 10, 500, 400, *top,
                         nullptr, nullptr, nullptr);
}

// A window's client pixels, top row first, as 0x00RRGGBB.
std::vector<DWORD> ClientPixels(HWND w, int* width, int* height) {
    RECT rc;
    GetClientRect(w, &rc);
    *width = rc.right, *height = rc.bottom;
    std::vector<DWORD> out(static_cast<size_t>(rc.right) * rc.bottom);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), rc.right, -rc.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = GetDC(w), mem = CreateCompatibleDC(dc);
    HBITMAP bm = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bm);
    BitBlt(mem, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    for (size_t i = 0; i < out.size(); i++) out[i] = static_cast<const DWORD*>(bits)[i] & 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(bm);
    DeleteDC(mem);
    ReleaseDC(w, dc);
    return out;
}

// With the sheet larger than the view and scrolled into it, the view's last
// row and last column lie inside the sheet: an outline drawn there (the
// sheet cut to the view and framed) blackens them.
bool ViewEdgesOutlined(HWND w) {
    int width, height;
    std::vector<DWORD> px = ClientPixels(w, &width, &height);
    if (width < 2 || height < 2) return false;
    int row = 0, column = 0;
    for (int x = 0; x < width; x++) row += px[static_cast<size_t>(height - 1) * width + x] == 0;
    for (int y = 0; y < height; y++) column += px[static_cast<size_t>(y) * width + width - 1] == 0;
    return row * 10 >= width * 9 || column * 10 >= height * 9;
}

TEST_F(PrintJob, PreviewInAPanel) {
    CreateDirectoryA(kOutDir, nullptr);
    Answer1147 a = OpenTitled("QovTest", "out\\panel.spl", "", 0);
    ASSERT_NE(0u, a.value);
    DrawThreePages();
    ASSERT_EQ(0u, CloseWith(a.value, 3).value);
    HWND top = nullptr;
    HWND panel = MakePanelStandIn(&top);
    ASSERT_NE(nullptr, panel);
    const std::string spool = "out\\panel.spl";
    PrevPanelLoadArgs args = {spool.c_str(), static_cast<uint32_t>(spool.size()), nullptr, 0, 0, 2, 0, 0};
    ASSERT_EQ(0, PrevPanelLoad(&gPanelSlot, panel, kPrevPanelHScroll | kPrevPanelVScroll, &args));
    ASSERT_NE(nullptr, gPanelSlot);
    EXPECT_EQ(nullptr, gCurPrtRec) << "the globals are given back";
    struct Step {
        uint32_t command;
        int32_t value;
        int32_t query, want;
        const char* why;
    };
    const Step steps[] = {
        {9, 1, 1, 2, "the start page 2"},
        {9, 3, 3, 3, "the last page"},
        {2, 0, 1, 3, "next"},
        {3, 0, 1, 2, "previous"},
        {4, 0, 1, 1, "first"},
        {5, 0, 1, 3, "last"},
        {1, 0, 1, 1, "page 0 shows the first"},
        {1, 99, 1, 3, "page 99 shows the last"},
        {8, 0, 8, 0, "fit: the fitted percentage is read after painting (below)"},
        {6, 0, 8, 25, "zoom in from fit: 25 %"},
        {8, 175, 8, 175, "175 %"},
        {6, 0, 8, 200, "zoom in from 175 %: 200 %"},
        {8, 180, 8, 180, "180 %"},
        {6, 0, 8, 180, "zoom in from 180 %: no change"},
        {8, 25, 8, 25, "25 %"},
        {7, 0, 8, 25, "zoom out stops at 25 %"},
    };
    for (const Step& s : steps) {
        PrevPanelCommand(&gPanelSlot, s.command, s.value);
        if (s.command == 8 && s.value == 0) {
            HDC dc = GetDC(panel);
            PrevPanelPaint(&gPanelSlot, dc);
            ReleaseDC(panel, dc);
            int32_t fitted = PrevPanelCommand(&gPanelSlot, 9, 8);
            EXPECT_GE(fitted, 10) << "query 8 after fitting answers the computed percentage";
            EXPECT_LE(fitted, 400);
            continue;
        }
        EXPECT_EQ(s.want, PrevPanelCommand(&gPanelSlot, 9, s.query)) << s.why;
    }
    // At 400 % the page is larger than the panel: its own bars take the range.
    PrevPanelCommand(&gPanelSlot, 8, 400);
    int32_t vRange = PrevPanelCommand(&gPanelSlot, 9, 7);
    EXPECT_GT(vRange, 0) << "a vertical range at 400 %";
    PrevPanelCommand(&gPanelSlot, 12, 2);
    EXPECT_EQ(10, PrevPanelCommand(&gPanelSlot, 9, 6)) << "a line down";
    InvalidateRect(panel, nullptr, TRUE);
    UpdateWindow(panel);
    EXPECT_FALSE(ViewEdgesOutlined(panel)) << "the sheet's outline stands at its own edges, not the view's";
    PrevPanelCommand(&gPanelSlot, 11, vRange + 1);
    EXPECT_EQ(10, PrevPanelCommand(&gPanelSlot, 9, 6)) << "beyond the range: ignored";
    EXPECT_EQ(0, PrevPanelFree(&gPanelSlot));
    EXPECT_EQ(nullptr, gPanelSlot);
    EXPECT_EQ(0, PrevPanelCommand(&gPanelSlot, 9, 1)) << "no preview loaded: 0";

    // A damaged second page: its replay fails, and the free returns that failure.
    {
        SpoolFileRead f(spool);
        ASSERT_EQ(0, f.result);
        uint64_t page2 = SpoolNextLink(&f.r);
        FILE* out = fopen(spool.c_str(), "r+b");
        ASSERT_NE(nullptr, out);
        fseek(out, static_cast<long>(page2 + kSpoolPageRecord), SEEK_SET);
        fputc(20, out);
        fclose(out);
    }
    args.startPage = 1;
    ASSERT_EQ(0, PrevPanelLoad(&gPanelSlot, panel, 0, &args));
    PrevPanelCommand(&gPanelSlot, 2, 0);
    HDC dc = GetDC(panel);
    PrevPanelPaint(&gPanelSlot, dc);
    ReleaseDC(panel, dc);
    EXPECT_EQ(kPrtSpoolBad, PrevPanelFree(&gPanelSlot)) << "the latched replay error";
    args.lastPage = 0;
    args.firstPage = 5;
    EXPECT_EQ(kPrtPreviewRange, PrevPanelLoad(&gPanelSlot, panel, 0, &args)) << "first page beyond the last";
    PrtClosePreviews();
    EXPECT_EQ(nullptr, gPanelSlot) << "the clean-up frees what a failed load left";
    const std::string none = "out\\nosuch.spl";
    PrevPanelLoadArgs missing = {none.c_str(), static_cast<uint32_t>(none.size()), nullptr, 0, 0, 0, 0, 0};
    EXPECT_EQ(kPrtSpoolNotOpened, PrevPanelLoad(&gPanelSlot, panel, 0, &missing));
    DestroyWindow(top);
}

// Run with the prefix that has no printer at all.
TEST(NoPrinter, DefaultPrinterFailsQuietly) {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed) GTEST_SKIP() << "this prefix has printers";
    Answer1147 a = Open("-");
    EXPECT_EQ(0u, a.value);
    EXPECT_STREQ("PRT: GetDefaultPageSetup Fail!", gErrorText);
    HWND list = CreateWindowA("LISTBOX", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    PrtListPrinters(list);
    ASSERT_EQ(1, SendMessageA(list, LB_GETCOUNT, 0, 0)) << "only \"pdf:\"";
    char buf[32] = "";
    SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ("pdf:", buf);
    DestroyWindow(list);
}

}  // namespace

// A PDF file's TrueType fonts found through the system's list of installed
// fonts: values added under the Fonts key for a face of the test's own,
// served by Debian's Liberation files through Wine's Z: drive.
TEST_F(PrintJob, PdfFontsFromTheInstalledFontList) {
    PrtInstallQueryHooks();
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                             0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const std::string dir = "Z:\\usr\\share\\fonts\\truetype\\liberation\\";
    const std::pair<std::string, std::string> values[] = {
        {"QovFace (TrueType)", dir + "LiberationSans-Regular.ttf"},
        {"QovFace Bold (TrueType)", dir + "LiberationSans-Bold.ttf"},
        {"QovFace Black (TrueType)", dir + "LiberationSerif-Bold.ttf"},
        {"QovBare (TrueType)", "qovbare.ttf"},
    };
    for (const auto& v : values)
        RegSetValueExA(key, v.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                       static_cast<DWORD>(v.second.size() + 1));
    struct Case {
        const char* face;
        int bold;
        std::string expect;
        const char* why;
    };
    char windir[MAX_PATH] = "C:\\Windows";
    GetEnvironmentVariableA("WINDIR", windir, sizeof windir);
    const Case cases[] = {
        {"QovFace", 0, dir + "LiberationSans-Regular.ttf", "regular takes the first and stops"},
        {"QovFace", 1, dir + "LiberationSans-Bold.ttf", "bold takes the second and stops"},
        {"QovBare", 0, std::string(windir) + "\\Fonts\\qovbare.ttf", "a bare file name is in the Fonts folder"},
    };
    for (const Case& c : cases) {
        char path[kPdfFontPathMax + 1] = "";
        EXPECT_TRUE(PdfFindFontFile(c.face, c.bold, 0, path)) << c.why;
        EXPECT_EQ(c.expect, path) << c.why;
    }
    // Drawn into a PDF file: the bold file embedded under its own name.
    CreateDirectoryA(kOutDir, nullptr);
    std::string pdf = WinPath(std::string(kOutDir) + "\\ttfont.pdf");
    DeleteFileA(pdf.c_str());
    Answer1147 a = OpenPdf(pdf);
    ASSERT_NE(0u, a.value);
    const std::string font = "'>QovFace'(BOLD,12)";
    Msg(2207).U32(static_cast<uint32_t>(font.size())).Text(font).Run();
    Text("TRUETYPE");
    EXPECT_EQ(0u, Close(a.value).value);
    for (const auto& v : values) RegDeleteValueA(key, v.first.c_str());
    RegCloseKey(key);
    std::string bytes;
    FILE* f = fopen(pdf.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    fclose(f);
    EXPECT_NE(std::string::npos, bytes.find("/BaseFont /LiberationSans-Bold")) << "the bold file, no suffix";
    EXPECT_NE(std::string::npos, bytes.find("/FontFile2 ")) << "embedded";
}
