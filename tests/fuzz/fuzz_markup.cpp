// fuzz_markup.cpp - every kind's markup from a decoded creation stream: the
// input is one object's stream (as a create request or form file holds it);
// each kind writes its markup and script from it, live and stand-alone, and
// the action 19 message that carries them must stay one JSON object the page
// can read, whatever texts and numbers the stream holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "objects/crstream.h"
#include "objects/objtables.h"
#include "session/util/json.h"
#include "webview/controls/webcontrols.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webtext.h"

static ObjectCreateRecord gFuzzCr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool tables = false;
    if (!tables) {
        ObjectSetupTables();
        WebObjectsInstall();   // the kinds' markup writers
        tables = true;
    }
    for (uint32_t kind = 1; kind <= kObjectKindLast; ++kind) {
        // The markup adjusts the record in place: decode again for each kind.
        if (!DecodeFormCrStream(data, size, 5, 0, &gFuzzCr)) return 0;
        HtmlReset();
        HtmlResetFont();
        HtmlObjectMarkup(kind, kind, (size & 1) != 0, &gFuzzCr);
        JsonBeginAction(19);
        JsonAddJsHtml(false);
        if (gJsonMsgBuf.failed) continue;
        std::string m(gJsonMsgBuf.data, gJsonMsgBuf.length);
        m += "}";
        JsonValue* v = JsonParse(m.data(), m.size());
        if (!v) abort();
        JsonFree(v);
    }
    WebTextCleanup();
    return 0;
}
