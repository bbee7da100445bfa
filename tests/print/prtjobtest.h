// prtjobtest.h - the print job tests' side of the conversation: opens and
// closes through the message handlers with the 1147 answers read back, the
// drawing messages, reopening spool files, the captures of the test printer
// and the expectation files the checker (check_output.py) reads.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "print/print.h"
#include "print/prtspool.h"
#include "tests/print/prttestmsg.h"

namespace {

const char kOutDir[] = "out";
// Not "lpt1.ps": a DOS device name with any extension is the device itself.
const char kLpt1Capture[] = "capture-lpt1.ps";


struct Answer1147 {
    uint32_t type, value, count, detail, pages, copies, textLen;
    std::string text;
};

inline Answer1147 Sent1147() {
    Answer1147 a = {SentU32(4), SentU32(8), SentU32(12), SentU32(16), SentU32(20), SentU32(24), SentU32(28), ""};
    if (a.textLen && gSendBuf.used >= 32 + a.textLen) a.text.assign(reinterpret_cast<char*>(gSendBuf.data + 32), a.textLen - 1);
    return a;
}

inline Answer1147 Open(const std::string& name, const std::string& title = "Qovtervex test", uint8_t options = 0) {
    Msg m(1202);
    m.U32(0).U32(static_cast<uint32_t>(name.size())).U32(static_cast<uint32_t>(title.size())).U32(0).U32(0).U8(options);
    m.Text(name).Text(title).Run();
    return Sent1147();
}

// 1211: owner, name, title, page limit, spool name, PDF file name, options word.
inline Answer1147 OpenTitled(const std::string& name, const std::string& spool, const std::string& pdfFile, uint32_t options) {
    const std::string title = "Qovtervex test";
    Msg m(1211);
    m.U32(0).U32(static_cast<uint32_t>(name.size())).U32(static_cast<uint32_t>(title.size())).U32(0);
    m.U32(static_cast<uint32_t>(spool.size())).U32(static_cast<uint32_t>(pdfFile.size())).U32(options);
    m.Text(name).Text(title).Text(spool).Text(pdfFile).Run();
    return Sent1147();
}

inline Answer1147 OpenPdf(const std::string& file, uint32_t options = 0) { return OpenTitled("pdf:", "", file, options); }

inline Answer1147 Close(uint32_t handle) {
    Msg m(1205);
    m.U32(handle);
    for (int i = 0; i < 11; i++) m.U32(0);
    m.Run();
    return Sent1147();
}

inline void Control(uint32_t code, uint16_t value) { Msg(2202).U32(code).U16(value).Run(); }
inline void Text(const std::string& s) { Msg(2204).U16(static_cast<uint16_t>(s.size())).Pad(2).Text(s).Run(); }
inline void Pos(uint16_t col, uint16_t row) { Msg(2206).U16(col).Pad(2).U16(row).Run(); }
inline void Font(const std::string& s) { Msg(2207).U32(static_cast<uint32_t>(s.size())).Text(s).Run(); }

inline std::string WinPath(const std::string& name) {
    char full[MAX_PATH];
    GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
    return full;
}

// The capture of LPT1: kept as out/NAME.ps.
inline bool KeepCapture(const std::string& name) {
    CreateDirectoryA(kOutDir, nullptr);
    if (CopyFileA(kLpt1Capture, (std::string(kOutDir) + "\\" + name + ".ps").c_str(), FALSE)) return true;
    fprintf(stderr, "capture %s: error %lu\n", name.c_str(), GetLastError());
    return false;
}

// Expectations the checker tests against the PostScript.
struct Expect {
    FILE* f;
    double dpi, offX, offY;
    explicit Expect(const std::string& name, const PrinterRec* job) {
        CreateDirectoryA(kOutDir, nullptr);
        f = fopen((std::string(kOutDir) + "\\" + name + ".expect").c_str(), "w");
        dpi = job->dpiX;
        offX = job->physOffsetX;
        offY = job->physOffsetY;
    }
    ~Expect() { if (f) fclose(f); }
    double Pt(double dev, double off) const { return (dev + off) * 72.0 / dpi; }
    // The left edge of character k of word sits at device x; its box lies
    // between device rows top and bottom.
    void Word(const char* word, int k, double x, double top, double bottom) {
        fprintf(f, "word %s %d %.3f %.3f %.3f\n", word, k, Pt(x, offX), Pt(top, offY), Pt(bottom, offY));
    }
    void Pixel(double x, double y, int r, int g, int b) {
        fprintf(f, "pixel %.3f %.3f %d %d %d\n", Pt(x, offX), Pt(y, offY), r, g, b);
    }
    void Page(int n, double w, double h) { fprintf(f, "page %d %.1f %.1f\n", n, w, h); }
    void PsContains(const char* text) { fprintf(f, "pscontains %s\n", text); }
};

// Expectations of a PDF file a job wrote itself (NAME.pdf, no capture): the
// words that pdftotext must find on each page.
struct ExpectPdf {
    FILE* f;
    explicit ExpectPdf(const std::string& name) {
        CreateDirectoryA(kOutDir, nullptr);
        f = fopen((std::string(kOutDir) + "\\" + name + ".expect").c_str(), "w");
        if (f) fprintf(f, "written\n");
    }
    ~ExpectPdf() { if (f) fclose(f); }
    void Text(int page, const char* word) { fprintf(f, "text %d %s\n", page, word); }
};

inline Answer1147 CloseWith(uint32_t handle, uint32_t options) {
    Msg m(1205);
    m.U32(handle);
    for (int i = 0; i < 10; i++) m.U32(0);
    m.U32(options).Run();
    return Sent1147();
}

// A spool file read back with the reader the preview uses.
struct SpoolFileRead {
    SpoolMemFile mem = {};
    SpoolIo io;
    SpoolReader r = {};
    int32_t result = -1;
    explicit SpoolFileRead(const std::string& name) {
        SpoolMemIo(&mem, &io);
        FILE* f = fopen(name.c_str(), "rb");
        if (!f) return;
        uint8_t buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) io.write(io.ctx, buf, n);
        fclose(f);
        result = SpoolReadHeader(&r, &io, '.');
    }
    ~SpoolFileRead() {
        SpoolReaderFree(&r);
        SpoolMemFree(&mem);
    }
    // The record types of every page, in order.
    std::vector<uint8_t> Types() {
        std::vector<uint8_t> out;
        bool moved = true;
        SpoolRewind(&r);
        while (moved) {
            size_t off = kSpoolPageRecord;
            SpoolRecord rec;
            while (SpoolDecodeRecord(r.page, r.pageLen, off, &rec) == kSpoolDecodeOk) {
                out.push_back(rec.type);
                off += rec.size;
            }
            if (SpoolStepPage(&r, false, &moved) != 0) break;
        }
        return out;
    }
};

inline bool FileExists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// 1203 and 1216: the 17 words, then the spool name, printer and title.
inline Answer1147 OpenFromSpool(uint32_t type, const std::string& spool, const std::string& printer, uint32_t first,
                         uint32_t last, uint32_t options = 0, const std::string& title = "Reprint") {
    uint32_t w[17] = {};
    w[1] = static_cast<uint32_t>(spool.size());
    w[3] = static_cast<uint32_t>(printer.size());
    w[5] = static_cast<uint32_t>(title.size());
    w[6] = last;
    w[9] = first;
    w[16] = options;
    Msg m(type);
    for (uint32_t v : w) m.U32(v);
    m.Text(spool).Text(printer).Text(title).Run();
    return Sent1147();
}

}  // namespace
