// fuzz_qof.cpp - the QOF reader over arbitrary bytes: the read before any
// object is created, then every descriptor's label and code, the macro
// restoring and the code output text, as the loader would reach them. Nothing
// may be read outside the file or left allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "forms/qoffile.h"
#include "objects/crstream.h"

static ObjectCreateRecord gFuzzCr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QofFile f = {};
    f.data = data;
    f.size = size;
    FormResource* chain = nullptr;
    const char* err = nullptr;
    if (!QofReadForLoad(&f, &chain, &gFuzzCr, &err)) {
        if (!err || f.rows || chain) abort();
        return 0;
    }
    FormResFind(chain, 3, 0, "Logo");
    FormResFind(chain, 1, 1001, nullptr);
    std::vector<char> out;
    for (uint32_t i = 0; i < f.h.descCount && i < 1000; ++i) {
        QofDesc d;
        if (!QofReadDesc(&f, i, &d)) abort();
        const char* text;
        uint32_t len;
        QofLabelAt(&f, d.labelOff, &text, &len);
        if (d.codeLength && QofDescCode(&f, &d, &text, &len)) {
            out.assign(len + 1, 0);
            const char* name = d.objectIndex < f.h.objCount ? f.rows[d.objectIndex].name : "";
            if (FormCodeUnexpand(text, len, name, out.data()) > len) abort();
        }
    }
    const char* text;
    uint32_t len;
    QofCodeOutputText(&f, &text, &len);
    QofFileFree(&f);
    FormResChainFree(chain);
    return 0;
}
