// fuzz_xmlform.cpp - the XML form reader over arbitrary text, and the QOF
// writer and reader after it: a document the reader takes must become a QOF
// file that the client's own reader reads whole, with every descriptor's
// label and code inside the file; the events-only reading over the same text
// into the entries read. Nothing may be left allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "forms/formwrite.h"
#include "forms/formxml.h"
#include "forms/qoffile.h"
#include "objects/crstream.h"
#include "session/util/mem.h"

static ObjectCreateRecord gFuzzCr;
static FormSaveContext gCtx;

static void ReadBack(const uint8_t* data, size_t size) {
    QofFile f = {};
    f.data = data;
    f.size = size;
    FormResource* chain = nullptr;
    const char* err = nullptr;
    // What the writer made from an accepted document must read whole.
    if (!QofReadForLoad(&f, &chain, &gFuzzCr, &err)) abort();
    std::vector<char> out;
    for (uint32_t i = 0; i < f.h.descCount; ++i) {
        QofDesc d;
        const char* text;
        uint32_t len;
        if (!QofReadDesc(&f, i, &d) || !QofLabelAt(&f, d.labelOff, &text, &len)) abort();
        if (d.codeLength && !QofDescCode(&f, &d, &text, &len)) abort();
    }
    QofFileFree(&f);
    FormResChainFree(chain);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1000000) return 0;
    memset(&gCtx, 0, sizeof gCtx);
    const char* text = reinterpret_cast<const char*>(data);
    uint32_t error = 0;
    char* messages = nullptr;
    bool ok = QofXmlFormLoad(&gCtx, text, static_cast<uint32_t>(size), false, &error, &messages);
    LocalFreeMem(messages);
    if (!ok && error == 0) abort();
    if (ok) {
        gCtx.flags |= kFsFromXml;
        gCtx.resources = gCtx.xmlResources;
        gCtx.userCode = gCtx.xmlCode;
        gCtx.userCodeLength = gCtx.xmlCodeLength;
        uint8_t* bytes = nullptr;
        size_t n = 0;
        if (FormFileWrite(&gCtx, gCtx.doNotCache, &bytes, &n)) ReadBack(bytes, n);
        else if (!gCtx.errorText[0]) abort();
        GuardedFree(bytes);
        QofXmlFormLoad(&gCtx, text, static_cast<uint32_t>(size), true, &error, nullptr);
    }
    FormSaveContextFree(&gCtx);
    FormStreamBufFree();
    return 0;
}
