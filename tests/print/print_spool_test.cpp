// print_spool_test.cpp - the spool file natively: the header and page record
// bytes, every record type written and read back, texts in buffer-sized
// chunks, the short form's offset limit, image references, and hostile files
// refused with their codes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "print/prtspool.h"

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
void SetU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

SpoolPageState Page(uint32_t textColor = 0x112233) {
    SpoolPageState s = {};
    s.textFlags = 8;
    s.textColor = textColor;
    s.backColor = 0xFFFFFF;
    s.fontSize = 110;
    s.angle = 900;
    s.bold = 1;
    s.strike = 1;
    strcpy(s.face, "Courier New");
    s.penWidth = 3;
    s.coordMode = 1;
    s.ropIndex = 2;
    for (size_t i = 0; i < kSpoolSetupValues; i++) s.setup[i] = static_cast<uint16_t>(i + 1);
    s.leftMargin = 4;
    s.topMargin = 5;
    return s;
}

// A 2 x 2 picture of 24 bits: rows of 8 bytes.
struct Dib {
    uint8_t header[40] = {};
    uint8_t pixels[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    Dib() {
        SetU32(header, 40);
        SetU32(header + 4, 2);
        SetU32(header + 8, 2);
        header[12] = 1;
        header[14] = 24;
    }
    SpoolImage Image(uint16_t top) const {
        SpoolImage img = {};
        img.top = top;
        img.bottom = top + 10;
        img.left = 1;
        img.right = 11;
        img.mode = 0;
        img.dib = header;
        img.pixels = pixels;
        img.pixelBytes = sizeof pixels;
        return img;
    }
};

struct File {
    SpoolMemFile mem = {};
    SpoolIo io;
    File() { SpoolMemIo(&mem, &io); }
    ~File() { SpoolMemFree(&mem); }
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(mem.data, mem.data + mem.size); }
};

// Three pages: every record type on the first, one text on each other.
void WriteSample(File& f, bool longForm) {
    SpoolWriter w;
    SpoolWriterInit(&w, &f.io, longForm, false);
    Dib dib;
    SpoolImageMemo memo = {};
    ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "Invoice", '.'));
    ASSERT_EQ(0, SpoolWriteControl(&w, 283, 7));
    ASSERT_EQ(0, SpoolWriteColor(&w, 270, 0x0000FF));
    ASSERT_EQ(0, SpoolWriteFour(&w, kSpoolRecPos, 10, 20));
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, "HELLO", 5));
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecNumber, "12.50", 5));
    SpoolPageState font = Page();
    strcpy(font.face, "Arial");
    font.fontSize = 140;
    ASSERT_EQ(0, SpoolWriteFont(&w, font));
    ASSERT_EQ(0, SpoolWriteFour(&w, kSpoolRecLine, 30, 40));
    ASSERT_EQ(0, SpoolWriteShape(&w, kSpoolRecRect, 1, 2, 3, 4));
    ASSERT_EQ(0, SpoolWriteShape(&w, kSpoolRecEllipse, 5, 6, 7, 8));
    ASSERT_EQ(0, SpoolWriteRoundRect(&w, 9, 10, 11, 12, 13, 14));
    ASSERT_EQ(0, SpoolWriteShape(&w, kSpoolRecRegion, 15, 16, 17, 18));
    ASSERT_EQ(0, SpoolWriteImage(&w, dib.Image(50), &memo, false));
    ASSERT_EQ(0, SpoolWriteImage(&w, dib.Image(70), &memo, false));
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecPdfAttach, "FILE=a", 6));
    ASSERT_EQ(0, SpoolBeginPage(&w, Page(0x445566), "Invoice", '.'));
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, "PAGE2", 5));
    // A page longer than the buffer: its record is in the file before its link is set.
    std::string big(9000, 'b');
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, big.data(), big.size()));
    ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "Invoice", '.'));
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, "PAGE3", 5));
    ASSERT_EQ(0, SpoolFinish(&w));
}

std::vector<SpoolRecord> Records(const SpoolReader& r) {
    std::vector<SpoolRecord> out;
    size_t off = kSpoolPageRecord;
    for (;;) {
        SpoolRecord rec;
        SpoolDecode d = SpoolDecodeRecord(r.page, r.pageLen, off, &rec);
        if (d != kSpoolDecodeOk) {
            EXPECT_EQ(kSpoolDecodePageEnd, d) << "record at " << off;
            break;
        }
        out.push_back(rec);
        off += rec.size;
    }
    return out;
}

TEST(SpoolFile, HeaderAndPageRecordBytes) {
    struct Case {
        bool longForm;
        size_t size, nameAt, decimalAt;
        uint32_t version;
        const char* why;
    };
    const Case cases[] = {
        {false, 175, 24, 75, 3, "short form: 51-byte name, decimal at 75"},
        {true, 226, 24, 125, 4, "long form: 101-byte name, decimal at 125"},
    };
    for (const Case& c : cases) {
        uint8_t h[kSpoolLongHeader];
        memset(h, 0xEE, sizeof h);
        EXPECT_EQ(c.size, SpoolEncodeHeader(c.longForm, c.version, 3, "Doc", ',', h)) << c.why;
        EXPECT_EQ(0, memcmp(h, "ASPL", 4)) << c.why;
        EXPECT_EQ(c.version, U32(h + 4)) << c.why;
        EXPECT_EQ(3u, U32(h + 8)) << c.why;
        EXPECT_EQ(0, memcmp(h + c.nameAt, "Doc\0", 4)) << c.why;
        EXPECT_EQ(',', h[c.decimalAt]) << c.why;
        for (size_t i = 12; i < c.size; i++)
            if (i != c.decimalAt && (i < 24 || i > 26)) EXPECT_EQ(0, h[i]) << c.why << " byte " << i;
    }
    uint8_t rec[kSpoolPageRecord];
    SpoolEncodePageRecord(Page(), rec);
    const struct {
        size_t at;
        uint32_t value;
        size_t width;
    } fields[] = {
        {8, 8, 4}, {12, 0x112233, 4}, {16, 0xFFFFFF, 4}, {20, 110, 4}, {24, 1, 1}, {25, 0, 1}, {26, 0, 1},
        {59, 3, 2}, {61, 1, 1}, {62, 2, 4}, {66, 1, 2}, {86, 11, 2}, {88, 900, 2}, {90, 1, 1}, {91, 1, 1},
        {92, 4, 2}, {94, 5, 2},
    };
    for (const auto& f : fields) {
        uint32_t v = f.width == 1 ? rec[f.at] : f.width == 2 ? (rec[f.at] | rec[f.at + 1] << 8) : U32(rec + f.at);
        EXPECT_EQ(f.value, v) << "page record offset " << f.at;
    }
    EXPECT_EQ(0, memcmp(rec + 27, "Courier New\0", 12));
    for (size_t i = 104; i < 128; i++) EXPECT_EQ(0, rec[i]) << "zero tail " << i;
}

TEST(SpoolFile, EveryRecordRoundTrips) {
    for (bool longForm : {false, true}) {
        File f;
        WriteSample(f, longForm);
        std::vector<uint8_t> bytes = f.Bytes();
        size_t header = longForm ? 226 : 175;
        EXPECT_EQ(3u, U32(bytes.data() + 12)) << "page count";
        EXPECT_EQ(bytes.size(), U32(bytes.data() + 20)) << "end offset";
        EXPECT_EQ(2u, U32(bytes.data() + 8)) << "flag 1 cleared at the end";
        EXPECT_EQ(longForm ? 5u : 3u, U32(bytes.data() + 4)) << "an image reference raises a long file to 5";
        EXPECT_EQ(0u, U32(bytes.data() + header + 4)) << "the first page has no previous page";

        SpoolReader r = {};
        ASSERT_EQ(0, SpoolReadHeader(&r, &f.io, '.'));
        EXPECT_EQ(longForm, r.longForm);
        EXPECT_EQ(header, r.dataStart);
        EXPECT_EQ(3u, r.pages);
        EXPECT_STREQ("Invoice", r.docName);
        EXPECT_EQ('.', r.decimal);
        SpoolPageState ps;
        SpoolDecodePageRecord(r.page, false, &ps);
        EXPECT_EQ(0x112233u, ps.textColor);
        EXPECT_STREQ("Courier New", ps.face);
        EXPECT_EQ(900, ps.angle);
        EXPECT_EQ(5, ps.topMargin);

        std::vector<SpoolRecord> recs = Records(r);
        const uint8_t types[] = {1, 2, 4, 3, 12, 13, 7, 8, 9, 10, 14, 6, 15, 16};
        ASSERT_EQ(sizeof types, recs.size());
        for (size_t i = 0; i < recs.size(); i++) {
            uint8_t want = types[i];
            if (!longForm && want == 15) want = 6;  // a short file holds no references
            EXPECT_EQ(want, recs[i].type) << "record " << i;
        }
        EXPECT_EQ(283u, recs[0].code);
        EXPECT_EQ(7u, recs[0].value);
        EXPECT_EQ(0x0000FFu, recs[1].value);
        EXPECT_EQ(20, recs[2].row);
        EXPECT_EQ(std::string("HELLO"), std::string(reinterpret_cast<const char*>(recs[3].text), recs[3].textLen));
        EXPECT_STREQ("Arial", recs[5].font.face);
        EXPECT_EQ(140u, recs[5].font.fontSize);
        EXPECT_EQ(900, recs[5].font.angle);
        EXPECT_EQ(14, recs[9].cornerHeight);
        EXPECT_EQ(18, recs[10].right);
        EXPECT_EQ(16u, recs[11].pixelBytes);
        EXPECT_EQ(11, recs[11].pixels[12]) << "pixels after the header";
        if (longForm) {
            EXPECT_EQ(22u, recs[12].size) << "15 is stepped over with its 8";
            EXPECT_EQ(70, recs[12].top) << "the rectangle of the 8 after it";
            SpoolImageCache cache = {};
            SpoolRecord img;
            ASSERT_EQ(0, SpoolReadImageRef(&r, recs[12].refOffset, recs[12].refSize, &cache, &img));
            EXPECT_EQ(50, img.top) << "the first print's record";
            EXPECT_EQ(0, memcmp(img.pixels, Dib().pixels, 16));
            SpoolImageCacheFree(&cache);
        }

        bool moved = false;
        ASSERT_EQ(0, SpoolStepPage(&r, true, &moved));
        EXPECT_FALSE(moved) << "back from the first page";
        ASSERT_EQ(0, SpoolStepPage(&r, false, &moved));
        EXPECT_TRUE(moved);
        EXPECT_EQ(2u, r.current);
        SpoolDecodePageRecord(r.page, false, &ps);
        EXPECT_EQ(0x445566u, ps.textColor);
        EXPECT_EQ(2u, Records(r).size()) << "page 2 whole, its link patched in the file";
        ASSERT_EQ(0, SpoolStepPage(&r, false, &moved));
        ASSERT_EQ(0, SpoolStepPage(&r, false, &moved));
        EXPECT_FALSE(moved) << "forward from the last page";
        EXPECT_EQ(3u, r.current);
        std::vector<SpoolRecord> last = Records(r);
        ASSERT_EQ(1u, last.size());
        EXPECT_EQ(std::string("PAGE3"), std::string(reinterpret_cast<const char*>(last[0].text), 5));
        ASSERT_EQ(0, SpoolStepPage(&r, true, &moved));
        EXPECT_EQ(2u, r.current);
        ASSERT_EQ(0, SpoolRewind(&r));
        EXPECT_EQ(1u, r.current);
        EXPECT_EQ(14u, Records(r).size());
        SpoolReaderFree(&r);
    }
}

// The writes the file sees, by size.
struct CountingIo {
    File f;
    SpoolIo io;
    std::vector<size_t> sizes;
    static bool Write(void* ctx, const void* b, size_t n) {
        CountingIo* c = static_cast<CountingIo*>(ctx);
        c->sizes.push_back(n);
        return c->f.io.write(c->f.io.ctx, b, n);
    }
    CountingIo() {
        io = f.io;
        io.ctx = this;
        io.write = Write;
        io.read = [](void* c, void* b, size_t n, size_t* g) {
            File& ff = static_cast<CountingIo*>(c)->f;
            return ff.io.read(ff.io.ctx, b, n, g);
        };
        io.seek = [](void* c, uint64_t o) { File& ff = static_cast<CountingIo*>(c)->f; return ff.io.seek(ff.io.ctx, o); };
        io.tell = [](void* c, uint64_t* o) { File& ff = static_cast<CountingIo*>(c)->f; return ff.io.tell(ff.io.ctx, o); };
        io.size = [](void* c, uint64_t* o) { File& ff = static_cast<CountingIo*>(c)->f; return ff.io.size(ff.io.ctx, o); };
        io.fail = nullptr;
    }
};

TEST(SpoolFile, LongTextGoesInBufferSizedChunks) {
    CountingIo c;
    SpoolWriter w;
    SpoolWriterInit(&w, &c.io, true, false);
    ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "T", '.'));
    std::string text(10000, 'x');
    ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, text.data(), text.size()));
    ASSERT_EQ(0, SpoolFinish(&w));
    // Header, page record and the text's 3 head bytes, then 4094, 4094 and
    // 1812 with the end record.
    ASSERT_GE(c.sizes.size(), 4u);
    EXPECT_EQ(226u + 128 + 3, c.sizes[0]);
    EXPECT_EQ(4094u, c.sizes[1]);
    EXPECT_EQ(4094u, c.sizes[2]);
    EXPECT_EQ(1812u + 1, c.sizes[3]);
    SpoolReader r = {};
    ASSERT_EQ(0, SpoolReadHeader(&r, &c.io, '.'));
    std::vector<SpoolRecord> recs = Records(r);
    ASSERT_EQ(1u, recs.size());
    EXPECT_EQ(10000, recs[0].textLen);
    SpoolReaderFree(&r);
}

TEST(SpoolFile, ShortFormStopsBelowFourGigabytes) {
    struct Case {
        uint64_t pageEnd;
        bool endPage;  // true: the end of page 1, false: the end of the file
        int32_t result;
        uint32_t detail;
        const char* why;
    };
    const Case cases[] = {
        {0xFFEFFFFFull, true, 0, 0, "a page ending at the limit is taken"},
        {0xFFF00000ull, true, kPrtSpoolWrite, kSpoolErrPagePos, "one past it is refused at the page end"},
        {0xFFF00000ull, false, kPrtSpoolWrite, kSpoolErrFinishPos, "and at the close"},
    };
    for (const Case& c : cases) {
        File f;
        // The file pretends to begin far into the disk: the page ends where
        // the case says.
        f.mem.gapAt = 0;
        f.mem.gap = c.pageEnd - (kSpoolShortHeader + kSpoolPageRecord + 4 + 1);
        SpoolWriter w;
        SpoolWriterInit(&w, &f.io, false, false);
        ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "T", '.'));
        ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, "x", 1));
        int32_t r = c.endPage ? SpoolEndPage(&w) : SpoolFinish(&w);
        EXPECT_EQ(c.result, r) << c.why;
        EXPECT_EQ(c.detail, f.mem.lastDetail) << c.why;
    }
    SpoolWriter w;
    File f;
    SpoolWriterInit(&w, &f.io, false, false);
    f.mem.failAfterWrites = 1;
    ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "T", '.'));
    EXPECT_EQ(kPrtSpoolWrite, SpoolFinish(&w)) << "a failing write";
    EXPECT_EQ(kSpoolErrFinishFlush, f.mem.lastDetail);
}

TEST(SpoolFile, HeaderFormByNameAndTexts) {
    struct Case {
        bool setting;
        size_t nameLen;
        bool utf16;
        bool shortForm;
    };
    const Case cases[] = {{true, 50, false, true}, {true, 51, false, false}, {false, 5, false, false},
                          {true, 5, true, false}};
    for (const Case& c : cases) EXPECT_EQ(c.shortForm, SpoolUseShortForm(c.setting, c.nameLen, c.utf16)) << c.nameLen;
}

// A file that is changed before it is read.
struct Hostile {
    const char* why;
    void (*mutate)(std::vector<uint8_t>& b);
    int32_t headerResult;
    uint32_t detail;
    bool walkBad;          // the first page's records are refused
    int32_t refResult;     // the image reference replay, long form
};

TEST(SpoolFile, HostileFilesAreRefused) {
    const size_t p1 = kSpoolLongHeader;
    const Hostile cases[] = {
        {"bad magic", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, kPrtSpoolBad, 102, false, 0},
        {"version 8", [](std::vector<uint8_t>& b) { SetU32(b.data() + 4, 8); }, kPrtSpoolBad, 103, false, 0},
        {"still being written", [](std::vector<uint8_t>& b) { b[8] |= 1; }, kPrtSpoolBad, 104, false, 0},
        {"truncated", [](std::vector<uint8_t>& b) { b.resize(300); }, kPrtSpoolRead, 0, false, 0},
        {"end beyond the file", [](std::vector<uint8_t>& b) { SetU32(b.data() + 20, U32(b.data() + 20) + 1); },
         kPrtSpoolRead, 0, false, 0},
        {"largest page beyond the data", [](std::vector<uint8_t>& b) { SetU32(b.data() + 16, 0x7FFFFFFF); },
         kPrtNoPageBuffer, 0, false, 0},
        {"page over the largest", [](std::vector<uint8_t>& b) { SetU32(b.data() + 16, 200); }, kPrtSpoolBad, 101,
         false, 0},
        {"next link backwards", [](std::vector<uint8_t>& b) { SetU32(b.data() + kSpoolLongHeader, 10); },
         kPrtSpoolBad, 101, false, 0},
        {"type 0 record", [](std::vector<uint8_t>& b) { b[kSpoolLongHeader + 128] = 0; }, 0, 0, true, 0},
        {"type 20 record", [](std::vector<uint8_t>& b) { b[kSpoolLongHeader + 128] = 20; }, 0, 0, true, 0},
        {"text length past the page",
         [](std::vector<uint8_t>& b) {
             size_t at = kSpoolLongHeader + 128 + 7 + 9 + 5;  // the first text record
             b[at + 1] = 0xFF;
             b[at + 2] = 0xFF;
         },
         0, 0, true, 0},
        {"image pixels past the page",
         [](std::vector<uint8_t>& b) {
             for (size_t i = kSpoolLongHeader + 128; i + 1 < b.size(); i++)
                 if (b[i] == 6 && b[i + 1] == 50) {  // the image record at top 50
                     SetU32(b.data() + i + 33 + 20, 0xFFFFFFF0u);
                     break;
                 }
         },
         0, 0, true, 0},
        {"image reference beyond the file",
         [](std::vector<uint8_t>& b) {
             for (size_t i = kSpoolLongHeader + 128; i + 13 < b.size(); i++)
                 if (b[i] == 15 && b[i + 13] == 8) {
                     SetU32(b.data() + i + 1, 0xFFFFFF00u);
                     break;
                 }
         },
         0, 0, false, kPrtSpoolRead},
    };
    (void)p1;
    for (const Hostile& c : cases) {
        File f;
        WriteSample(f, true);
        std::vector<uint8_t> b = f.Bytes();
        c.mutate(b);
        File g;
        g.io.write(g.io.ctx, b.data(), b.size());
        SpoolReader r = {};
        int32_t res = SpoolReadHeader(&r, &g.io, '.');
        EXPECT_EQ(c.headerResult, res) << c.why;
        if (res) {
            EXPECT_EQ(c.detail, r.detail) << c.why;
            SpoolReaderFree(&r);
            continue;
        }
        size_t off = kSpoolPageRecord;
        bool bad = false;
        int32_t refResult = 0;
        SpoolImageCache cache = {};
        for (;;) {
            SpoolRecord rec;
            SpoolDecode d = SpoolDecodeRecord(r.page, r.pageLen, off, &rec);
            if (d == kSpoolDecodeBad) bad = true;
            if (d != kSpoolDecodeOk) break;
            if (rec.type == kSpoolRecImageRef) {
                SpoolRecord img;
                int32_t rr = SpoolReadImageRef(&r, rec.refOffset, rec.refSize, &cache, &img);
                if (rr && !refResult) refResult = rr;
            }
            off += rec.size;
        }
        EXPECT_EQ(c.walkBad, bad) << c.why;
        EXPECT_EQ(c.refResult, refResult) << c.why;
        SpoolImageCacheFree(&cache);
        SpoolReaderFree(&r);
    }
}

// Forty pages of different lengths, one of them longer than the reader's
// read-ahead window, and pages that lie across the window's end; the page
// offsets as stepping finds them.
constexpr uint32_t kManyPages = 40, kBigPage = 36;
void WriteManyPages(File& f, bool longForm, std::vector<uint64_t>* offsets) {
    SpoolWriter w;
    SpoolWriterInit(&w, &f.io, longForm, false);
    for (uint32_t p = 1; p <= kManyPages; p++) {
        ASSERT_EQ(0, SpoolBeginPage(&w, Page(p), "Many", '.'));
        std::string t = "PAGE " + std::to_string(p) + std::string(1 + p * 997 % 4000, 'x');
        ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, t.data(), t.size()));
        for (int i = 0; p == kBigPage && i < 3; i++) {
            std::string big(30000, static_cast<char>('a' + i));
            ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, big.data(), big.size()));
        }
    }
    ASSERT_EQ(0, SpoolFinish(&w));
    SpoolReader r = {};
    ASSERT_EQ(0, SpoolReadHeader(&r, &f.io, '.'));
    bool moved = true;
    while (moved) {
        offsets->push_back(r.pageOffset);
        ASSERT_EQ(0, SpoolStepPage(&r, false, &moved));
    }
    SpoolReaderFree(&r);
}

// What a reader holds after reaching for a page: the result and everything
// a caller can see of the page in hand.
struct Reached {
    int32_t result;
    uint32_t detail, current;
    uint64_t pageOffset;
    std::vector<uint8_t> page;
};

Reached ReachPage(const std::vector<uint8_t>& bytes, uint32_t from, uint32_t n, bool jump) {
    File g;
    g.io.write(g.io.ctx, bytes.data(), bytes.size());
    SpoolReader r = {};
    Reached out = {SpoolReadHeader(&r, &g.io, '.'), 0, 0, 0, {}};
    bool moved = true;
    while (!out.result && moved && r.current < from) out.result = SpoolStepPage(&r, false, &moved);
    if (!out.result && jump) {
        out.result = SpoolGoToPage(&r, n, &moved);
    } else if (!out.result) {
        // The way the preview stepped before: one page at a time.
        moved = true;
        while (moved && r.current != n && !(out.result = SpoolStepPage(&r, n < r.current, &moved))) {
        }
    }
    out.detail = out.result == kPrtSpoolBad ? r.detail : 0;
    out.current = r.current;
    out.pageOffset = r.pageOffset;
    if (r.page) out.page.assign(r.page, r.page + r.pageLen);
    SpoolReaderFree(&r);
    return out;
}

TEST(SpoolFile, GoingToAPageMatchesStepping) {
    enum Link { kNoChange, kNextBack, kNextBeyond, kNextZero, kPrevAhead, kPrevOutside };
    struct Case {
        uint32_t from, to;
        uint32_t mutatedPage;   // 0: none
        Link link;
        int32_t result;         // of stepping, and so of going to the page
        const char* why;
    };
    const Case cases[] = {
        {1, kManyPages, 0, kNoChange, 0, "first to last"},
        {kManyPages, 1, 0, kNoChange, 0, "last to first"},
        {5, 38, 0, kNoChange, 0, "forward over the long page"},
        {38, 5, 0, kNoChange, 0, "back over the long page"},
        {7, 8, 0, kNoChange, 0, "one step forward"},
        {8, 7, 0, kNoChange, 0, "one step back"},
        {12, 12, 0, kNoChange, 0, "the page in hand"},
        {3, 100, 0, kNoChange, 0, "past the last page: the last one"},
        {9, 0, 0, kNoChange, 0, "before the first page: the first one"},
        {1, kManyPages, 20, kNextBack, kPrtSpoolBad, "a next link pointing back is refused where stepping refuses it"},
        {1, kManyPages, 20, kNextBeyond, kPrtSpoolBad, "a next link beyond the data"},
        {1, kManyPages, 20, kNextZero, kPrtSpoolBad, "a page claiming to be the last, longer than the largest"},
        {1, 19, 20, kNextBack, 0, "a bad link past the page wanted is never read"},
        {kManyPages, 1, 20, kPrevAhead, kPrtSpoolBad, "a previous link pointing ahead"},
        {kManyPages, 1, 20, kPrevOutside, kPrtSpoolBad, "a previous link before the data"},
        {kManyPages, 21, 20, kPrevAhead, 0, "a bad link before the page wanted is never read"},
    };
    for (bool longForm : {false, true}) {
        File f;
        std::vector<uint64_t> offsets;
        WriteManyPages(f, longForm, &offsets);
        ASSERT_EQ(kManyPages, offsets.size());
        for (const Case& c : cases) {
            std::vector<uint8_t> b = f.Bytes();
            if (c.mutatedPage) {
                uint8_t* rec = b.data() + offsets[c.mutatedPage - 1];
                uint32_t here = static_cast<uint32_t>(offsets[c.mutatedPage - 1]);
                switch (c.link) {
                case kNextBack: SetU32(rec + kSpoolPgNext, static_cast<uint32_t>(offsets[2])); break;
                case kNextBeyond: SetU32(rec + kSpoolPgNext, static_cast<uint32_t>(b.size() + 500)); break;
                case kNextZero: SetU32(rec + kSpoolPgNext, 0); break;
                case kPrevAhead: SetU32(rec + kSpoolPgPrev, here + 1); break;
                case kPrevOutside: SetU32(rec + kSpoolPgPrev, 10); break;
                case kNoChange: break;
                }
            }
            Reached stepped = ReachPage(b, c.from, c.to, false);
            Reached jumped = ReachPage(b, c.from, c.to, true);
            std::string why = std::string(c.why) + (longForm ? " (long form)" : " (short form)");
            EXPECT_EQ(c.result, stepped.result) << why;
            EXPECT_EQ(stepped.result, jumped.result) << why;
            EXPECT_EQ(stepped.detail, jumped.detail) << why;
            EXPECT_EQ(stepped.current, jumped.current) << why;
            EXPECT_EQ(stepped.pageOffset, jumped.pageOffset) << why;
            EXPECT_TRUE(stepped.page == jumped.page) << why << ": the page in hand differs";
            if (!c.result) {
                uint32_t want = c.to < 1 ? 1 : c.to > kManyPages ? kManyPages : c.to;
                EXPECT_EQ(want, jumped.current) << why;
                EXPECT_EQ(offsets[want - 1], jumped.pageOffset) << why;
                // The page's own text, as written: the window's refills kept the bytes in order.
                std::string head = "PAGE " + std::to_string(want) + "x";
                ASSERT_GE(jumped.page.size(), kSpoolPageRecord + 3 + head.size()) << why;
                EXPECT_EQ(kSpoolRecText, jumped.page[kSpoolPageRecord]) << why;
                EXPECT_EQ(head, std::string(reinterpret_cast<const char*>(jumped.page.data()) + kSpoolPageRecord + 3,
                                            head.size()))
                    << why;
            }
        }
    }
}

TEST(SpoolFile, OlderFilesAreReadTheirWay) {
    struct Case {
        uint32_t version;
        uint8_t byte125;
        bool longForm;
        uint32_t readVersion;
        bool wholePoints;
        const char* why;
    };
    const Case cases[] = {
        {1, 0, false, 2, true, "version 1: short, whole-point sizes"},
        {2, 0, false, 2, false, "version 2: short, page records without angle"},
        {3, 0, false, 3, false, "version 3 short"},
        {3, '.', true, 7, false, "version 3 whose byte 125 is the decimal character: long"},
    };
    for (const Case& c : cases) {
        File f;
        SpoolWriter w;
        SpoolWriterInit(&w, &f.io, c.longForm, false);
        ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "Old", '.'));
        ASSERT_EQ(0, SpoolWriteText(&w, kSpoolRecText, "OLD", 3));
        ASSERT_EQ(0, SpoolFinish(&w));
        std::vector<uint8_t> b = f.Bytes();
        SetU32(b.data() + 4, c.version);
        if (!c.longForm) b[125] = c.byte125;
        File g;
        g.io.write(g.io.ctx, b.data(), b.size());
        SpoolReader r = {};
        ASSERT_EQ(0, SpoolReadHeader(&r, &g.io, '.')) << c.why;
        EXPECT_EQ(c.longForm, r.longForm) << c.why;
        EXPECT_EQ(c.readVersion, r.version) << c.why;
        EXPECT_EQ(c.wholePoints, r.wholePoints) << c.why;
        EXPECT_EQ(1u, Records(r).size()) << c.why;
        SpoolReaderFree(&r);
    }
}

// Image records by their DIB's shape: run-length pixels are kept as their
// biSizeImage bytes, bit fields with their three masks; shapes the device
// could not take back are refused when the record is read.
TEST(SpoolFile, ImageShapesByCompression) {
    struct Case {
        uint16_t bits;
        uint32_t compression;
        int32_t height;
        uint32_t colors, pixelBytes;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {8, 1, 20, 4, 202, true, "run-length 8-bit: its bytes"},
        {4, 2, 20, 16, 90, true, "run-length 4-bit"},
        {4, 1, 20, 4, 202, false, "run-length 8 on 4-bit pixels"},
        {8, 1, -20, 4, 202, false, "run-length data is never top-down"},
        {8, 1, 20, 0, 202, false, "run-length pixels without a palette"},
        {16, 3, 20, 3, 40 * 20 * 2, true, "bit fields with their masks"},
        {16, 3, 20, 0, 40 * 20 * 2, false, "bit fields without masks"},
        {8, 4, 20, 4, 202, false, "JPEG compression"},
    };
    for (const Case& c : cases) {
        uint8_t header[kSpoolDibHeader] = {};
        SetU32(header, kSpoolDibHeader);
        SetU32(header + 4, 40);
        SetU32(header + 8, static_cast<uint32_t>(c.height));
        header[12] = 1;
        header[14] = static_cast<uint8_t>(c.bits);
        SetU32(header + 16, c.compression);
        std::vector<uint8_t> palette(4 * c.colors, 0x11), pixels(c.pixelBytes, 0x22);
        SpoolImage img = {};
        img.top = 1, img.bottom = 2, img.left = 3, img.right = 4;
        img.dib = header;
        img.palette = palette.data();
        img.colors = c.colors;
        img.pixels = pixels.data();
        img.pixelBytes = c.pixelBytes;
        File f;
        SpoolWriter w;
        SpoolWriterInit(&w, &f.io, true, false);
        ASSERT_EQ(0, SpoolBeginPage(&w, Page(), "Shapes", '.'));
        ASSERT_EQ(0, SpoolWriteImage(&w, img, nullptr, false));
        ASSERT_EQ(0, SpoolFinish(&w));
        SpoolReader r = {};
        ASSERT_EQ(0, SpoolReadHeader(&r, &f.io, '.')) << c.why;
        SpoolRecord rec;
        SpoolDecode d = SpoolDecodeRecord(r.page, r.pageLen, kSpoolPageRecord, &rec);
        EXPECT_EQ(c.ok ? kSpoolDecodeOk : kSpoolDecodeBad, d) << c.why;
        if (d == kSpoolDecodeOk) EXPECT_EQ(c.pixelBytes, rec.pixelBytes) << c.why;
        SpoolReaderFree(&r);
    }
}

}  // namespace
