// qoffile_test.cpp - the QOF reader against files made by the tests' own
// builder: a valid file read whole, and one mutated file per reader check and
// per hostile field (wrapping sums, missing NULs, indexes outside their tables,
// sub-objects without an owner), each with the message it must give.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "forms/qoffile.h"
#include "forms/qofbuild.h"
#include "objects/crstream.h"

using qofbuild::Form;
using qofbuild::Layout;
using qofbuild::Set32;

namespace {

ObjectCreateRecord gScratch;

struct ReadResult {
    bool ok;
    std::string err;
    QofFile f;
    FormResource* chain;
};

ReadResult Read(const std::vector<uint8_t>& bytes) {
    ReadResult r = {};
    r.f.data = bytes.data();
    r.f.size = bytes.size();
    const char* err = nullptr;
    r.ok = QofReadForLoad(&r.f, &r.chain, &gScratch, &err);
    r.err = err ? err : "";
    return r;
}

void Release(ReadResult* r) {
    QofFileFree(&r->f);
    FormResChainFree(r->chain);
}

// The sample form with n controls more (buttons on the window).
Form WithButtons(uint32_t n) {
    Form form = qofbuild::SampleForm();
    for (uint32_t i = 0; i < n; ++i) {
        const std::string number = std::to_string(i);
        form.objects.push_back({"B" + number, 1, qofbuild::ControlStream("b", 1, 1, 5, 5)});
    }
    return form;
}

}  // namespace

TEST(QofRead, SampleFormReadsWhole) {
    Layout l;
    std::vector<uint8_t> bytes = qofbuild::Build(qofbuild::SampleForm(), &l);
    ReadResult r = Read(bytes);
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(r.f.h.version, 5u);
    EXPECT_FALSE(r.f.oldFormat);
    EXPECT_STREQ(r.f.h.formName, "Sample");
    ASSERT_EQ(r.f.h.objCount, 4u);
    EXPECT_EQ(r.f.entryCount, 4u);
    EXPECT_STREQ(r.f.rows[1].name, "OkBtn");
    EXPECT_EQ(r.f.rows[2].kind, 6);
    EXPECT_EQ(r.f.rows[3].entry, 3);
    // The chain holds the rows in reverse order.
    ASSERT_NE(r.chain, nullptr);
    EXPECT_STREQ(r.chain->name, "Logo");
    ASSERT_NE(r.chain->next, nullptr);
    EXPECT_STREQ(r.chain->next->name, "AppIcon");
    EXPECT_EQ(r.chain->next->size, 6u);
    EXPECT_EQ(r.chain->next->flags, 2);
    EXPECT_EQ(r.chain->data[0], 'B');
    Release(&r);
}

TEST(QofRead, HeaderQueries) {
    std::vector<uint8_t> v5 = qofbuild::Build(qofbuild::SampleForm());
    std::vector<uint8_t> v8 = v5;
    Set32(v8, 4, 8);
    std::vector<uint8_t> bad = v5;
    bad[3] = 'X';
    struct Case {
        const std::vector<uint8_t>* file;
        size_t size;
        int32_t flags, version, flagsInfo, other;
        const char* why;
    };
    const Case cases[] = {
        {&v5, v5.size(), 1, 5, 1, -1, "a current file: its flags word and version; selector 3 is unknown"},
        {&v8, v8.size(), -2, 8, 1, -1, "version 8: refused by the flags query, still named by the info query"},
        {&bad, bad.size(), -1, -1, -1, -1, "a wrong magic answers -1 to every query"},
        {&v5, 299, -1, -1, -1, -1, "a file shorter than its header answers -1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QofHeaderFlags(c.file->data(), c.size), c.flags) << c.why;
        EXPECT_EQ(QofHeaderInfo(c.file->data(), c.size, 1), c.version) << c.why;
        EXPECT_EQ(QofHeaderInfo(c.file->data(), c.size, 2), c.flagsInfo) << c.why;
        EXPECT_EQ(QofHeaderInfo(c.file->data(), c.size, 3), c.other) << c.why;
    }
}

// One row per reader check and hostile field: the mutation of the sample file
// and the message the read must stop with (empty: the read succeeds).
TEST(QofRead, MutatedFilesGiveTheirMessage) {
    typedef std::function<void(std::vector<uint8_t>&, const Layout&)> Mutate;
    struct Case {
        const char* why;
        Mutate mutate;
        const char* expect;
    };
    const Case cases[] = {
        {"shorter than the header", [](std::vector<uint8_t>& f, const Layout&) { f.resize(299); }, kQofErrRead},
        {"wrong magic", [](std::vector<uint8_t>& f, const Layout&) { f[0] = 'X'; }, kQofErrFormat},
        {"version 8", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 4, 8); }, kQofErrNewer},
        {"save still in progress", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 8, 0x11); },
         kQofErrIncomplete},
        {"cut inside the code area", [](std::vector<uint8_t>& f, const Layout&) { f.resize(f.size() - 5); },
         kQofErrTruncated},
        {"form stream size wraps the 32-bit sum",
         [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, 24, 0xFFFFFFFFu - l.stream + 10); },
         kQofErrTruncated},
        {"label size wraps", [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, 48, 0u - l.labels); },
         kQofErrTruncated},
        {"resource data size wraps", [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, 40, 0u - l.resData); },
         kQofErrTruncated},
        {"OLE storage size wraps", [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, 104, 0u - l.ole + 1); },
         kQofErrTruncated},
        {"user code end past the file", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 132, 0xFFFFFF00u); },
         kQofErrTruncated},
        {"descriptor count whose byte size wraps to 0 in 32 bits",
         [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 56, 0x10000000u); }, kQofErrTruncated},
        {"code size past the file", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 64, 0x7FFFFFFFu); },
         kQofErrTruncated},
        {"object table offset past the file", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 12, 0x7FFFFFFF); },
         kQofErrTruncated},
        {"object count whose table size wraps in 32 bits",
         [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 16, 0x063E7064u); }, kQofErrObjNames},
        {"object count one beyond the rows", [](std::vector<uint8_t>& f, const Layout& l) {
             Set32(f, 16, (static_cast<uint32_t>(f.size()) - l.objTable) / 41 + 1); }, kQofErrObjNames},
        {"no rows at all", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 16, 0); }, kQofErrObjNames},
        {"resource rows past the file", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 32, 0x05555556u); },
         kQofErrResInfo},
        {"a resource larger than the resource data area",
         [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, l.resTable + 44, 7); }, kQofErrResData},
        {"a resource size that wraps 56 + size",
         [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, l.resTable + 44, 0xFFFFFFF0u); }, kQofErrResData},
        {"a row stream past the form stream",
         [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, l.objTable + 41 + 33, 0xFFFFFFF0u); },
         kQofErrStreamRead},
        {"a row stream size past the form stream",
         [](std::vector<uint8_t>& f, const Layout& l) { Set32(f, l.objTable + 41 + 37, 0x7FFFFFFF); },
         kQofErrStreamRead},
        {"kind 3 (CheckGrp) has no creator", [](std::vector<uint8_t>& f, const Layout& l) { f[l.objTable + 41 + 32] = 3; },
         kQofErrObjectType},
        {"kind 0", [](std::vector<uint8_t>& f, const Layout& l) { f[l.objTable + 41 + 32] = 0; }, kQofErrObjectType},
        {"kind 53", [](std::vector<uint8_t>& f, const Layout& l) { f[l.objTable + 41 + 32] = 53; }, kQofErrObjectType},
        {"a Window kind below the form", [](std::vector<uint8_t>& f, const Layout& l) { f[l.objTable + 41 + 32] = 25; },
         kQofErrObjectType},
        {"a MenuItem with no menu before it",
         [](std::vector<uint8_t>& f, const Layout& l) { f[l.objTable + 41 + 32] = 48; }, kQofErrObjectType},
        {"a StatusPanel with no status bar before it",
         [](std::vector<uint8_t>& f, const Layout& l) { f[l.objTable + 41 + 32] = 39; }, kQofErrObjectType},
        {"a ToolButton after a menu (not its owner)", [](std::vector<uint8_t>& f, const Layout& l) {
             f[l.objTable + 41 + 32] = 8;
             f[l.objTable + 82 + 32] = 41; }, kQofErrObjectType},
        {"a MenuItem after a menu", [](std::vector<uint8_t>& f, const Layout& l) {
             f[l.objTable + 41 + 32] = 8;
             f[l.objTable + 82 + 32] = 48; }, ""},
        {"a row name without its NUL is cut at 31 characters",
         [](std::vector<uint8_t>& f, const Layout& l) { memset(&f[l.objTable + 41], 'N', 32); }, ""},
        {"a resource name without its NUL", [](std::vector<uint8_t>& f, const Layout& l) { memset(&f[l.resTable + 4], 'R', 32); },
         ""},
        {"the window row's stream malformed", [](std::vector<uint8_t>& f, const Layout& l) {
             f[l.stream + 1] = 0x80;    // a text record whose length runs past the stream
             f[l.stream + 2] = 0xFF;
             f[l.stream + 3] = 0xFF; }, kQofErrDecodeForm},
        {"a version 4 file reads as the old format", [](std::vector<uint8_t>& f, const Layout&) { Set32(f, 4, 4); },
         ""},
    };
    Layout layout;
    const std::vector<uint8_t> base = qofbuild::Build(qofbuild::SampleForm(), &layout);
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = base;
        c.mutate(bytes, layout);
        ReadResult r = Read(bytes);
        EXPECT_EQ(r.err, std::string(c.expect)) << c.why;
        EXPECT_EQ(r.ok, c.expect[0] == 0) << c.why;
        if (r.ok && std::string(c.why).find("NUL is cut") != std::string::npos) {
            EXPECT_EQ(std::string(r.f.rows[1].name), std::string(31, 'N'));
        }
        if (r.ok && std::string(c.why).find("resource name") != std::string::npos) {
            EXPECT_EQ(std::string(r.chain->next->name), std::string(31, 'R'));
        }
        if (r.ok && std::string(c.why).find("version 4") != std::string::npos) {
            EXPECT_TRUE(r.f.oldFormat);
        }
        if (!r.ok) {
            EXPECT_EQ(r.f.rows, nullptr) << c.why << ": nothing stays allocated";
            EXPECT_EQ(r.chain, nullptr) << c.why;
        }
        Release(&r);
    }
}

// The table indexes in the streams must name entries made before the row.
TEST(QofRead, StreamIndexesAreChecked) {
    struct Case {
        uint16_t id;
        int32_t value;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {qofbuild::kIdWindow, 0, true, "parent 0 is the form's window"},
        {qofbuild::kIdWindow, 2, true, "parent 2: an entry made before the row"},
        {qofbuild::kIdWindow, 3, false, "parent 3: the row's own entry"},
        {qofbuild::kIdWindow, 400, false, "parent 400: outside the table"},
        {qofbuild::kIdWindow, -1, false, "parent -1"},
        {qofbuild::kIdImageList, 1, true, "image list 1"},
        {qofbuild::kIdImageList, 9, false, "image list 9: outside"},
        {274, 77, false, "the fifth image-list property outside"},
        {qofbuild::kIdSubMenu, 3, false, "SubMenu naming the row itself"},
        {qofbuild::kIdSubMenu, 0xFFFF, false, "SubMenu 0xFFFF"},
    };
    for (const Case& c : cases) {
        Form form = qofbuild::SampleForm();
        form.objects[3].stream.Int(c.id, c.value);
        std::vector<uint8_t> bytes = qofbuild::Build(form);
        ReadResult r = Read(bytes);
        EXPECT_EQ(r.ok, c.ok) << c.why << ": " << r.err;
        if (!c.ok) {
            EXPECT_EQ(r.err, kQofErrDecodeObject) << c.why;
        }
        Release(&r);
    }
}

TEST(QofRead, EntryLimitIs500) {
    struct Case {
        uint32_t extra;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {496, true, "500 entries fill the table"},
        {497, false, "501 entries are refused before anything is created"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = qofbuild::Build(WithButtons(c.extra));
        ReadResult r = Read(bytes);
        EXPECT_EQ(r.ok, c.ok) << c.why << ": " << r.err;
        Release(&r);
    }
    // Sub-object rows take no entry: 499 entries and 10 menu items read.
    Form form = WithButtons(494);
    form.objects.push_back({"Bar", 8, qofbuild::ControlStream("", 0, 0, 0, 0)});
    for (int i = 0; i < 10; ++i) form.objects.push_back({"-", 48, qofbuild::ControlStream("Item", 0, 0, 0, 0)});
    std::vector<uint8_t> bytes = qofbuild::Build(form);
    ReadResult r = Read(bytes);
    EXPECT_TRUE(r.ok) << r.err;
    EXPECT_EQ(r.f.entryCount, 499u);
    Release(&r);
}

TEST(QofRead, DescriptorsLabelsAndCode) {
    for (uint32_t version : {1u, 5u, 7u}) {
        Form form = qofbuild::SampleForm();
        form.version = version;
        Layout l;
        std::vector<uint8_t> bytes = qofbuild::Build(form, &l);
        ReadResult r = Read(bytes);
        ASSERT_TRUE(r.ok) << r.err;
        QofDesc d;
        ASSERT_TRUE(QofReadDesc(&r.f, 0, &d)) << version;
        EXPECT_EQ(d.objectIndex, 1) << version;
        EXPECT_EQ(d.eventId, 4u) << version;
        const char* text;
        uint32_t len;
        ASSERT_TRUE(QofLabelAt(&r.f, d.labelOff, &text, &len));
        EXPECT_EQ(std::string(text, len), "Click_OkBtn") << version;
        ASSERT_TRUE(QofDescCode(&r.f, &d, &text, &len));
        EXPECT_EQ(std::string(text, len), form.events[0].code) << version;
        ASSERT_TRUE(QofReadDesc(&r.f, 1, &d));
        EXPECT_EQ(d.codeLength, 0u);
        ASSERT_TRUE(QofLabelAt(&r.f, d.labelOff, &text, &len));
        EXPECT_EQ(std::string(text, len), "DoCancel");
        EXPECT_FALSE(QofReadDesc(&r.f, 2, &d)) << "only two descriptors";
        ASSERT_TRUE(QofCodeOutputText(&r.f, &text, &len));
        EXPECT_EQ(std::string(text, len), "Click_OkBtn\r\n" + form.events[0].code +
                                              "\r\n@  \tRETURN\r\n\r\n" + form.userCode);
        Release(&r);
    }
}

TEST(QofRead, LabelAndCodeRangesAreChecked) {
    Layout l;
    std::vector<uint8_t> bytes = qofbuild::Build(qofbuild::SampleForm(), &l);
    ReadResult r = Read(bytes);
    ASSERT_TRUE(r.ok);
    struct Case {
        uint32_t labelOff, codeOff, codeLength;
        bool labelOk, codeOk;
        const char* why;
    };
    const uint32_t labelSize = r.f.h.labelSize, codeSize = r.f.h.codeSize;
    const Case cases[] = {
        {0, 0, 4, true, true, "both inside"},
        {labelSize, 0, codeSize, false, true, "label offset at the area's end; code the whole area"},
        {labelSize - 3, codeSize, 1, false, false, "a label head cut by the area's end; code past it"},
        {0, 1, 0xFFFFFFFFu, true, false, "a code length of 0xFFFFFFFF"},
        {0, 0xFFFFFFFFu, 2, true, false, "a code offset that wraps"},
    };
    for (const Case& c : cases) {
        const char* text;
        uint32_t len;
        QofDesc d = {static_cast<uint16_t>(c.labelOff), 0, 4, c.codeOff, c.codeLength};
        EXPECT_EQ(QofLabelAt(&r.f, c.labelOff, &text, &len), c.labelOk) << c.why;
        EXPECT_EQ(QofDescCode(&r.f, &d, &text, &len), c.codeOk) << c.why;
    }
    // A label whose length byte runs past the area.
    bytes[l.labels + 4] = 0xFF;
    const char* text;
    uint32_t len;
    EXPECT_FALSE(QofLabelAt(&r.f, 0, &text, &len));
    Release(&r);
}

TEST(QofCode, UnexpandRestoresTheMacro) {
    struct Case {
        const char* code;
        const char* name;
        const char* expect;
        const char* why;
    };
    const Case cases[] = {
        {" MESSAGE OkBtn.Text ;&OBJNAME\r\n", "OkBtn", " MESSAGE &OBJNAME.Text\r\n", "the name becomes the macro"},
        {" X = OkBtn ;&objname\r\n", "OkBtn", " X = &OBJNAME\r\n", "the marker is found without regard to case"},
        {" A.B = A ;&OBJNAME", "A", " A.B = &OBJNAME", "the last occurrence; a short name grows into the macro"},
        {" okbtn.Text ;&OBJNAME\r\n", "OkBtn", " okbtn.Text\r\n", "the name is compared with case: marker dropped"},
        {" OkBtn = 1\r\n Y = 2 ;&OBJNAME\r\n", "OkBtn", " OkBtn = 1\r\n Y = 2\r\n",
         "the name on an earlier line does not count"},
        {"OkBtn ;&OBJNAME\r\nOkBtn ;&OBJNAME", "OkBtn", "&OBJNAME\r\n&OBJNAME", "every marked line"},
        {" plain text\r\n", "OkBtn", " plain text\r\n", "no marker: copied"},
        {" ;&OBJNAM", "OkBtn", " ;&OBJNAM", "a marker cut short is text"},
    };
    for (const Case& c : cases) {
        uint32_t n = static_cast<uint32_t>(strlen(c.code));
        std::vector<char> out(n + 1, 0);
        uint32_t w = FormCodeUnexpand(c.code, n, c.name, out.data());
        ASSERT_LE(w, n) << c.why;
        EXPECT_EQ(std::string(out.data(), w), c.expect) << c.why;
    }
}

TEST(QofResources, LookupByNameOrNumber) {
    std::vector<uint8_t> bytes = qofbuild::Build(qofbuild::SampleForm());
    ReadResult r = Read(bytes);
    ASSERT_TRUE(r.ok);
    struct Case {
        uint16_t kind;
        uint32_t number;
        const char* name;
        const char* expect;
        const char* why;
    };
    const Case cases[] = {
        {3, 0, "Logo", "Logo", "by kind and name"},
        {3, 0, "logo", nullptr, "the name is compared with case"},
        {1, 0, "Logo", nullptr, "the kind must match"},
        {1, 1001, nullptr, "AppIcon", "by kind and number"},
        {3, 1001, nullptr, nullptr, "a number of another kind"},
    };
    for (const Case& c : cases) {
        const FormResource* res = FormResFind(r.chain, c.kind, c.number, c.name);
        if (!c.expect) {
            EXPECT_EQ(res, nullptr) << c.why;
        } else if (!res) {
            ADD_FAILURE() << c.why;
        } else {
            EXPECT_STREQ(res->name, c.expect) << c.why;
        }
    }
    Release(&r);
}

TEST(QofStreamBuf, GrowsInWholeSteps) {
    uint8_t* a = FormStreamBufReserve(10);
    ASSERT_NE(a, nullptr);
    a[kFormStreamStep - 1] = 1;    // the first step is all there
    uint8_t* b = FormStreamBufReserve(kFormStreamStep + 1);
    ASSERT_NE(b, nullptr);
    b[2 * kFormStreamStep - 1] = 1;
    EXPECT_EQ(FormStreamBufReserve(5), b) << "it never shrinks";
    FormStreamBufFree();
}
