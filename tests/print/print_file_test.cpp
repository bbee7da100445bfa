// print_file_test.cpp - printer files under Wine: disk files and their buffer,
// LPT and COM ports that the wrapper script points at files, a full device
// and a pseudo-terminal, the raw spooler and the device-context modes on the
// test printer, with every answer read back from the handlers and the send
// buffer and the captured pages left for the checker.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "objects/font.h"
#include "objects/objrecord.h"
#include "print/print.h"
#include "session/config.h"
#include "session/session.h"
#include "session/util/codepage.h"
#include "tests/print/prttestmsg.h"
#include "tests/testutil.h"

// The file messages (open, close, write) go to the printer-file handler.
int32_t PrtTestDispatch(const SrvMsg* msg) {
    if ((msg->type >= 1208 && msg->type <= 1209) || msg->type == 2213) return PrtFileHandleMsg(msg);
    return PrtHandleMsg(msg);
}

namespace {

const char kOutDir[] = "out";
const char kLpt1Capture[] = "capture-lpt1.ps";
// The wrapper script points the prefix's lpt2 at this file, lpt3 at a device
// that is always full.
const char kLpt2File[] = "ports\\lpt2.bin";


// The answer of 1208: 1148 {handle, name} or 1102 {handle or 0}.
struct OpenAnswer {
    uint32_t type;
    uint32_t handle;
    std::string name;
};

OpenAnswer Open(const std::string& name, const std::string& mode, uint16_t flags = 0, uint8_t fileMode = 1) {
    Msg m(1208);
    m.U32(static_cast<uint32_t>(name.size() + 1)).U32(flags).U8(fileMode).U8(0).U8(0).U8(0);
    m.Text(name).U8(0).Text(mode).U8(0);
    int32_t r = m.Run();
    if (r != kNoAnswer) return {1102, static_cast<uint32_t>(r), ""};
    OpenAnswer a = {SentU32(4), SentU32(8), ""};
    uint32_t len = SentU32(12);
    if (len && gSendBuf.used >= 16 + len) a.name.assign(reinterpret_cast<char*>(gSendBuf.data + 16), len - 1);
    return a;
}

int32_t Write(uint32_t handle, const std::string& bytes) {
    return Msg(2213).U32(handle).U32(static_cast<uint32_t>(bytes.size())).Text(bytes).Run();
}

int32_t CloseFile(uint32_t handle, uint8_t close = 1) { return Msg(1209).U32(handle).U8(close).Run(); }

std::string ReadAll(const char* path) {
    std::string s;
    FILE* f = fopen(path, "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

long FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &d)) return -1;
    return static_cast<long>(d.nFileSizeLow);
}

void WriteText(const char* path, const std::string& s) {
    FILE* f = fopen(path, "wb");
    ASSERT_NE(nullptr, f) << path;
    fwrite(s.data(), 1, s.size(), f);
    fclose(f);
}

// Every byte value in order, n bytes.
std::string Pattern(size_t n) {
    std::string s(n, 0);
    for (size_t i = 0; i < n; i++) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return s;
}

// The dialog helper: presses a button of each printer dialog once it is up.
int gPressButton;
void PressButton(HWND dlg) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(gPressButton, BN_CLICKED), 0); }

class PrinterFile : public ::testing::Test {
protected:
    void SetUp() override {
        ClientConfigDefaults();
        snprintf(gClientConfig.cmdLine, sizeof gClientConfig.cmdLine, "qovtest.prg arg");
        CreateDirectoryA("files", nullptr);
        gOemConvert = false;
        PrtInstallQueryHooks();
    }
};

TEST_F(PrinterFile, DiskFileIsWrittenWhenItsBufferFillsAndAtTheClose) {
    struct Case {
        size_t count;
        long afterWrite;
        const char* why;
    };
    const Case cases[] = {
        {10, 0, "10 characters reach the file only at the close"},
        {4095, 0, "a full buffer waits for the next character"},
        {4096, 4095, "the 4096th character writes the 4095 before it"},
        {5000, 4095, "5000 characters: 4095, then 905 at the close"},
        {9000, 8190, "two full buffers"},
    };
    for (const Case& c : cases) {
        const char* path = "files\\disk.txt";
        DeleteFileA(path);
        OpenAnswer a = Open(path, "w");
        ASSERT_EQ(1148u, a.type) << c.why;
        ASSERT_NE(0u, a.handle) << c.why;
        EXPECT_EQ(path, a.name) << c.why;
        const std::string data = Pattern(c.count);
        EXPECT_EQ(0, Write(a.handle, data)) << c.why;
        EXPECT_EQ(c.afterWrite, FileSize(path)) << c.why;
        EXPECT_EQ(0, CloseFile(a.handle)) << c.why;
        EXPECT_EQ(data, ReadAll(path)) << c.why << ": bytes exact";
        EXPECT_EQ(nullptr, PrtFileFromHandle(a.handle)) << c.why << ": closed and freed";
    }
}

TEST_F(PrinterFile, CreationModes) {
    struct Case {
        const char* name;
        const char* mode;
        const char* expect;
        const char* why;
    };
    const Case cases[] = {
        {"files\\mode.txt", "w", "new", "w truncates"},
        {"files\\mode.txt", "a", "oldnew", "a appends"},
        {"files\\mode.txt", "", "oldnew", "an empty mode appends"},
        {"files\\mode.txt", "r+", "oldnew", "any other mode appends"},
        {"files\\mode.txt", "wb", "new", "only the first character counts"},
        {"LPTX", "w", "new", "LPTX is a plain file"},
        {"files\\LPTX.txt", "a", "oldnew", "an LPT name that is no port, in a folder"},
    };
    for (const Case& c : cases) {
        WriteText(c.name, "old");
        OpenAnswer a = Open(c.name, c.mode);
        ASSERT_NE(0u, a.handle) << c.why;
        EXPECT_EQ(0, Write(a.handle, "new")) << c.why;
        EXPECT_EQ(0, CloseFile(a.handle)) << c.why;
        EXPECT_EQ(c.expect, ReadAll(c.name)) << c.why;
    }
    DeleteFileA("LPTX");
}

TEST_F(PrinterFile, CloseZeroKeepsTheRecord) {
    const char* path = "files\\keep.txt";
    DeleteFileA(path);
    OpenAnswer a = Open(path, "w");
    ASSERT_NE(0u, a.handle);
    EXPECT_EQ(0, Write(a.handle, "first "));
    EXPECT_EQ(0, CloseFile(a.handle, 0));
    EXPECT_EQ(6, FileSize(path)) << "close 0 writes the buffer (the file stays open, unshared)";
    ASSERT_NE(nullptr, PrtFileFromHandle(a.handle)) << "and keeps the record";
    EXPECT_EQ(0, Write(a.handle, "second"));
    EXPECT_EQ(0, CloseFile(a.handle, 1));
    EXPECT_EQ("first second", ReadAll(path));
}

TEST_F(PrinterFile, AnswersAndFailures) {
    // A name longer than 99 characters is answered cut to 99.
    std::string longName = "files\\" + std::string(120, 'n') + ".txt";
    OpenAnswer a = Open(longName, "w");
    ASSERT_EQ(1148u, a.type);
    EXPECT_EQ(longName.substr(0, 99), a.name);
    EXPECT_EQ(0, CloseFile(a.handle));
    DeleteFileA(longName.c_str());

    struct Case {
        const char* name;
        int32_t errNo;
        const char* why;
    };
    const Case cases[] = {
        {"nodir\\x.txt", 2, "a missing folder: Windows error 3 maps to 2"},
        {"files", 13, "a folder is refused: access denied maps to 13"},
        {"bad\x01name?", 2, "an invalid name maps to 2"},
        {"\\\\.\\PhysicalDrive0", 2, "a raw disk is refused as an invalid name"},
        {"\\\\.\\C:", 2, "a raw volume"},
        {"//./C:", 2, "a raw volume with forward slashes"},
        {"\\\\?\\C:\\windows\\temp\\x.prn", 2, "the long-path prefix"},
        {"\\\\.\\LPT2", 2, "a port through the device namespace"},
    };
    for (const Case& c : cases) {
        OpenAnswer f = Open(c.name, "w");
        EXPECT_EQ(1102u, f.type) << c.why;
        EXPECT_EQ(0u, f.handle) << c.why;
        EXPECT_EQ(c.errNo, gPrtErrNo) << c.why;
        EXPECT_STREQ("PRT: CreateFile failure!", gErrorText) << c.why;
    }

    // A mode offset inside the name, or past the message: an error answer.
    Msg bad(1208);
    bad.U32(2).U32(0).U8(1).U8(0).U8(0).U8(0).Text("files\\x.txt").U8(0).Text("w").U8(0);
    EXPECT_EQ(0, bad.Run());
    EXPECT_EQ(kPrtBadMessage, gPrtErrNo);
    Msg past(1208);
    past.U32(40).U32(0).U8(1).U8(0).U8(0).U8(0).Text("x").U8(0).Text("w").U8(0);
    EXPECT_EQ(0, past.Run());

    // Handles that are no printer file.
    EXPECT_EQ(-1, Write(0x7FFF1234, "x"));
    EXPECT_EQ(9, gPrtErrNo);
    EXPECT_EQ(-1, CloseFile(0x7FFF1234));
    EXPECT_EQ(9, gPrtErrNo);
    OpenAnswer f = Open("files\\h.txt", "w");
    ASSERT_NE(0u, f.handle);
    EXPECT_EQ(kPrtBadMessage, Msg(2213).U32(f.handle).U32(10).Text("short").Run()) << "a count past the message";
    EXPECT_EQ(kPrtNotAJob, Msg(1204).U32(f.handle).Run()) << "a printer file is no print job";
    EXPECT_EQ(kPrtNotAJob, Msg(1200).U32(f.handle).Run());
    Msg close1205(1205);
    close1205.U32(f.handle);
    for (int i = 0; i < 11; i++) close1205.U32(0);
    close1205.Run();
    EXPECT_EQ(static_cast<uint32_t>(kPrtNotAJob), SentU32(8)) << "1205 answers 21270 in its 1147";
    ASSERT_NE(nullptr, PrtFileFromHandle(f.handle)) << "and leaves the printer file open";
    EXPECT_EQ(0, CloseFile(f.handle));
    EXPECT_EQ(-1, Write(f.handle, "x")) << "a closed printer file";
    EXPECT_EQ("", ReadAll("files\\h.txt")) << "the short message wrote nothing";

    // 1209 on a print job closes the job.
    Msg job(1202);
    std::string name = "QovTest", title = "t";
    job.U32(0).U32(static_cast<uint32_t>(name.size())).U32(static_cast<uint32_t>(title.size())).U32(0).U32(0).U8(0);
    job.Text(name).Text(title).Run();
    uint32_t jobHandle = SentU32(8);
    ASSERT_NE(nullptr, PrtJobFromHandle(jobHandle));
    EXPECT_EQ(0, CloseFile(jobHandle));
    EXPECT_EQ(nullptr, PrtJobFromHandle(jobHandle));
}

// A write message and the same bytes put one by one give the same file, with
// OEM text converted either way.
TEST_F(PrinterFile, OemCharactersAreConverted) {
    std::string oem;
    for (int i = 0; i < 5000; i++) oem += static_cast<char>(0x80 + i % 128);
    std::vector<char> ansi(oem.size());
    OemToCharBuffA(oem.c_str(), ansi.data(), static_cast<DWORD>(oem.size()));
    const std::string expect(ansi.begin(), ansi.end());
    for (bool byMessage : {true, false}) {
        const char* path = byMessage ? "files\\oem-msg.txt" : "files\\oem-char.txt";
        gOemConvert = true;
        OpenAnswer a = Open(path, "w");
        ASSERT_NE(0u, a.handle);
        if (byMessage) {
            EXPECT_EQ(0, Write(a.handle, oem));
        } else {
            PrinterRec* rec = PrtFileFromHandle(a.handle);
            for (char c : oem) EXPECT_EQ(0, PrtFilePutChar(static_cast<uint8_t>(c), rec));
            EXPECT_EQ(0, PrtFileFlush(rec)) << "a disk file waits for its close";
        }
        gOemConvert = false;
        EXPECT_EQ(0, CloseFile(a.handle));
        EXPECT_TRUE(expect == ReadAll(path)) << path;
    }
}

// ---- The raw spooler and printer device contexts ----------------------------------------

bool KeepCapture(const std::string& name) {
    CreateDirectoryA(kOutDir, nullptr);
    return CopyFileA(kLpt1Capture, (std::string(kOutDir) + "\\" + name + ".ps").c_str(), FALSE) != 0;
}

TEST_F(PrinterFile, RawSpoolerDocuments) {
    struct Case {
        const char* name;
        uint16_t flags;
        bool ok;
        const char* answered;
        int32_t errNo;
        const char* error;
        const char* why;
    };
    const Case cases[] = {
        {"QovTest", 0x400, true, "QovTest", 0, "", "a printer by name, raw"},
        {"-", 0x400, true, "QovTest", 0, "", "the default printer's name in the answer"},
        {"NoSuchPrinter", 0x400, false, "", 205, "PRT: OpenPrinter failure!", "OpenPrinterA fails"},
    };
    const std::string label = std::string("^XA^FO50,50^FDQOV LABEL^FS^XZ\r\n\x1b@\x00\xff", 36);
    for (const Case& c : cases) {
        DeleteFileA(kLpt1Capture);
        OpenAnswer a = Open(c.name, "", c.flags, 0);
        if (!c.ok) {
            EXPECT_EQ(1102u, a.type) << c.why;
            EXPECT_EQ(0u, a.handle) << c.why;
            EXPECT_EQ(c.errNo, gPrtErrNo) << c.why;
            EXPECT_STREQ(c.error, gErrorText) << c.why;
            continue;
        }
        ASSERT_EQ(1148u, a.type) << c.why;
        EXPECT_EQ(c.answered, a.name) << c.why;
        PrinterRec* rec = PrtFileFromHandle(a.handle);
        ASSERT_NE(nullptr, rec) << c.why;
        EXPECT_TRUE(rec->flags & kPrtFileRaw) << c.why;
        EXPECT_FALSE(rec->pdfFlags & kPrtFileXpsPass) << c.why << ": Wine's PostScript driver is no XPS driver";
        EXPECT_EQ(0, Write(a.handle, label.substr(0, 20))) << c.why;
        EXPECT_EQ(0, Write(a.handle, label.substr(20))) << c.why;
        EXPECT_EQ(0, CloseFile(a.handle)) << c.why;
        EXPECT_EQ(label, ReadAll(kLpt1Capture)) << c.why << ": the bytes unchanged";
    }
    // Close 0 ends the document; the next write starts a new one.
    DeleteFileA(kLpt1Capture);
    OpenAnswer a = Open("QovTest", "", 0x400, 0);
    ASSERT_NE(0u, a.handle);
    EXPECT_EQ(0, Write(a.handle, "FIRST"));
    EXPECT_EQ(0, CloseFile(a.handle, 0));
    EXPECT_EQ("FIRST", ReadAll(kLpt1Capture));
    EXPECT_EQ(0, Write(a.handle, "SECOND"));
    EXPECT_EQ(0, CloseFile(a.handle, 1));
    EXPECT_EQ("SECOND", ReadAll(kLpt1Capture)) << "a second document";
}

TEST_F(PrinterFile, PassthroughBytesReachThePostScript) {
    DeleteFileA(kLpt1Capture);
    OpenAnswer a = Open("QovTest", "", 0x200, 0);
    ASSERT_EQ(1148u, a.type);
    PrinterRec* rec = PrtFileFromHandle(a.handle);
    ASSERT_NE(nullptr, rec);
    EXPECT_TRUE(rec->flags & kPrtFilePassthrough);
    EXPECT_EQ(0, Write(a.handle, "\n% QovPassthroughMarker\n"));
    EXPECT_EQ(0, CloseFile(a.handle));
    std::string ps = ReadAll(kLpt1Capture);
    EXPECT_NE(std::string::npos, ps.find("% QovPassthroughMarker")) << ps.substr(0, 200);
}

// Where text mode puts things, for the checker: the left edge of a word at
// column x character width, its top at (line + 1) x line height.
struct TextExpect {
    FILE* f;
    double dpi, offX, offY, cw, lh;
    TextExpect(const std::string& name, const PrinterRec* rec) {
        CreateDirectoryA(kOutDir, nullptr);
        f = fopen((std::string(kOutDir) + "\\" + name + ".expect").c_str(), "w");
        dpi = GetDeviceCaps(rec->dc, LOGPIXELSX);
        offX = GetDeviceCaps(rec->dc, PHYSICALOFFSETX);
        offY = GetDeviceCaps(rec->dc, PHYSICALOFFSETY);
        cw = rec->charWidth;
        lh = rec->lineHeight;
    }
    ~TextExpect() {
        if (f) fclose(f);
    }
    double Pt(double dev, double off) const { return (dev + off) * 72.0 / dpi; }
    void Word(const char* word, int column, int line) {
        fprintf(f, "word %s 0 %.3f %.3f %.3f\n", word, Pt(column * cw, offX), Pt((line + 1) * lh, offY),
                Pt((line + 2) * lh, offY));
    }
    void OnPage(int page, const char* word) { fprintf(f, "text %d %s\n", page, word); }
    void Pages(int n) { fprintf(f, "pages %d\n", n); }
};

TEST_F(PrinterFile, TextModeLaysOutLinesAndPages) {
    DeleteFileA(kLpt1Capture);
    OpenAnswer a = Open("QovTest", "", 0, 0);
    ASSERT_EQ(1148u, a.type);
    PrinterRec* rec = PrtFileFromHandle(a.handle);
    ASSERT_NE(nullptr, rec);
    ASSERT_FALSE(rec->flags & (kPrtFilePassthrough | kPrtFileRaw | kPrtFileDisk));
    ASSERT_NE(nullptr, rec->font);
    EXPECT_STREQ("Courier New", rec->font->face);
    EXPECT_EQ(110, rec->font->size);
    EXPECT_EQ(GetDeviceCaps(rec->dc, VERTRES) / static_cast<int>(rec->lineHeight), rec->linesPerPage);
    TextExpect e("textmode", rec);
    EXPECT_EQ(0, Write(a.handle, "FIRST LINE\r\n"));
    e.Word("FIRST", 0, 0);
    e.Word("LINE", 6, 0);
    EXPECT_EQ(0, Write(a.handle, "A\tTABBED\tAGAIN\r\n"));
    e.Word("TABBED", 8, 1);
    e.Word("AGAIN", 16, 1);
    EXPECT_EQ(0, Write(a.handle, "KEEPS\nCOLUMN\r\n"));
    e.Word("KEEPS", 0, 2);
    e.Word("COLUMN", 5, 3);
    EXPECT_EQ(0, Write(a.handle, "OVER\rUNDER"));
    e.Word("UNDER", 0, 4);
    EXPECT_EQ(0, Write(a.handle, "\r\n\fSECONDPAGE\r\n"));
    e.OnPage(1, "FIRST");
    e.OnPage(2, "SECONDPAGE");
    // A full page of line feeds starts the third page by itself.
    std::string lines;
    for (int i = 1; i < rec->linesPerPage; i++) lines += "\r\n";
    lines += "\r\nTHIRDPAGE";
    EXPECT_EQ(0, Write(a.handle, lines));
    e.OnPage(3, "THIRDPAGE");
    e.Pages(3);
    EXPECT_EQ(0, CloseFile(a.handle));
    EXPECT_TRUE(KeepCapture("textmode"));
}

// A document the spooler loses at its end (the port writes to a full
// device) fails the close: -1 with error 32, through the raw spooler and in
// text mode.
TEST_F(PrinterFile, LostDocumentsFailTheClose) {
    FullSpoolerPort full;
    ASSERT_NE(nullptr, full.key) << "the set-up named the port's capture";
    struct Case {
        uint16_t flags;
        const char* why;
    };
    const Case cases[] = {
        {0x400, "the raw spooler"},
        {0, "text mode"},
    };
    for (const Case& c : cases) {
        OpenAnswer a = Open("QovTest", "", c.flags, 0);
        ASSERT_EQ(1148u, a.type) << c.why;
        EXPECT_EQ(0, Write(a.handle, "LOST DOCUMENT\r\n")) << c.why;
        gPrtErrNo = 0;
        EXPECT_EQ(-1, CloseFile(a.handle)) << c.why;
        EXPECT_EQ(32, gPrtErrNo) << c.why;
        EXPECT_EQ(nullptr, PrtFileFromHandle(a.handle)) << c.why << ": freed all the same";
    }
}

TEST_F(PrinterFile, TextModeOnTheDefaultPrinter) {
    OpenAnswer a = Open("-", "", 0, 0);
    ASSERT_EQ(1148u, a.type);
    EXPECT_EQ("QovTest", a.name) << "the default printer's name";
    EXPECT_EQ(0, Write(a.handle, "DEFAULT\r\n"));
    EXPECT_EQ(0, CloseFile(a.handle));
}

TEST_F(PrinterFile, CleanupWritesAndClosesPrinterFiles) {
    const char* path = "files\\cleanup.txt";
    DeleteFileA(path);
    OpenAnswer a = Open(path, "w");
    ASSERT_NE(0u, a.handle);
    EXPECT_EQ(0, Write(a.handle, "pending"));
    EXPECT_EQ(0, FileSize(path));
    PrtCleanup();
    EXPECT_EQ(nullptr, PrtFileFromHandle(a.handle));
    EXPECT_EQ("pending", ReadAll(path)) << "what waited in the buffer is written";
}

TEST_F(PrinterFile, DeviceContextByDialog) {
    struct Case {
        int button;
        uint16_t flags;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {IDCANCEL, 0, false, "a cancelled print dialog: 208"},
        {IDOK, 0, true, "the dialog's printer in text mode, answered 1102 with the handle"},
        {IDCANCEL, 0x200, false, "passthrough: the same dialog"},
    };
    for (const Case& c : cases) {
        gPressButton = c.button;
        gPrtDlgHook = PressButton;
        OpenAnswer a = Open("", "", c.flags, 0);
        gPrtDlgHook = nullptr;
        EXPECT_EQ(1102u, a.type) << c.why;
        if (!c.ok) {
            EXPECT_EQ(0u, a.handle) << c.why;
            EXPECT_EQ(208, gPrtErrNo) << c.why;
            EXPECT_STREQ("PRT: AdvPrtOpenByDlg Canceled!", gErrorText) << c.why;
            continue;
        }
        ASSERT_NE(nullptr, PrtFileFromHandle(a.handle)) << c.why;
        EXPECT_EQ(0, Write(a.handle, "DIALOG\r\n")) << c.why;
        EXPECT_EQ(0, CloseFile(a.handle)) << c.why;
    }
    OpenAnswer bad = Open("NoSuchPrinter", "", 0, 0);
    EXPECT_EQ(0u, bad.handle);
    EXPECT_EQ(303, gPrtErrNo) << "the selection's own code stays";
    OpenAnswer pdf = Open("pdf:", "", 0, 0);
    EXPECT_EQ(0u, pdf.handle);
    EXPECT_EQ(209, gPrtErrNo) << "a PDF target has no device context";
}

// ---- Printer queries ----------------------------------------------------------------------

// 2031: +8 code, +12 arg1, +16 arg2, +20 handle, +24 text length, +28 text.
std::string Info(uint32_t code, uint32_t arg1, uint32_t arg2, uint32_t handle, const std::string& text = "") {
    const char* answer = nullptr;
    int32_t value = PrtTestInfoRequest(code, arg1, arg2, handle, text, &answer);
    if (value == kNoAnswer || !answer) return "<none>";
    EXPECT_EQ(strlen(answer), static_cast<size_t>(value)) << "the value is the text's length";
    return answer;
}

uint32_t OpenJob(const std::string& name, const std::string& pdfFile = "") {
    const std::string title = "query";
    Msg m(1211);
    m.U32(0).U32(static_cast<uint32_t>(name.size())).U32(static_cast<uint32_t>(title.size())).U32(0);
    m.U32(0).U32(static_cast<uint32_t>(pdfFile.size())).U32(0);
    m.Text(name).Text(title).Text(pdfFile).Run();
    return SentU32(8);
}

void CloseJob(uint32_t handle) {
    Msg m(1205);
    m.U32(handle);
    for (int i = 0; i < 11; i++) m.U32(0);
    m.Run();
}

long Field(const std::string& s, size_t at, size_t len) { return atol(s.substr(at, len).c_str()); }

struct ListBox {
    HWND wnd;
    ObjectRecord* rec;
    ListBox() {
        wnd = CreateWindowA("LISTBOX", "", 0, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
        rec = FontObjCreate(FontCreateShared("Arial", 100, 0, 0, 0, nullptr, 0, 0, 0));
        if (rec) rec->hwnd = wnd;  // a stand-in List box object: only its window is used
    }
    ~ListBox() { DestroyWindow(wnd); }
    std::vector<std::string> Items() {
        std::vector<std::string> v;
        int n = static_cast<int>(SendMessageA(wnd, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; i++) {
            std::string item(static_cast<size_t>(SendMessageA(wnd, LB_GETTEXTLEN, i, 0)), '\0');
            SendMessageA(wnd, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&item[0]));
            v.push_back(item);
        }
        return v;
    }
};

TEST_F(PrinterFile, DeviceInformationRecord) {
    uint32_t job = OpenJob("QovTest");
    PrinterRec* rec = PrtJobFromHandle(job);
    ASSERT_NE(nullptr, rec);
    HDC dc = rec->dc;
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    struct Case {
        uint32_t units;
        long width, height;
        const char* why;
    };
    const Case cases[] = {
        {6, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), "device pixels"},
        {0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), "mode 0 leaves them"},
        {3, MulDiv(GetDeviceCaps(dc, HORZRES), 254, dpiX), MulDiv(GetDeviceCaps(dc, VERTRES), 254, dpiY), "0.1 mm"},
        {2, MulDiv(GetDeviceCaps(dc, HORZRES), 100, dpiX), MulDiv(GetDeviceCaps(dc, VERTRES), 100, dpiY), "0.01 inch"},
    };
    for (const Case& c : cases) {
        std::string s = Info(258, c.units, 0, job);
        ASSERT_EQ(kPrtDeviceInfoLen, s.size()) << c.why;
        EXPECT_EQ(c.width, Field(s, 8, 8)) << c.why;
        EXPECT_EQ(c.height, Field(s, 16, 8)) << c.why;
        EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), Field(s, 24, 8)) << c.why;
        EXPECT_EQ(GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL), Field(s, 40, 8)) << c.why;
        EXPECT_EQ("0001", s.substr(57, 4)) << c.why << ": copies";
        EXPECT_EQ("0007QovTest" + std::string(24, ' '), s.substr(84, 35)) << c.why;
        EXPECT_EQ("0001", s.substr(256, 4)) << c.why << ": cell mode";
        EXPECT_EQ(static_cast<long>(rec->cellHeight), Field(s, 260, 8)) << c.why;
        EXPECT_EQ("0000000100000001", s.substr(276, 16)) << c.why << ": row and column 1 at the start";
    }
    // The position in a metric job: answered in the job's own units as
    // stored, in any other mode through the device. Row 200 and column 100
    // in 0.1 mm are 472 and 236 pixels at 600 dpi.
    struct PosCase {
        uint16_t jobMode;
        uint32_t units;
        long row, column;
        const char* why;
    };
    const PosCase posCases[] = {
        {3, 3, 200, 100, "0.1 mm asked of a 0.1 mm job: as stored"},
        {3, 6, MulDiv(200, dpiY, 254), MulDiv(100, dpiX, 254), "device pixels"},
        {3, 0, MulDiv(200, dpiY, 254), MulDiv(100, dpiX, 254), "mode 0: device pixels"},
        {3, 2, MulDiv(MulDiv(200, dpiY, 254), 100, dpiY), MulDiv(MulDiv(100, dpiX, 254), 100, dpiX),
         "0.01 inch through the device"},
        {7, 7, 200, 100, "twips asked of a twips job"},
        {7, 6, MulDiv(200, dpiY, 1440), MulDiv(100, dpiX, 1440), "twips as device pixels"},
        {7, 3, MulDiv(MulDiv(200, dpiY, 1440), 254, dpiY), MulDiv(MulDiv(100, dpiX, 1440), 254, dpiX),
         "twips as 0.1 mm through the device"},
    };
    for (const PosCase& c : posCases) {
        Msg(2202).U32(280).U16(c.jobMode).Run();
        Msg(2206).U16(100).U16(0).U16(200).U16(0).Run();
        std::string s = Info(258, c.units, 0, job);
        ASSERT_EQ(kPrtDeviceInfoLen, s.size()) << c.why;
        EXPECT_EQ(c.row, Field(s, 240, 8)) << c.why << ": row";
        EXPECT_EQ(c.column, Field(s, 248, 8)) << c.why << ": column";
    }
    Msg(2202).U32(280).U16(1).Run();
    ListBox list;
    ASSERT_NE(nullptr, list.rec);
    EXPECT_EQ("", Info(258, 6, list.rec->handle, job)) << "with a list box the record is an item";
    ASSERT_EQ(1u, list.Items().size());
    EXPECT_EQ(kPrtDeviceInfoLen, list.Items()[0].size());
    EXPECT_EQ("", Info(258, 6, 0, 0x7FFF0001)) << "no job: nothing";
    CloseJob(job);

    CreateDirectoryA(kOutDir, nullptr);
    uint32_t pdf = OpenJob("pdf:", "out\\query.pdf");
    ASSERT_NE(nullptr, PrtJobFromHandle(pdf));
    EXPECT_EQ(static_cast<size_t>(kPdfDeviceInfoLen), Info(258, 6, 0, pdf).size()) << "the PDF writer's record";
    CloseJob(pdf);
    FontObjDestroyAll();
}

TEST_F(PrinterFile, FontMetricsAndFontLists) {
    ObjectRecord* font = FontObjCreate(FontCreateShared("Courier New", 120, 0, 0, 0, nullptr, 0, 0, 0));
    ASSERT_NE(nullptr, font);
    uint32_t job = OpenJob("QovTest");
    PrinterRec* rec = PrtJobFromHandle(job);
    ASSERT_NE(nullptr, rec);
    std::string m = Info(257, font->handle, 0, job, "Hello");
    ASSERT_EQ(kPrtFontMetricsLen, m.size()) << m;
    long ascent = Field(m, 0, 4), descent = Field(m, 4, 4), height = Field(m, 8, 4), ave = Field(m, 16, 4);
    EXPECT_EQ(height, ascent + descent);
    EXPECT_NEAR(12 * rec->dpiY / 72.0, height, height * 0.3) << "12 points on the printer, not the screen";
    EXPECT_EQ(5 * ave, Field(m, 30, 8)) << "five cells of a fixed-pitch font";
    EXPECT_EQ(Field(m, 24, 4), Field(m, 30, 8) % 10000);
    EXPECT_EQ(rec->font->hfont, GetCurrentObject(rec->dc, OBJ_FONT)) << "the job font is back";

    ListBox list;
    SendMessageA(list.wnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ab"));
    SendMessageA(list.wnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(300, 'w').c_str()));
    EXPECT_EQ("", Info(257, font->handle, list.rec->handle, job, "ignored"));
    std::vector<std::string> items = list.Items();
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(2 * ave, Field(items[0], 30, 8)) << "each item measured by its own text";
    EXPECT_EQ(300 * ave, Field(items[1], 30, 8)) << "a long item read whole";

    ListBox faces;
    EXPECT_EQ("", Info(4, 0, faces.rec->handle, job));
    EXPECT_GT(faces.Items().size(), 0u) << "the printer's faces";
    EXPECT_EQ("Courier New", Info(4, 0, 0, job)) << "without a list box the job font";
    CloseJob(job);

    CreateDirectoryA(kOutDir, nullptr);
    uint32_t pdf = OpenJob("pdf:", "out\\fonts.pdf");
    ListBox pdfFaces;
    EXPECT_EQ("", Info(4, 0, pdfFaces.rec->handle, pdf));
    std::vector<std::string> five = {"Arial", "Courier New", "Symbol", "Times New Roman", "Zapf Dingbats"};
    EXPECT_EQ(five, pdfFaces.Items()) << "the five families of the PDF writer";
    EXPECT_EQ(kPrtFontMetricsLen, Info(257, font->handle, 0, pdf, "x").size()) << "a PDF target measures too";
    CloseJob(pdf);
    FontObjDestroyAll();
}

TEST_F(PrinterFile, PdfTextMeasuredOnTheMetricsPrinter) {
    CreateDirectoryA(kOutDir, nullptr);
    ClientSettingSet(kSetPdfMetricsPrinter, 1, "QovTestA4");
    uint32_t pdf = OpenJob("pdf:", "out\\metrics.pdf");
    PrinterRec* rec = PrtJobFromHandle(pdf);
    ASSERT_NE(nullptr, rec);
    ASSERT_NE(nullptr, rec->pdf);
    Msg(2207).U32(9).Text("FIXED(10)").Run();
    ASSERT_NE(nullptr, rec->metricsDC) << "opened once for the job";
    // The same cell, measured here on a context of the metrics printer.
    HDC dc = CreateDCA(nullptr, "QovTestA4", nullptr, nullptr);
    ASSERT_NE(nullptr, dc);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    HFONT f = CreateFontA(-MulDiv(10, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, FIXED_PITCH,
                          "Courier New");
    HGDIOBJ old = SelectObject(dc, f);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteObject(f);
    DeleteDC(dc);
    EXPECT_NEAR(tm.tmAveCharWidth * 72.0 / dpi, rec->pdf->fontCellWidth, 0.2);
    CloseJob(pdf);
    ClientSettingSet(kSetPdfMetricsPrinter, 0, nullptr);
}

TEST_F(PrinterFile, PdfResolutionFollowsThePrintQuality) {
    // Without a job: the default printer's own print quality, read here from
    // the spooler.
    HANDLE printer;
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>("QovTest"), &printer, nullptr));
    LONG size = DocumentPropertiesA(nullptr, printer, const_cast<char*>("QovTest"), nullptr, nullptr, 0);
    std::vector<uint8_t> dmBytes(static_cast<size_t>(size > 0 ? size : 0));
    DEVMODEA* dm = reinterpret_cast<DEVMODEA*>(dmBytes.data());
    ASSERT_GE(DocumentPropertiesA(nullptr, printer, const_cast<char*>("QovTest"), dm, nullptr, DM_OUT_BUFFER), 0);
    ClosePrinter(printer);
    EXPECT_EQ(dm->dmPrintQuality == 300 ? 300 : 600, PrtPdfResolution()) << "no job: the default printer's";
    uint32_t job = OpenJob("QovTest");
    PrinterRec* rec = PrtJobFromHandle(job);
    ASSERT_NE(nullptr, rec);
    struct Case {
        uint16_t quality;
        int expect;
    };
    const Case cases[] = {{300, 300}, {600, 600}, {1200, 600}, {0, 600}, {72, 600}};
    for (const Case& c : cases) {
        rec->setup[kPsPrintQuality] = c.quality;
        EXPECT_EQ(c.expect, PrtPdfResolution()) << c.quality;
    }
    CloseJob(job);
}

// ---- Screen dump ----------------------------------------------------------------------------

// The test's own capture of a window, handed over as the Pict's image.
std::vector<uint8_t> gDumpBits;
BITMAPINFOHEADER gDumpHeader;
bool DumpPictImage(uint32_t pict, uint32_t, PrtImageInput* out) {
    if (pict != 1 || gDumpBits.empty()) return false;
    *out = PrtImageInput();
    out->header = &gDumpHeader;
    out->bits = gDumpBits.data();
    return true;
}

void CaptureWindow(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC wdc = GetWindowDC(wnd);
    HDC mem = CreateCompatibleDC(wdc);
    HBITMAP bmp = CreateCompatibleBitmap(wdc, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    gDumpHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    gDumpBits.assign(static_cast<size_t>(((w * 3 + 3) & ~3) * h), 0);
    BITMAPINFO bi = {};
    bi.bmiHeader = gDumpHeader;
    GetDIBits(mem, bmp, 0, static_cast<UINT>(h), gDumpBits.data(), &bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(wnd, wdc);
}

TEST_F(PrinterFile, ScreenDumpPrintsTheWindowImage) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
    wc.lpszClassName = "QovDumpTest";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, "QovDumpTest", "", WS_POPUP | WS_VISIBLE, 10, 10, 160, 80, nullptr, nullptr,
                               wc.hInstance, nullptr);
    ASSERT_NE(nullptr, wnd);
    UpdateWindow(wnd);
    // The capture reads the screen: wait until the red background is on it.
    ASSERT_TRUE(WaitUntil([&] {
        HDC dc = GetDC(wnd);
        COLORREF c = GetPixel(dc, 80, 40);
        ReleaseDC(wnd, dc);
        return c == RGB(255, 0, 0);
    })) << "the window was never painted";
    CaptureWindow(wnd);
    gPrtPictImage = DumpPictImage;
    DeleteFileA(kLpt1Capture);
    EXPECT_EQ(0, PrtScreenDump(wnd, 1));
    EXPECT_EQ(nullptr, gCurPrtRec) << "no job was current before";
    EXPECT_NE(std::string::npos, ReadAll(kLpt1Capture).find("%%Title: Screen Dump")) << "the page's title";
    EXPECT_TRUE(KeepCapture("screendump"));
    {
        // The image box: (160 + 1) x (80 + 1) screen pixels at the printer's
        // resolution, from the page origin; red inside, white beyond it.
        HDC screen = GetDC(nullptr);
        double sx = GetDeviceCaps(screen, LOGPIXELSX), sy = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        HDC dc = CreateDCA(nullptr, "QovTest", nullptr, nullptr);
        double dpi = GetDeviceCaps(dc, LOGPIXELSX);
        double offX = GetDeviceCaps(dc, PHYSICALOFFSETX) * 72.0 / dpi;
        double offY = GetDeviceCaps(dc, PHYSICALOFFSETY) * 72.0 / dpi;
        DeleteDC(dc);
        double w = 161 * 72.0 / sx, h = 81 * 72.0 / sy;   // points
        FILE* f = fopen("out\\screendump.expect", "w");
        ASSERT_NE(nullptr, f);
        fprintf(f, "pages 1\n");
        fprintf(f, "pixel %.1f %.1f 255 0 0\n", offX + 2, offY + 2);
        fprintf(f, "pixel %.1f %.1f 255 0 0\n", offX + w - 2, offY + h - 2);
        fprintf(f, "pixel %.1f %.1f 255 255 255\n", offX + w + 2, offY + h / 2);
        fprintf(f, "pixel %.1f %.1f 255 255 255\n", offX + w / 2, offY + h + 2);
        fclose(f);
    }
    PrinterRec* before = PrtJobFromHandle(OpenJob("QovTestA4"));
    ASSERT_NE(nullptr, before);
    EXPECT_EQ(-2, PrtScreenDump(wnd, 2)) << "a Pict without an image";
    EXPECT_EQ(before, gCurPrtRec) << "the current job is restored";
    EXPECT_EQ(-2, PrtScreenDump(nullptr, 1)) << "no window";
    EXPECT_EQ(before, gCurPrtRec);
    CloseJob(before->handle);
    gPrtPictImage = nullptr;
    DestroyWindow(wnd);
}

// ---- Ports --------------------------------------------------------------------------

// Answers the message boxes of the process from a thread of its own, as a
// user would: each box's caption and text are kept; a "Printer Error" box is
// answered from the list (Cancel when it runs out), any other box with OK.
struct BoxPresser {
    struct Seen {
        std::string caption, text;
    };
    std::vector<Seen> seen;
    std::vector<int> answers;
    void (*beforeRetry)() = nullptr;
    volatile LONG stop = 0;
    HANDLE thread = nullptr;
    CRITICAL_SECTION lock;

    explicit BoxPresser(std::vector<int> a) : answers(std::move(a)) {
        InitializeCriticalSection(&lock);
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~BoxPresser() {
        InterlockedExchange(&stop, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        DeleteCriticalSection(&lock);
    }
    size_t Count() {
        EnterCriticalSection(&lock);
        size_t n = seen.size();
        LeaveCriticalSection(&lock);
        return n;
    }
    size_t Count(const char* caption) {
        EnterCriticalSection(&lock);
        size_t n = 0;
        for (const Seen& s : seen) n += s.caption == caption;
        LeaveCriticalSection(&lock);
        return n;
    }
    static DWORD WINAPI Run(void* p) {
        BoxPresser* self = static_cast<BoxPresser*>(p);
        size_t errors = 0;
        while (!self->stop) {
            HWND box = FindWindowA("#32770", nullptr);
            DWORD pid = 0;
            if (box) GetWindowThreadProcessId(box, &pid);
            if (!box || pid != GetCurrentProcessId() || !IsWindowVisible(box)) {
                Sleep(10);
                continue;
            }
            char caption[200] = "", text[200] = "";
            GetWindowTextA(box, caption, sizeof caption);
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            int id = IDOK;
            if (strcmp(caption, "Printer Error") == 0) {
                id = errors < self->answers.size() ? self->answers[errors] : IDCANCEL;
                errors++;
                if (id == IDRETRY && self->beforeRetry) self->beforeRetry();
            }
            EnterCriticalSection(&self->lock);
            self->seen.push_back({caption, text});
            LeaveCriticalSection(&self->lock);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
            for (int i = 0; i < 500 && IsWindow(box); i++) Sleep(10);
        }
        return 0;
    }
};

TEST_F(PrinterFile, PortNamesOpenTheDevice) {
    struct Case {
        const char* name;
        const char* answered;
        size_t count;
        const char* why;
    };
    const Case cases[] = {
        {"LPT2:", "LPT2:", 1000, "LPT2: opens the port (more than one shared buffer)"},
        {"lpt2", "lpt2", 10, "any case"},
        {"LPT2!", "LPT2!", 300, "'!' is cut from the name opened"},
        {"LPT2.", "LPT2.", 5, "'.' after the digit"},
    };
    for (const Case& c : cases) {
        WriteText(kLpt2File, "");
        OpenAnswer a = Open(c.name, "w");
        ASSERT_EQ(1148u, a.type) << c.why;
        EXPECT_EQ(c.answered, a.name) << c.why;
        PrinterRec* rec = PrtFileFromHandle(a.handle);
        ASSERT_NE(nullptr, rec) << c.why;
        EXPECT_TRUE(rec->flags & kPrtFilePort) << c.why;
        const std::string data = Pattern(c.count);
        EXPECT_EQ(0, Write(a.handle, data)) << c.why;
        EXPECT_EQ(static_cast<long>(c.count), FileSize(kLpt2File)) << c.why << ": a port is written at every message";
        EXPECT_EQ(0, CloseFile(a.handle)) << c.why;
        EXPECT_EQ(data, ReadAll(kLpt2File)) << c.why << ": bytes exact, mode w does not truncate a port";
    }
}

TEST_F(PrinterFile, FullDeviceRetriesSilentlyThenAsks) {
    ScopedEnv retries("QOV_PRTRETRY", "2");
    {
        BoxPresser boxes({IDRETRY, IDCANCEL});
        OpenAnswer a = Open("LPT3", "w");
        ASSERT_NE(0u, a.handle);
        EXPECT_EQ(-1, Write(a.handle, "label")) << "Retry once, then Cancel";
        EXPECT_EQ(28, gPrtErrNo) << "disk full (112) maps to 28";
        EXPECT_EQ(2u, boxes.Count("Printer Error"));
        EXPECT_EQ(2u, boxes.Count()) << "no other box without the debug setting";
        if (boxes.Count()) {
            EXPECT_EQ("Communication timeout on printer LPT3 !", boxes.seen[0].text);
        }
        EXPECT_EQ(0, CloseFile(a.handle)) << "the buffer was emptied all the same";
    }
    {
        BoxPresser boxes({});
        OpenAnswer a = Open("LPT3!", "w");
        ASSERT_NE(0u, a.handle);
        EXPECT_EQ(-1, Write(a.handle, "label")) << "no box for LPTn!: the write fails at once";
        EXPECT_EQ(28, gPrtErrNo);
        EXPECT_EQ(0u, boxes.Count());
        EXPECT_EQ(0, CloseFile(a.handle));
    }
}

// A serial line on the pseudo-terminal of the wrapper: the settings text after
// the ':' sets the line, and the bytes arrive as sent.
TEST_F(PrinterFile, SerialLineOnAPseudoTerminal) {
    const char* ptyFile = "ports\\pty.bin";
    long before = FileSize(ptyFile);
    ASSERT_GE(before, 0) << "the pseudo-terminal reader is running";
    OpenAnswer a = Open("COM1:96,e,7,2,x", "");
    ASSERT_NE(0u, a.handle);
    PrinterRec* rec = PrtFileFromHandle(a.handle);
    ASSERT_NE(nullptr, rec);
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(rec->file, &dcb));
    // A pseudo-terminal keeps the rate, the stop bits and XON/XOFF; it has no
    // data bits or parity of its own to read back.
    EXPECT_EQ(9600u, dcb.BaudRate);
    EXPECT_EQ(TWOSTOPBITS, dcb.StopBits);
    EXPECT_EQ(1u, dcb.fOutX);
    COMMTIMEOUTS t;
    ASSERT_TRUE(GetCommTimeouts(rec->file, &t));
    EXPECT_EQ(MAXDWORD, t.ReadIntervalTimeout);
    EXPECT_EQ(10u, t.ReadTotalTimeoutConstant);
    EXPECT_EQ(1000u, t.WriteTotalTimeoutMultiplier);
    std::string data;
    for (int i = 0; i < 3000; i++) data += static_cast<char>(0x20 + i % 90);
    EXPECT_EQ(0, Write(a.handle, data));
    EXPECT_EQ(0, CloseFile(a.handle));
    WaitUntil([&] { return FileSize(ptyFile) >= before + 3000; });
    EXPECT_EQ(data, ReadAll(ptyFile).substr(before));
}

// The reader drains the line again; the retry waits until it has taken bytes
// from it, so that the line has room.
void ResumeReader() {
    long before = FileSize("ports\\pty.bin");
    DeleteFileA("ports\\pty.pause");
    WaitUntil([&] { return FileSize("ports\\pty.bin") > before; });
}

// With the reader paused the line fills and one-byte writes time out after
// QOV_PRTTIME plus 1000 ms: an LPT port asks, and after Retry (the reader
// resumed) every byte arrives in order; a COM port fails at once.
TEST_F(PrinterFile, PausedLineTimesOut) {
    const char* ptyFile = "ports\\pty.bin";
    ScopedEnv time("QOV_PRTTIME", "100");
    ScopedEnv retries("QOV_PRTRETRY", "0");
    struct Case {
        const char* name;
        bool box;
        const char* why;
    };
    const Case cases[] = {
        {"LPT4", true, "an LPT port asks Retry or Cancel"},
        {"COM1", false, "a COM port has no box: the write answers -1"},
    };
    for (const Case& c : cases) {
        long before = FileSize(ptyFile);
        BoxPresser boxes({IDRETRY});
        boxes.beforeRetry = ResumeReader;
        WriteText("ports\\pty.pause", "");
        OpenAnswer a = Open(c.name, "");
        ASSERT_NE(0u, a.handle) << c.why;
        std::string sent;
        int32_t failed = 0;
        const size_t kLimit = 400000;
        for (size_t i = 0; i < kLimit && boxes.Count() == 0 && !failed; i++) {
            std::string one(1, static_cast<char>('A' + i % 26));
            failed = Write(a.handle, one);
            if (!failed || c.box) sent += one;
        }
        DeleteFileA("ports\\pty.pause");
        EXPECT_EQ(c.box ? 1u : 0u, boxes.Count()) << c.why;
        EXPECT_EQ(c.box ? 0 : -1, failed) << c.why;
        EXPECT_LT(sent.size(), kLimit) << c.why << ": the line filled up";
        EXPECT_EQ(0, Write(a.handle, "END")) << c.why;
        sent += "END";
        EXPECT_EQ(0, CloseFile(a.handle)) << c.why;
        WaitUntil([&] { return FileSize(ptyFile) >= before + static_cast<long>(sent.size()); });
        std::string got = ReadAll(ptyFile).substr(before);
        EXPECT_EQ(sent.size(), got.size()) << c.why;
        EXPECT_TRUE(got == sent) << c.why << ": every byte in order";
    }
}

// Last of the port rows: the debug setting stays on for the rest of the process.
TEST_F(PrinterFile, DebugBoxReportsEverySilentRetry) {
    ScopedEnv retries("QOV_PRTRETRY", "2");
    ScopedEnv debug("QOV_PRTDEBUG", "1");
    BoxPresser boxes({IDRETRY, IDCANCEL});
    OpenAnswer a = Open("LPT3", "w");
    ASSERT_NE(0u, a.handle);
    EXPECT_EQ(-1, Write(a.handle, "x"));
    ASSERT_EQ(6u, boxes.Count()) << "two debug boxes before each of the two Printer Error boxes";
    const char* order[] = {"d", "d", "Printer Error", "d", "d", "Printer Error"};
    for (size_t i = 0; i < 6; i++) {
        if (strcmp(order[i], "d") != 0) {
            EXPECT_EQ(order[i], boxes.seen[i].caption) << i;
            continue;
        }
        EXPECT_EQ("Windows Printer LPT3 error:112  !", boxes.seen[i].text) << i;
        const std::string& cap = boxes.seen[i].caption;
        EXPECT_TRUE(cap == " No ClearCommError !" || cap.rfind("ClearCommError: error:0x", 0) == 0) << cap;
    }
    EXPECT_EQ(0, CloseFile(a.handle));
}

// Run by no_printer.sh in a prefix that never had a printer.
TEST(NoPrinter, PrinterFilesOnTheDefaultPrinter) {
    struct Case {
        uint16_t flags;
        int32_t errNo;
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {0x400, 203, "PRT: GetDefaultPageSetup Fail!", "the raw spooler without a default printer"},
        {0, 301, "PRT: GetDefaultPageSetup Fail!", "text mode: the printer selection's own code"},
    };
    for (const Case& c : cases) {
        OpenAnswer a = Open("-", "", c.flags, 0);
        EXPECT_EQ(1102u, a.type) << c.why;
        EXPECT_EQ(0u, a.handle) << c.why;
        EXPECT_EQ(c.errNo, gPrtErrNo) << c.why;
        EXPECT_STREQ(c.text, gErrorText) << c.why;
    }
}

}  // namespace
