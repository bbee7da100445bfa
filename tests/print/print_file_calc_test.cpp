// print_file_calc_test.cpp - the platform-free half of printer files and
// printer queries: the 1208, 2213 and 1209 bodies against short and lying
// messages, port names, COM settings texts, Windows error numbers, the XPS
// decision, the text-mode layout and the fixed-width query records, each a table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "print/prtfilecalc.h"

namespace {

struct Msg {
    std::vector<uint8_t> b = std::vector<uint8_t>(8, 0);
    Msg& U8(uint8_t v) { b.push_back(v); return *this; }
    Msg& U16(uint16_t v) { U8(v & 0xFF); return U8(v >> 8); }
    Msg& U32(uint32_t v) { U16(v & 0xFFFF); return U16(v >> 16); }
    Msg& Bytes(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    WireReader R() const { return WireReader(b.data(), b.size(), false); }
};

// 1208: mode offset, flags, fileMode (padded to +20), then name and mode bytes.
Msg Open1208(uint32_t modeOff, const std::string& tail) {
    Msg m;
    m.U32(modeOff).U32(0x400).U8(1).U8(0).U8(0).U8(0).Bytes(tail);
    return m;
}

TEST(PrintFileCalc, OpenBodies) {
    struct Case {
        Msg msg;
        bool ok;
        const char* name;
        const char* mode;
        const char* why;
    };
    const Case cases[] = {
        {Open1208(6, std::string("f.txt\0w\0", 8)), true, "f.txt", "w", "name, NUL, mode right after it"},
        {Open1208(6, std::string("f.txt\0\0a", 8)), true, "f.txt", "", "an empty mode after the name"},
        {Open1208(6, std::string("LPT1\0\0w", 7)), true, "LPT1", "w", "the mode later in the message"},
        {Open1208(8, std::string("f.txt\0ab", 8)), true, "f.txt", "", "offset at the message end: empty mode"},
        {Open1208(7, std::string("f.txt\0wa", 8)), true, "f.txt", "a", "a mode without NUL runs to the end"},
        {Open1208(2, std::string("f.txt\0w\0", 8)), false, "", "", "a mode inside the name"},
        {Open1208(5, std::string("f.txt\0", 6)), false, "", "", "the mode at the name's NUL"},
        {Open1208(9, std::string("f.txt\0w\0", 8)), false, "", "", "a mode past the message"},
        {Open1208(0xFFFFFFF0u, std::string("f.txt\0w\0", 8)), false, "", "", "an offset that wraps"},
        {Open1208(3, std::string("f.txt", 5)), false, "", "", "a name without NUL"},
        {Msg().U32(5).U32(0), false, "", "", "a body cut before fileMode"},
    };
    for (const Case& c : cases) {
        PrtFileOpenMsg o;
        ASSERT_EQ(c.ok, PrtDecodeFileOpen(c.msg.R(), &o)) << c.why;
        if (!c.ok) continue;
        EXPECT_EQ(c.name, std::string(o.name, o.nameLen)) << c.why;
        EXPECT_EQ(c.mode, std::string(o.mode, o.modeLen)) << c.why;
        EXPECT_EQ(0x400, o.flags) << c.why;
        EXPECT_EQ(1, o.fileMode) << c.why;
    }
}

TEST(PrintFileCalc, WriteAndCloseBodies) {
    struct Case {
        Msg msg;
        bool ok;
        uint32_t count;
        const char* why;
    };
    const Case writes[] = {
        {Msg().U32(7).U32(3).Bytes("abc"), true, 3, "three bytes"},
        {Msg().U32(7).U32(0), true, 0, "no bytes"},
        {Msg().U32(7).U32(4).Bytes("abc"), false, 0, "a count one past the message"},
        {Msg().U32(7).U32(0xFFFFFFFFu).Bytes("abc"), false, 0, "a huge count"},
        {Msg().U32(7), false, 0, "no count"},
    };
    for (const Case& c : writes) {
        PrtFileWriteMsg w;
        ASSERT_EQ(c.ok, PrtDecodeFileWrite(c.msg.R(), &w)) << c.why;
        if (!c.ok) continue;
        EXPECT_EQ(7u, w.handle) << c.why;
        EXPECT_EQ(c.count, w.count) << c.why;
    }
    PrtFileCloseMsg cl;
    EXPECT_TRUE(PrtDecodeFileClose(Msg().U32(9).U8(1).R(), &cl));
    EXPECT_EQ(9u, cl.handle);
    EXPECT_EQ(1, cl.close);
    EXPECT_FALSE(PrtDecodeFileClose(Msg().U32(9).R(), &cl)) << "no close byte";
}

TEST(PrintFileCalc, PortNames) {
    struct Case {
        const char* name;
        bool port;
        bool lpt;
        uint32_t lptNumber;
        const char* opened;
        const char* settings;
        PrtFileCreate createW, createA;
        const char* why;
    };
    const PrtFileCreate E = kPrtCreateOpenExisting, W = kPrtCreateAlways, A = kPrtCreateOpenAlways;
    const Case cases[] = {
        {"LPT1:", true, true, 1, "LPT1", "", E, E, "a port with ':'"},
        {"lpt2", true, true, 2, "lpt2", "", E, E, "any case, the name ends at the digit"},
        {"LPT1!", true, true, 11, "LPT1", "", E, E, "'!' after the digit: no box, the '!' is cut"},
        {"LPT3!abc:x", true, true, 13, "LPT3", "x", E, E, "'!' goes with what follows up to ':'"},
        {"COM2:96,e,7,2,x", true, false, 0, "COM2", "96,e,7,2,x", E, E, "COM settings after the ':'"},
        {"com4.", true, false, 0, "com4.", "", E, E, "'.' after the digit"},
        {"LPT4.prn:", true, true, 4, "LPT4.prn", "", E, E, "after '.', the name ends at ':'"},
        {"LPT5", false, true, 0, "LPT5", "", W, A, "digit 5 is no port here"},
        {"LPTX", false, true, 0, "LPTX", "", W, A, "no digit: a plain file (second attempt kept)"},
        {"LPT12", false, true, 0, "LPT12", "", W, A, "a second digit"},
        {"COM1x", false, false, 0, "COM1x", "", W, A, "a letter after the digit"},
        {"LPT", false, true, 0, "LPT", "", W, A, "too short"},
        {"report.txt", false, false, 0, "report.txt", "", W, A, "a disk file"},
        {"C:\\out\\COM1", false, false, 0, "C:\\out\\COM1", "", W, A, "a path is never a port"},
    };
    for (const Case& c : cases) {
        PrtPortName pn;
        ASSERT_TRUE(PrtParsePortName(c.name, &pn)) << c.why;
        EXPECT_EQ(c.port, pn.port) << c.why;
        EXPECT_EQ(c.lpt, pn.lpt) << c.why;
        EXPECT_EQ(c.lptNumber, pn.lptNumber) << c.why;
        EXPECT_STREQ(c.opened, pn.opened) << c.why;
        EXPECT_STREQ(c.settings, pn.comSettings) << c.why;
        EXPECT_EQ(c.createW, PrtFileCreateMode(pn, "w")) << c.why;
        EXPECT_EQ(c.createA, PrtFileCreateMode(pn, "a")) << c.why;
        EXPECT_EQ(c.createA, PrtFileCreateMode(pn, "")) << c.why;
    }
    PrtPortName pn;
    std::string longName(kPrtFileNameMax + 1, 'x');
    EXPECT_FALSE(PrtParsePortName(longName.c_str(), &pn)) << "a name longer than the field is refused";
    EXPECT_TRUE(PrtParsePortName(longName.substr(1).c_str(), &pn)) << "one that fits is taken";
    struct RawCase {
        const char* name;
        bool refused;
        const char* why;
    };
    const RawCase rawCases[] = {
        {"\\\\.\\PhysicalDrive0", true, "a whole disk"},
        {"\\\\.\\C:", true, "a volume"},
        {"//./C:", true, "forward slashes"},
        {"\\\\?\\C:\\out.prn", true, "the long-path prefix"},
        {"/\\?/x", true, "mixed slashes"},
        {"\\\\server\\share\\out.prn", false, "a share is a file"},
        {"\\\\.x", false, "no slash after the dot"},
        {".\\out.prn", false, "a relative path"},
    };
    for (const RawCase& c : rawCases) {
        EXPECT_EQ(c.refused, PrtIsRawDeviceName(c.name)) << c.why;
        EXPECT_EQ(!c.refused, PrtParsePortName(c.name, &pn)) << c.why;
    }
}

TEST(PrintFileCalc, CommSettings) {
    struct Case {
        const char* text;
        uint32_t baud;
        uint8_t parity, dataBits, stopBits;
        bool xon;
        const char* why;
    };
    const uint8_t asRead = kPrtParityOdd;
    const Case cases[] = {
        {"96,e,7,2,x", 9600, kPrtParityEven, 7, kPrtStopTwo, true, "the example: 9600, even, 7, two, XON"},
        {"", 9600, asRead, 8, kPrtStopOne, false, "defaults, parity as read"},
        {"0", 9600, asRead, 8, kPrtStopOne, false, "baud 0 gives 9600"},
        {"19", 19200, asRead, 8, kPrtStopOne, false, "19 gives 19200"},
        {"12", 1200, asRead, 8, kPrtStopOne, false, "below 100: hundreds"},
        {"38400,n,8,1,p", 38400, kPrtParityNone, 8, kPrtStopOne, false, "a full rate, none, XON off"},
        {",o", 9600, kPrtParityOdd, 8, kPrtStopOne, false, "an empty baud keeps the default"},
        {"96,M,5", 9600, kPrtParityMark, 5, kPrtStopOne, false, "mark in capitals, 5 data bits"},
        {"96,q,9", 9600, asRead, 8, kPrtStopOne, false, "an unknown parity letter, data 9 keeps 8"},
        {"96,,4,,X", 9600, asRead, 8, kPrtStopOne, true, "data 4 keeps 8, flow in capitals"},
        {"96,e,6,3", 9600, kPrtParityEven, 6, kPrtStopOne, false, "a stop field other than 2 is one"},
        {"99999999999999", 999999999, asRead, 8, kPrtStopOne, false, "digits stop growing the rate"},
    };
    for (const Case& c : cases) {
        PrtCommSettings s = PrtParseCommSettings(c.text, asRead);
        EXPECT_EQ(c.baud, s.baud) << c.why;
        EXPECT_EQ(c.parity, s.parity) << c.why;
        EXPECT_EQ(c.dataBits, s.dataBits) << c.why;
        EXPECT_EQ(c.stopBits, s.stopBits) << c.why;
        EXPECT_EQ(c.xon, s.xonOut) << c.why;
    }
}

TEST(PrintFileCalc, WindowsErrorsToRuntimeNumbers) {
    struct Case {
        uint32_t win;
        int32_t runtime;
        const char* why;
    };
    const Case cases[] = {
        {3, 2, "a missing folder: not found"},
        {112, 28, "a full device: disk full"},
        {5, 13, "access denied"},
        {0, 5, "a write that failed without an error: the I/O error"},
        {1460, 5, "a time-out: the I/O error"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.runtime, PrtMapWinError(c.win)) << c.why;
    EXPECT_STREQ("PRT: Memory Allocation!", PrtFileErrorText(202)) << "201 and 202 share their text";
    EXPECT_EQ(nullptr, PrtFileErrorText(212)) << "beyond the printer file codes";
}

// A port that answers each write from a script: {ok, bytes taken, error};
// past the script every write takes everything. The log has "w<n>" for each
// write asked (n bytes), "d" for a debug box, "R" or "C" for the answer asked.
struct FakePort {
    struct Step {
        bool ok;
        size_t take;
        uint32_t err;
    };
    std::vector<Step> steps;
    std::vector<bool> answers;  // Retry (true) or Cancel, in order
    size_t step = 0, answer = 0;
    std::string log, got;
};
bool FakeWrite(void* ctx, const uint8_t* data, size_t n, size_t* written, uint32_t* err) {
    FakePort* p = static_cast<FakePort*>(ctx);
    p->log += "w" + std::to_string(n) + " ";
    FakePort::Step s = p->step < p->steps.size() ? p->steps[p->step++] : FakePort::Step{true, n, 0};
    *written = s.take < n ? s.take : n;
    p->got.append(reinterpret_cast<const char*>(data), *written);
    if (!s.ok) *err = s.err;
    return s.ok;
}
void FakeDebug(void* ctx, uint32_t) { static_cast<FakePort*>(ctx)->log += "d "; }
bool FakeAsk(void* ctx) {
    FakePort* p = static_cast<FakePort*>(ctx);
    bool retry = p->answer < p->answers.size() && p->answers[p->answer++];
    p->log += retry ? "R " : "C ";
    return retry;
}

TEST(PrintFileCalc, PortWritesRetriesAndBoxes) {
    struct Case {
        std::vector<FakePort::Step> steps;
        std::vector<bool> answers;
        uint32_t retries;
        int32_t result;
        uint32_t err;
        const char* log;
        size_t delivered;
        const char* why;
    };
    const Case cases[] = {
        {{}, {}, 0, 0, 0, "w10 ", 10, "one write takes all"},
        {{{true, 4, 0}}, {}, 0, 0, 0, "w10 w6 ", 10, "a short write under time-out goes on with the rest"},
        {{{true, 4, 0}, {true, 3, 0}}, {}, 0, 0, 0, "w10 w6 w3 ", 10, "short writes, no retry used"},
        {{{true, 0, 0}, {true, 0, 0}}, {true}, 1, 0, kPrtNoProgressError, "w10 d w10 R w10 ", 10,
         "a write that takes nothing is retried, then asked"},
        {{{false, 0, 112}, {false, 0, 112}, {false, 0, 112}, {false, 0, 112}, {false, 0, 112}, {false, 0, 112}},
         {true, false}, 2, -1, 112, "w10 d w10 d w10 R w10 d w10 d w10 C ", 0,
         "two silent retries, Retry starts them again, then Cancel"},
        {{{false, 2, 112}}, {}, 1, 0, 112, "w10 d w8 ", 10, "a failing write's bytes taken are skipped"},
        {{{false, 0, 5}}, {}, 0, -1, 5, "w10 C ", 0, "no retries: asked at once"},
        {{{true, 10, 0}}, {}, 0, 0, 0, "w10 ", 10, "exactly all"},
    };
    for (const Case& c : cases) {
        FakePort port;
        port.steps = c.steps;
        port.answers = c.answers;
        const PrtPortWriteOps ops = {FakeWrite, FakeDebug, FakeAsk};
        const std::string data = "0123456789";
        uint32_t err = 99;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data.data());
        int32_t r = PrtPortWrite(bytes, data.size(), c.retries, ops, &port, &err);
        EXPECT_EQ(c.result, r) << c.why;
        EXPECT_EQ(c.log, port.log) << c.why;
        if (c.result) {
            EXPECT_EQ(c.err, err) << c.why;
        }
        if (c.delivered) {
            EXPECT_EQ(data, port.got) << c.why << ": every byte once, in order";
        }
    }
}

TEST(PrintFileCalc, XpsDriverDecision) {
    const size_t at = 96;
    struct Case {
        uint32_t attributes;
        uint32_t first, second;
        size_t blockSize;
        bool xps;
        const char* why;
    };
    const Case cases[] = {
        {2, 500, 500, kPrtDriverInfoBlock, true, "the XPS attribute"},
        {3, 500, 500, kPrtDriverInfoBlock, true, "with other attributes"},
        {1, 500, 500, kPrtDriverInfoBlock, false, "no XPS attribute"},
        {2, kPrtDriverInfoBlock, 500, kPrtDriverInfoBlock, false, "first size answer not below the block"},
        {2, 500, 30000, kPrtDriverInfoBlock, false, "second size answer too large"},
        {2, 500, 500, at + 2, false, "an attribute word past the block"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> block(kPrtDriverInfoBlock, 0);
        memcpy(block.data() + at, &c.attributes, 4);
        EXPECT_EQ(c.xps, PrtIsXpsDriverBlock(block.data(), c.blockSize, at, c.first, c.second)) << c.why;
    }
}

// The text-mode layout recorded as "col,line:text" and "|" for a page.
struct TextLog {
    std::string out;
};
void LogDraw(void* ctx, int32_t column, int32_t line, const char* text, size_t n) {
    static_cast<TextLog*>(ctx)->out += std::to_string(column) + "," + std::to_string(line) + ":" +
                                       std::string(text, n) + " ";
}
void LogPage(void* ctx) { static_cast<TextLog*>(ctx)->out += "| "; }

TEST(PrintFileCalc, TextModeLayout) {
    struct Case {
        std::string in;
        uint16_t linesPerPage;
        const char* drawn;
        int32_t line, column;
        const char* why;
    };
    const Case cases[] = {
        {"AB\tC", 60, "0,0:AB 8,0:C ", 0, 9, "a tab goes to the next multiple of 8"},
        {"\t\tX", 60, "16,0:X ", 0, 17, "two tabs"},
        {"12345678\tX", 60, "0,0:12345678 16,0:X ", 0, 17, "a tab at a stop moves a whole stop"},
        {"A B", 60, "0,0:A 2,0:B ", 0, 3, "a blank moves one column"},
        {"AB\rC", 60, "0,0:AB 0,0:C ", 0, 1, "a return goes to column 0"},
        {"A\nB", 60, "0,0:A 1,1:B ", 1, 2, "a line feed keeps the column"},
        {"A\r\nB", 60, "0,0:A 0,1:B ", 1, 1, "return and line feed"},
        {"A\fB", 60, "0,0:A | 0,0:B ", 0, 1, "a form feed starts a page"},
        {"A\nB\nC", 2, "0,0:A 1,1:B | 0,0:C ", 0, 1, "the line count starts a page"},
        {std::string("x\x01\x0b\x1fy", 5), 60, "0,0:x\x01\x0b\x1fy ", 0, 5, "other control characters are text"},
        {"\xe9t\xe9", 60, "0,0:\xe9t\xe9 ", 0, 3, "characters above 127 are text"},
    };
    std::vector<char> pending(kPrtFileTextMax);
    const PrtTextOps ops = {LogDraw, LogPage};
    for (const Case& c : cases) {
        TextLog log;
        PrtTextState st = {0, 0, c.linesPerPage, pending.data(), 0};
        PrtTextFeed(&st, reinterpret_cast<const uint8_t*>(c.in.data()), c.in.size(), ops, &log);
        EXPECT_EQ(c.drawn, log.out) << c.why;
        EXPECT_EQ(c.line, st.line) << c.why;
        EXPECT_EQ(c.column, st.column) << c.why;
        EXPECT_EQ(0u, st.pendingCount) << c.why << ": everything is drawn at the end";
    }
    // More characters than the pending text holds are drawn in pieces.
    std::string big(kPrtFileTextMax + 5, 'x');
    TextLog log;
    PrtTextState st = {0, 0, 60, pending.data(), 0};
    PrtTextFeed(&st, reinterpret_cast<const uint8_t*>(big.data()), big.size(), ops, &log);
    EXPECT_EQ(static_cast<int32_t>(big.size()), st.column);
    EXPECT_EQ(0u, log.out.find("0,0:")) << "the first piece at column 0";
    EXPECT_NE(std::string::npos, log.out.find(std::to_string(kPrtFileTextMax) + ",0:xxxxx ")) << "the rest after it";
}

TEST(PrintFileCalc, DeviceInfoRecord) {
    PrtDeviceInfoFields f = {};
    f.driverVersion = 1;
    f.pageWidth = 123456789;     // D8 keeps the last eight digits
    f.copies = -5;
    f.hasDevMode = true;
    f.deviceName = "QovTest123";
    f.setup[0] = -5;
    f.setup[1] = 9;
    f.coordMode = 1;
    f.rowField = PrtCellNumber(0, 50);
    f.columnField = PrtCellNumber(0, 25);
    f.jobFlags[1] = true;
    char out[kPrtDeviceInfoLen + 8];
    memset(out, '#', sizeof out);
    PrtFormatDeviceInfo(f, out);
    std::string s(out);
    ASSERT_EQ(kPrtDeviceInfoLen, s.size());
    struct Field {
        size_t at, len;
        const char* text;
        const char* why;
    };
    const Field fields[] = {
        {0, 8, "00000001", "driver version D8"},
        {8, 8, "23456789", "D8 modulo 100000000"},
        {56, 1, "N", "no STRETCHDIB"},
        {57, 4, "-005", "D4 of -5"},
        {79, 5, "NYNNN", "job flag bits"},
        {84, 4, "0010", "a 10-character device name"},
        {88, 31, "QovTest123                     ", "the name and 21 blanks"},
        {119, 11, "-0000000005", "S11 of -5"},
        {130, 11, "00000000009", "S11 of 9"},
        {240, 8, "00000000", "row"},
        {256, 4, "0001", "coordinate mode"},
        {276, 16, "0000000100000001", "cell mode at 0, 0: row and column 1"},
    };
    for (const Field& fl : fields) EXPECT_EQ(fl.text, s.substr(fl.at, fl.len)) << fl.why;
    f.hasDevMode = false;
    PrtFormatDeviceInfo(f, out);
    s = out;
    EXPECT_EQ("0000", s.substr(84, 4)) << "without a DEVMODE no name";
    EXPECT_EQ("00000000000", s.substr(119, 11)) << "and zero set-up values";
}

TEST(PrintFileCalc, FontMetricsRecord) {
    PrtFontMetricsFields f = {40, 10, 50, 56, 24, 60, 12345, ' ', 0xFF};
    char out[kPrtFontMetricsLen + 1];
    PrtFormatFontMetrics(f, out);
    ASSERT_EQ(kPrtFontMetricsLen, strlen(out));
    EXPECT_EQ(std::string("0040001000500056002400602345 \xff" "00012345"), std::string(out));
}

}  // namespace
