// pdf_crypt_tools_test.cpp - passwords, document information and file
// attachments read back by independent tools: qpdf checks and decrypts with
// each password, poppler extracts the text and the attachments, MuPDF and
// Ghostscript render with the password.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "tests/pdf/pdftest.h"
#include "tests/pdf/pdftools.h"

namespace {

int Encrypt(PdfDocRec* doc, const std::string& text) {
    PdfEncryptOpts o;
    if (!PdfParseEncryptOpts(text.data(), text.size(), &o)) return -99;
    return PdfStartEncryption(doc, &o);
}

int Info(PdfDocRec* doc, const char* text) {
    PdfInfoOpts o;
    if (!PdfParseInfoOpts(text, strlen(text), &o)) return -99;
    return PdfWriteInfo(doc, &o);
}

int Attach(PdfDocRec* doc, const std::string& text) {
    PdfAttachOpts o;
    if (!PdfParseAttachOpts(text.data(), text.size(), &o)) return -99;
    return PdfAddAttachment(doc, &o);
}

void WriteFile(const char* name, const std::string& bytes) {
    FILE* f = fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

// Each pair of passwords: qpdf shows revision 2 and the permissions, accepts
// the user and the owner password and decrypts with either; poppler finds the
// text with each; an empty user password opens without one.
TEST(PdfCrypt, PasswordsOpenTheFileInEveryReader) {
    struct Case {
        const char* option;
        const char* user;
        const char* owner;
        const char* p;
        const char* why;
    };
    static const Case kCases[] = {
        {"U=secret,O=boss", "secret", "boss", "-4", "default permissions"},
        {"U=secret,O=boss,P=0", "secret", "boss", "-64", "no permissions"},
        {"U=,O=,P=3900", "", "", "-4", "both empty: opens without a password"},
        {"U=reader", "reader", "reader", "-4", "no owner password: the user's key makes O"},
        {"U=\"a, b\",O=x", "a, b", "x", "-4", "a quoted password keeps its comma"},
        {"U=0123456789012345678901234567890123456789,O=o", "01234567890123456789012345678901", "o", "-4",
         "a 40-character password counts its first 32"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.why);
        PdfDocRec* doc = Begin("crypt.pdf");
        ASSERT_NE(doc, nullptr);
        ASSERT_EQ(Encrypt(doc, c.option), 0);
        ASSERT_EQ(Info(doc, "T=Invoice (March),A=me"), 0);
        Text(doc, "Hidden words");
        PdfControlCode(doc, 102, 1);
        Text(doc, "Second page");
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("crypt.pdf", c.user);
        int rc;
        std::string out = RunTool("qpdf --show-encryption --password=" + Quoted(c.user) + " crypt.pdf", &rc);
        EXPECT_EQ(rc, 0) << out;
        EXPECT_NE(out.find("R = 2"), std::string::npos) << out;
        EXPECT_NE(out.find("P = " + std::string(c.p)), std::string::npos) << out;
        for (const char* pw : {c.user, c.owner}) {
            out = RunTool("qpdf --decrypt --password=" + Quoted(pw) + " crypt.pdf clear.pdf", &rc);
            EXPECT_EQ(rc, 0) << "password " << pw << ": " << out;
        }
        out = RunTool("pdftotext -upw " + Quoted(c.user) + " crypt.pdf -");
        EXPECT_NE(out.find("Hidden words"), std::string::npos) << out;
        out = RunTool("pdftotext -opw " + Quoted(c.owner) + " crypt.pdf -");
        EXPECT_NE(out.find("Second page"), std::string::npos) << out;
        out = RunTool("pdfinfo -upw " + Quoted(c.user) + " crypt.pdf");
        EXPECT_NE(out.find("Title:           Invoice (March)"), std::string::npos) << out;
        EXPECT_NE(out.find("Encrypted:       yes"), std::string::npos) << out;
        if (!c.user[0]) {
            out = RunTool("pdftotext crypt.pdf -", &rc);
            EXPECT_NE(out.find("Hidden words"), std::string::npos) << "no password asked: " << out;
        } else {
            RunTool("pdftotext -upw wrong crypt.pdf -", &rc);
            EXPECT_NE(rc, 0) << "a wrong password is refused";
        }
    }
}

// The file's strings and streams are not in the clear; after qpdf's decrypt
// the information and annotation strings read as written; /ID holds two equal
// strings.
TEST(PdfCrypt, EveryStringAndStreamIsEncrypted) {
    WriteFile("lines.csv", "item,amount\r\npaper (A4),12.50\r\n");
    PdfDocRec* doc = Begin("all.pdf");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(Encrypt(doc, "U=u,O=o"), 0);
    ASSERT_EQ(Info(doc, "T=Plain title,K=words"), 0);
    ASSERT_EQ(Attach(doc, "F=lines.csv,D=Invoice lines,T=Lines"), 0);
    Text(doc, "Plain page text");
    ASSERT_EQ(PdfFinish(doc), 0);
    std::string pdf = PdfTestRead("all.pdf");
    for (const char* clear : {"Plain title", "Plain page text", "Invoice lines", "lines.csv", "paper (A4)"})
        EXPECT_EQ(pdf.find(clear), std::string::npos) << clear << " in the clear";
    size_t id = pdf.find("/ID [ <");
    ASSERT_NE(id, std::string::npos);
    EXPECT_EQ(pdf.substr(id + 7, 32), pdf.substr(id + 7 + 32 + 3, 32)) << pdf.substr(id, 80);
    CheckWithTools("all.pdf", "u");
    int rc;
    RunTool("qpdf --decrypt --qdf --object-streams=disable --password=o all.pdf all-clear.pdf", &rc);
    ASSERT_EQ(rc, 0);
    std::string clear = PdfTestRead("all-clear.pdf");
    for (const char* text : {"(Plain title)", "(Invoice lines)", "(lines.csv)", "(Lines)"})
        EXPECT_NE(clear.find(text), std::string::npos) << text;
    RunTool("rm -rf detached && mkdir detached && pdfdetach -upw u -saveall -o detached all.pdf", &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(PdfTestRead("detached/lines.csv"), PdfTestRead("lines.csv")) << "the attachment deciphered";
}

// Encryption starts only before anything went out in the clear, and once. A
// document refused its encryption while in the clear is drawn on, but its
// file is not left readable: the finish deletes it and fails.
TEST(PdfCrypt, LateOrSecondEncryptionIsRefused) {
    struct Case {
        int before;  // 0 nothing, 1 information, 2 a page, 3 encryption
        int expect;
        const char* why;
    };
    static const Case kCases[] = {
        {0, 0, "before anything: accepted"},
        {1, -1, "after an information dictionary in the clear"},
        {2, -1, "after a page's content in the clear"},
        {3, -1, "a second time"},
    };
    for (const Case& c : kCases) {
        PdfDocRec* doc = Begin("late.pdf");
        ASSERT_NE(doc, nullptr);
        if (c.before == 1) ASSERT_EQ(Info(doc, "T=x"), 0);
        if (c.before == 2) {
            Text(doc, "page one");
            PdfControlCode(doc, 102, 1);
        }
        if (c.before == 3) ASSERT_EQ(Encrypt(doc, "U=a"), 0);
        EXPECT_EQ(Encrypt(doc, "U=b"), c.expect) << c.why;
        Text(doc, "text");
        const bool inTheClear = c.expect != 0 && c.before != 3;
        ASSERT_EQ(PdfFinish(doc), inTheClear ? kPdfFail : 0) << c.why;
        if (inTheClear) {
            EXPECT_EQ(gPdfErrNo, kPdfErrUnprotected) << c.why;
            EXPECT_TRUE(PdfTestRead("late.pdf").empty()) << c.why;
            continue;
        }
        CheckWithTools("late.pdf", c.before == 3 ? "a" : "b");
    }
}

// Random pairs of printable passwords, CR-holding O entries among them: qpdf
// opens every file with the user and with the owner password.
TEST(PdfCrypt, RandomPasswordPairsAllOpen) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> len(0, 40), ch('0', 'z');
    for (int i = 0; i < 200; i++) {
        std::string user, owner;
        for (int n = len(rng); n > 0; n--) user += static_cast<char>(ch(rng));
        for (int n = len(rng); n > 0; n--) owner += static_cast<char>(ch(rng));
        PdfDocRec* doc = Begin("random.pdf");
        ASSERT_NE(doc, nullptr);
        ASSERT_EQ(Encrypt(doc, "U=\"" + user + "\",O=\"" + owner + "\""), 0);
        Text(doc, "x");
        ASSERT_EQ(PdfFinish(doc), 0);
        for (const std::string& pw : {user, owner.empty() ? user : owner}) {
            int rc;
            std::string out = RunTool("qpdf --check --password=" + Quoted(pw) + " random.pdf", &rc);
            ASSERT_EQ(rc, 0) << "pair " << i << " user '" << user << "' owner '" << owner << "': " << out;
        }
        int rc;
        std::string out = RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage -sPDFPassword=" + Quoted(user) +
                                  " random.pdf", &rc);
        ASSERT_EQ(rc, 0) << "Ghostscript, pair " << i << " user '" << user << "' owner '" << owner << "': " << out;
        ASSERT_EQ(out, "") << "Ghostscript, pair " << i << ": " << out;
    }
}

// These passwords put two line feeds into /O: written as \n\n, Ghostscript
// opens the file (a raw LF there made it refuse the file).
TEST(PdfCrypt, LineFeedsInTheOwnerKeyStillOpen) {
    PdfDocRec* doc = Begin("crypt-lf.pdf");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(Encrypt(doc, "U=invoice,O=o1331"), 0);
    Text(doc, "Invoice text");
    ASSERT_EQ(PdfFinish(doc), 0);
    std::string pdf = PdfTestRead("crypt-lf.pdf");
    size_t o = pdf.find("/O (");
    ASSERT_NE(o, std::string::npos);
    EXPECT_NE(pdf.substr(o, 80).find("\\n\\n"), std::string::npos) << "the LF pair of /O is escaped";
    CheckWithTools("crypt-lf.pdf", "invoice");
    int rc;
    std::string out = RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage -sPDFPassword=o1331 crypt-lf.pdf", &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "") << "Ghostscript with the owner password: " << out;
    out = RunTool("pdftotext -opw o1331 crypt-lf.pdf -");
    EXPECT_NE(out.find("Invoice text"), std::string::npos) << out;
}

// pdfinfo shows every information field; a second information option fails.
TEST(PdfInfoOption, EveryFieldShows) {
    PdfDocRec* doc = Begin("infoopt.pdf");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(Info(doc, "A=Ann Author,T=\"Invoice 7, March\",S=Billing,K=invoice,P=Billing system,C=20240305"), 0);
    EXPECT_EQ(Info(doc, "T=again"), -1) << "a second information option";
    Text(doc, "x");
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("infoopt.pdf");
    std::string out = RunTool("pdfinfo infoopt.pdf");
    static const char* const kLines[] = {
        "Title:           Invoice 7, March", "Subject:         Billing",   "Keywords:        invoice",
        "Author:          Ann Author",       "Creator:         10.6  QOVCON   18",
        "Producer:        Billing system",   "CreationDate:    Tue Mar  5 00:00:00 2024",
        "ModDate:         Tue Mar  5 00:00:00 2024",
    };
    for (const char* line : kLines) EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;

    // Text of the ANSI code page beyond ASCII reads back exactly, plain and
    // encrypted; ASCII values stay literal strings as they were.
    for (const char* crypt : {"", "U=u,O=o"}) {
        SCOPED_TRACE(*crypt ? "encrypted" : "plain");
        doc = Begin("infoansi.pdf");
        ASSERT_NE(doc, nullptr);
        if (*crypt) ASSERT_EQ(Encrypt(doc, crypt), 0);
        ASSERT_EQ(Info(doc, "T=\"Rechnung (Nr. 5) \\ f\xFCr M\xFCller \x80 12,50\",S=Plain subject"), 0);
        Text(doc, "x");
        ASSERT_EQ(PdfFinish(doc), 0);
        CheckWithTools("infoansi.pdf", *crypt ? "u" : "");
        out = RunTool("pdfinfo -enc UTF-8 -upw u infoansi.pdf");
        EXPECT_NE(out.find("Title:           Rechnung (Nr. 5) \\ f\xC3\xBCr M\xC3\xBCller \xE2\x82\xAC 12,50\n"),
                  std::string::npos) << out;
        EXPECT_NE(out.find("Subject:         Plain subject\n"), std::string::npos) << out;
        if (!*crypt) {
            std::string pdf = PdfTestRead("infoansi.pdf");
            EXPECT_NE(pdf.find("/Subject  (Plain subject)"), std::string::npos) << "ASCII as it was";
            EXPECT_NE(pdf.find(std::string("/Title  (\xFE\xFF\0R\0e", 13)), std::string::npos) << "UTF-16BE behind FE FF";
        }
    }
}

// Attachments come out of pdfdetach byte for byte; the annotation carries its
// rectangle, description, display name and icon.
TEST(PdfAttach, FilesComeOutAsTheyWentIn) {
    std::string binary;
    for (int i = 0; i < 70000; i++) binary += static_cast<char>((i * 7919) >> 3);
    WriteFile("att-data.bin", binary);
    WriteFile("att-empty.txt", "");
    WriteFile("att-text.csv", "a,b\r\n1,2\r\n");
    PdfDocRec* doc = Begin("attach.pdf");
    ASSERT_NE(doc, nullptr);
    Text(doc, "with attachments");
    ASSERT_EQ(Attach(doc, "F=att-data.bin,I=1,P=10:20:10:30"), 0);
    ASSERT_EQ(Attach(doc, "F=att-empty.txt,I=2"), 0);
    PdfFontSpec spec;
    ASSERT_EQ(PdfParseFontSpec("FIXED(10)", 9, &spec), 0);
    ASSERT_EQ(PdfSetFontSpec(doc, &spec), 0);
    PdfMoveTo(doc, 1, 1);
    ASSERT_EQ(Attach(doc, "F=att-text.csv,O=invoice.csv,D=The (lines),T=Lines,I=3,C,M=20240102"), 0);
    EXPECT_EQ(Attach(doc, "F=att-missing.txt"), -1) << "a file that does not open";
    EXPECT_EQ(Attach(doc, "F=" + std::string(300, 'x')), -1) << "a name longer than 256 is refused, not cut";
    ASSERT_EQ(PdfFinish(doc), 0);
    CheckWithTools("attach.pdf");
    int rc;
    std::string list = RunTool("pdfdetach -list attach.pdf", &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_NE(list.find("3 embedded files"), std::string::npos) << list;
    RunTool("rm -rf att-out && mkdir att-out && pdfdetach -saveall -o att-out attach.pdf", &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(PdfTestRead("att-out/att-data.bin"), binary);
    EXPECT_EQ(RunTool("cmp att-out/att-empty.txt att-empty.txt"), "");
    EXPECT_EQ(PdfTestRead("att-out/invoice.csv"), "a,b\r\n1,2\r\n") << "the display name names it";

    std::string pdf = PdfTestRead("attach.pdf");
    EXPECT_NE(pdf.find("/Params << /Size 0 >>\r\n  /Length 0\r\n"), std::string::npos) << "empty file, no Flate";
    EXPECT_NE(pdf.find("/Contents (The \\(lines\\))"), std::string::npos);
    EXPECT_NE(pdf.find("/Desc (The \\(lines\\))"), std::string::npos);
    EXPECT_NE(pdf.find("/F(invoice.csv)"), std::string::npos);
    EXPECT_NE(pdf.find("/ModDate (D:20240102)"), std::string::npos);
    size_t created = pdf.find("/CreationDate (D:");
    ASSERT_NE(created, std::string::npos) << "the creation date from the file";
    EXPECT_EQ(pdf.find(')', created) - (created + 17), 14u) << "D: and 14 digits";
    EXPECT_NE(pdf.find("/Name /Tag"), std::string::npos);
    EXPECT_NE(pdf.find("/Name /Graph"), std::string::npos);
    // Icon 3 without a position: 1.33 x the 10-point font wide, the font size
    // high, its top-left at the print position (9, 9 from the top-left).
    EXPECT_NE(pdf.find("/Rect [9.000 773.000 22.300 783.000]"), std::string::npos);
    std::string out = RunTool("mutool show attach.pdf 'trailer/Root/Pages/Kids/1/Annots/1/Subtype'");
    EXPECT_NE(out.find("FileAttachment"), std::string::npos) << out;
}
