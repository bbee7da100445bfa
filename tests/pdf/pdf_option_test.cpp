// pdf_option_test.cpp - the option texts of the PDF option messages item by
// item and through each parser, and the encryption dictionary and strings as
// the writer leaves them in the file.
#include <gtest/gtest.h>

#include <string>

#include "tests/pdf/pdftest.h"

namespace {

std::string Val(const PdfOptValue& v) { return v.text ? std::string(v.text, v.len) : std::string("<absent>"); }

}  // namespace

TEST(PdfOptions, ItemsOneByOne) {
    struct Case {
        const char* text;
        int used;           // bytes consumed; 0 a syntax error
        char key;
        const char* value;  // nullptr: no value pointer
        const char* why;
    };
    static const Case kCases[] = {
        {"T=abc", 5, 'T', "abc", "a plain value to the end"},
        {"T=abc ,A=x", 7, 'T', "abc ", "blanks before the comma belong to the value"},
        {"  ,, T=x", 8, 'T', "x", "blanks and commas before the key are skipped"},
        {"T=\"a, b\",A=me", 9, 'T', "a, b", "a quoted value keeps its commas"},
        {"T=\"a\"  ,A", 8, 'T', "a", "blanks after the closing quote"},
        {"T=\"a\"x", 0, 0, nullptr, "anything but a comma after a quoted value"},
        {"T=\"abc", 0, 0, nullptr, "no closing quote"},
        {"A=", 0, 0, nullptr, "'=' as the last byte"},
        {"A=   ", 0, 0, nullptr, "only blanks after '='"},
        {"A,T=x", 2, 'A', "", "a key followed by a comma: empty value"},
        {"G", 1, 'G', "", "a key at the end: empty value"},
        {"Ax", 0, 0, nullptr, "a key followed by neither '=' nor ','"},
        {" , ", 3, 0, nullptr, "only separators: key 0"},
    };
    for (const Case& c : kCases) {
        char key = 1;
        const char* value = nullptr;
        WORD len = 0;
        WORD used = PdfNextOptItem(c.text, static_cast<WORD>(strlen(c.text)), &key, &value, &len);
        EXPECT_EQ(used, c.used) << c.why;
        if (!c.used) continue;
        EXPECT_EQ(key, c.key) << c.why;
        if (c.value) {
            ASSERT_NE(value, nullptr) << c.why;
            EXPECT_EQ(std::string(value, len), c.value) << c.why;
        }
    }
}

TEST(PdfOptions, InformationParser) {
    struct Case {
        const char* text;
        bool ok;
        const char* author;
        const char* title;
        const char* created;
        const char* why;
    };
    static const Case kCases[] = {
        {"T=\"a, b\",A=me", true, "me", "a, b", "<absent>", "quoted title and an author"},
        {"T=abc ,A=x", true, "x", "abc ", "<absent>", "the kept trailing blank"},
        {"A=", false, "", "", "", "A= at the end is a syntax error"},
        {"A,T=t", true, "", "t", "<absent>", "A followed by a comma: empty author"},
        {"C=2024", true, "<absent>", "<absent>", "2024", "four digits"},
        {"C=123", false, "", "", "", "fewer than 4 digits"},
        {"C=123456789012345", false, "", "", "", "more than 14 digits"},
        {"C=2024a", false, "", "", "", "a date of digits only"},
        {"C,K=x", true, "<absent>", "<absent>", "C", "C alone: now, one character long"},
        {"a=lower,t=case", true, "lower", "case", "<absent>", "keys in either case"},
        {"X=1", false, "", "", "", "a key the kind does not take"},
        {"", true, "<absent>", "<absent>", "<absent>", "an empty text"},
    };
    for (const Case& c : kCases) {
        PdfInfoOpts o;
        bool ok = PdfParseInfoOpts(c.text, strlen(c.text), &o);
        EXPECT_EQ(ok, c.ok) << c.why;
        if (!ok || !c.ok) continue;
        EXPECT_EQ(Val(o.author), c.author) << c.why;
        EXPECT_EQ(Val(o.title), c.title) << c.why;
        EXPECT_EQ(o.created.text ? (o.created.len == kPdfDateNowLen ? "C" : Val(o.created)) : "<absent>",
                  c.created)
            << c.why;
    }
}

TEST(PdfOptions, AttachmentEncryptionAndImportParsers) {
    PdfAttachOpts a;
    const char* text = "F=c:\\data.csv,O=\"x, y.csv\",I=3,P=1:2:3:4,M,C=20240102";
    ASSERT_TRUE(PdfParseAttachOpts(text, strlen(text), &a));
    EXPECT_EQ(Val(a.file), "c:\\data.csv");
    EXPECT_EQ(Val(a.name), "x, y.csv");
    EXPECT_EQ(a.icon, 3);
    EXPECT_EQ(a.top + 10 * a.bottom + 100 * a.left + 1000 * a.right, 4321) << "top:bottom:left:right";
    EXPECT_EQ(a.modified.len, kPdfDateNowLen) << "M alone: from the file";
    EXPECT_EQ(Val(a.created), "20240102");
    struct Case {
        const char* text;
        bool ok;
        const char* why;
    };
    static const Case kAttach[] = {
        {"F=x,I=7", true, "an icon outside 0-3 leaves the paperclip"},
        {"F=x,I=12", false, "an icon of two characters"},
        {"F=x,P=1:2:3", false, "three rectangle values"},
        {"F=x,P=1:2:3:70000", false, "a rectangle value beyond 16 bits"},
        {"F=x,P=1:2::4", false, "an empty rectangle value"},
        {"F=x,Q=1", false, "a key attachments do not take"},
    };
    for (const Case& c : kAttach) EXPECT_EQ(PdfParseAttachOpts(c.text, strlen(c.text), &a), c.ok) << c.why;

    struct Perms {
        const char* text;
        bool ok;
        DWORD perms;
        const char* why;
    };
    static const Perms kPerms[] = {
        {"U=a", true, 3900, "the default"},
        {"P=1 2", true, 12, "blanks anywhere among the digits"},
        {"P=0", true, 0, "no permissions"},
        {"P=12x", false, 0, "a character other than a digit or blank"},
        {"P=99999999999", false, 0, "beyond 32 bits is refused, not wrapped"},
    };
    for (const Perms& c : kPerms) {
        PdfEncryptOpts e;
        EXPECT_EQ(PdfParseEncryptOpts(c.text, strlen(c.text), &e), c.ok) << c.why;
        if (c.ok) {
            EXPECT_EQ(e.perms, c.perms) << c.why;
        }
    }

    PdfImportOpts im;
    ASSERT_TRUE(PdfParseImportOpts("F=form.pdf,P=3rd,G", 18, &im));
    EXPECT_EQ(Val(im.file), "form.pdf");
    EXPECT_EQ(im.page, 3) << "leading digits; the rest ignored";
    EXPECT_EQ(im.g, 1);
    ASSERT_TRUE(PdfParseImportOpts("F=form.pdf", 10, &im));
    EXPECT_EQ(im.page, 1) << "page 1 when not given";
    EXPECT_EQ(im.g, 0);
}

// The dictionary's lines, the permissions written, two equal identifiers, and
// a caller's text unchanged by an encrypted string.
TEST(PdfEncryption, DictionaryAndStrings) {
    struct Case {
        const char* option;
        const char* pLine;
        const char* why;
    };
    static const Case kCases[] = {
        {"U=a,O=b", "    /P -4\r\n", "the default 3900"},
        {"U=a,P=0", "    /P -64\r\n", "no permissions"},
        {"U=a,P=4", "    /P -60\r\n", "print only"},
        {"U=a,P=3", "    /P -64\r\n", "bits 0 and 1 are not taken"},
    };
    for (const Case& c : kCases) {
        PdfTestHooks();
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin("enc-dict.pdf", &doc, 0, 600), 0);
        PdfEncryptOpts o;
        ASSERT_TRUE(PdfParseEncryptOpts(c.option, strlen(c.option), &o));
        ASSERT_EQ(PdfStartEncryption(doc, &o), 0);
        char text[] = "keep me (as I am)";
        PdfPutString(doc, text, strlen(text), kPdfEndLine, 3);
        EXPECT_STREQ(text, "keep me (as I am)") << "the caller's bytes";
        ASSERT_EQ(PdfFinish(doc), 0);
        std::string pdf = PdfTestRead("enc-dict.pdf");
        EXPECT_EQ(pdf.find("keep me"), std::string::npos) << "written encrypted";
        EXPECT_NE(pdf.find("    /Filter /Standard\r\n    /V 1\r\n    /R 2\r\n"), std::string::npos);
        EXPECT_NE(pdf.find(c.pLine), std::string::npos) << c.why;
        EXPECT_NE(pdf.find("    /Encrypt "), std::string::npos);
        size_t id = pdf.find("/ID [ <");
        ASSERT_NE(id, std::string::npos);
        EXPECT_EQ(pdf.substr(id + 7, 32), pdf.substr(id + 7 + 35, 32)) << "two equal identifiers";
    }
}

// Two documents made in the same second with the same passwords still get
// different identifiers, hence different keys.
TEST(PdfEncryption, DocumentsInOneSecondGetTheirOwnKeys) {
    std::string ids[2];
    for (std::string& id : ids) {
        PdfTestHooks();  // the clock stands still
        PdfDocRec* doc = nullptr;
        ASSERT_EQ(PdfBegin("enc-same.pdf", &doc, 0, 600), 0);
        PdfEncryptOpts o;
        ASSERT_TRUE(PdfParseEncryptOpts("U=a,O=b", 7, &o));
        ASSERT_EQ(PdfStartEncryption(doc, &o), 0);
        ASSERT_EQ(PdfFinish(doc), 0);
        std::string pdf = PdfTestRead("enc-same.pdf");
        size_t at = pdf.find("/ID [ <");
        ASSERT_NE(at, std::string::npos);
        id = pdf.substr(at + 7, 32);
    }
    EXPECT_NE(ids[0], ids[1]);
}
