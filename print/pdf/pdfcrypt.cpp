// pdfcrypt.cpp - the standard security handler, revision 2: the file
// identifier, the O and U entries, the permissions, the encryption dictionary,
// and the 40-bit RC4 key of each object that encrypts its strings and streams.
// Revision 2 keys are 40 bits long: this keeps casual readers out, it is not
// real secrecy.
#include <chrono>
#include <ctime>
#include <cstring>

#include "print/pdf/pdf.h"
#include "session/util/md5.h"
#include "session/util/rc4.h"

// The padding string published with the standard security handler.
static const BYTE kPdfPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                     0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                     0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};
constexpr size_t kPdfPadLen = 32;
constexpr size_t kPdfFileKeyLen = 5;   // 40 bits
constexpr size_t kPdfKeyMaterialLen = 10;
constexpr size_t kPdfObjKeyLen = 10;   // file key + 5, as revision 2 takes it
constexpr DWORD kPdfPermsFixedBits = 0xFFFFFFC0u;
constexpr DWORD kPdfPermsReserved = 0x3u;

// Documents begun in this process: two documents made in one second must not
// share a file identifier, hence a key and every object's keystream.
static DWORD gPdfCryptCounter;

// ---- keys -----------------------------------------------------------------------------

static void PdfPad(const PdfOptValue& pw, BYTE out[kPdfPadLen]) {
    size_t n = pw.len < kPdfPadLen ? pw.len : kPdfPadLen;
    if (n) memcpy(out, pw.text, n);
    memcpy(out + n, kPdfPadding, kPdfPadLen - n);
}

static void PdfPutLe32(BYTE* out, DWORD v) {
    for (int i = 0; i < 4; i++) out[i] = static_cast<BYTE>(v >> (8 * i));
}

// MD5 of the local time to the second and the processor clock, as the file
// identifier has always been made, with the file name, a counter and a fine
// clock added so that each document gets its own.
static void PdfMakeFileId(PdfDocRec* doc) {
    char date[15];
    PdfDateText(date, 0);
    Md5Context ctx;
    Md5Init(&ctx);
    Md5Update(&ctx, date, 14);
    BYTE clock4[4];
    PdfPutLe32(clock4, static_cast<DWORD>(std::clock()));
    Md5Update(&ctx, clock4, sizeof clock4);
    Md5Update(&ctx, doc->fileName, strlen(doc->fileName));
    DWORD count = ++gPdfCryptCounter;
    Md5Update(&ctx, &count, sizeof count);
    int64_t fine = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    Md5Update(&ctx, &fine, sizeof fine);
    uintptr_t where = reinterpret_cast<uintptr_t>(doc);
    Md5Update(&ctx, &where, sizeof where);
    Md5Final(doc->fileId, &ctx);
}

static void PdfRc4(const BYTE* key, size_t keyLen, BYTE* bytes, size_t n) {
    Rc4State st;
    Rc4Init(&st, key, keyLen);
    Rc4Crypt(&st, bytes, bytes, n);
}

// The O entry: the padded user password under the key of the owner password
// (of the user password when no owner password is given).
static void PdfOwnerEntry(const PdfDocRec* doc, bool ownerGiven, BYTE out[kPdfPadLen]) {
    BYTE digest[16];
    Md5Context ctx;
    Md5Init(&ctx);
    Md5Update(&ctx, ownerGiven ? doc->ownerPad : doc->userPad, kPdfPadLen);
    Md5Final(digest, &ctx);
    memcpy(out, doc->userPad, kPdfPadLen);
    PdfRc4(digest, kPdfFileKeyLen, out, kPdfPadLen);
}

static void PdfFileKey(const PdfDocRec* doc, const BYTE owner[kPdfPadLen], DWORD perms, BYTE key[kPdfFileKeyLen]) {
    BYTE digest[16], p[4];
    PdfPutLe32(p, perms);
    Md5Context ctx;
    Md5Init(&ctx);
    Md5Update(&ctx, doc->userPad, kPdfPadLen);
    Md5Update(&ctx, owner, kPdfPadLen);
    Md5Update(&ctx, p, sizeof p);
    Md5Update(&ctx, doc->fileId, sizeof doc->fileId);
    Md5Final(digest, &ctx);
    memcpy(key, digest, kPdfFileKeyLen);
}

static void PdfObjectKey(PdfDocRec* doc, DWORD obj, BYTE key[16]) {
    for (int i = 0; i < 3; i++) doc->keyMaterial[kPdfFileKeyLen + i] = static_cast<BYTE>(obj >> (8 * i));
    doc->keyMaterial[kPdfFileKeyLen + 3] = doc->keyMaterial[kPdfFileKeyLen + 4] = 0;
    Md5Context ctx;
    Md5Init(&ctx);
    Md5Update(&ctx, doc->keyMaterial, kPdfKeyMaterialLen);
    Md5Final(key, &ctx);
}

void PdfEncryptBuf(PdfDocRec* doc, BYTE* bytes, size_t n, DWORD obj) {
    if (!doc->encryptObj) {
        doc->flags |= kPdfFlagClearText;
        return;
    }
    BYTE key[16];
    PdfObjectKey(doc, obj, key);
    PdfRc4(key, kPdfObjKeyLen, bytes, n);
}

// ---- the dictionary -------------------------------------------------------------------

void PdfRefuseProtection(PdfDocRec* doc) { doc->protectRefused = 1; }

int PdfStartEncryption(PdfDocRec* doc, const PdfEncryptOpts* opts) {
    // A refusal leaves the document as it is, drawn on, but its file is not
    // left readable at the end (an encrypted one stays encrypted).
    if (doc->encryptObj || (doc->flags & kPdfFlagClearText)) return PdfRefuseProtection(doc), kPdfFail;
    PdfMakeFileId(doc);
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) return PdfRefuseProtection(doc), kPdfFail;
    doc->nextObj++;
    PdfPad(opts->user, doc->userPad);
    PdfPad(opts->owner, doc->ownerPad);
    BYTE owner[kPdfPadLen], user[kPdfPadLen];
    PdfOwnerEntry(doc, opts->owner.len > 0, owner);
    DWORD perms = (opts->perms & ~kPdfPermsReserved) | kPdfPermsFixedBits;
    BYTE key[kPdfFileKeyLen];
    PdfFileKey(doc, owner, perms, key);
    memcpy(user, kPdfPadding, kPdfPadLen);
    PdfRc4(key, kPdfFileKeyLen, user, kPdfPadLen);
    memset(doc->keyMaterial, 0, sizeof doc->keyMaterial);
    memcpy(doc->keyMaterial, key, kPdfFileKeyLen);
    // Set before O and U are written: they are strings of object 0, which stay
    // as they are, and must not mark the document as written in the clear.
    doc->encryptObj = obj;

    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, " <<");
    PdfPutLine(doc, "    /Filter /Standard");
    PdfPutLine(doc, "    /V 1");
    PdfPutLine(doc, "    /R 2");
    PdfPutText(doc, "    /O ");
    PdfPutString(doc, owner, kPdfPadLen, kPdfEndLine, 0);
    PdfPutText(doc, "    /U ");
    PdfPutString(doc, user, kPdfPadLen, kPdfEndLine, 0);
    PdfPutText(doc, "    /P -");
    PdfPutUInt(doc, 0u - perms, 1);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    return kPdfOk;
}
