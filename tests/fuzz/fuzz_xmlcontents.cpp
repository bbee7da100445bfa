// fuzz_xmlcontents.cpp - the list view's and the tree view's XML loaders on
// hostile documents, and their savers on what was loaded. The first byte
// chooses the control (bit 7) and the load and save options; the rest is the
// document. Every save that succeeds must give a document the reader takes
// whole, whatever names and texts the load made.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/util/xml.h"
#include "webview/controls/webxml.h"

namespace {

constexpr char kSaved[] = "fuzz_xmlcontents.xml";
constexpr uint32_t kPrefixColumns = 2;

int32_t PrepWrite(const char* name, XmlOutTarget* out) {
    snprintf(out->localPath, sizeof out->localPath, "%s", name);
    return 0;
}

void CheckSaved(int32_t code) {
    if (code != 0) {
        // Only the writer may refuse (a name or a depth past its limits); the file is gone then.
        if (code != kXmlWriteTooDeep && code != kXmlWriteNameTooLong) abort();
        return;
    }
    XmlReader r = {};
    int read = XmlParse(&r, kSaved, nullptr, 0);
    XmlReaderFree(&r);
    if (read != 0) abort();
    remove(kSaved);
}

void ListView(const char* text, uint32_t length, uint8_t options) {
    auto* lv = static_cast<WebListViewRecord*>(calloc(1, sizeof(WebListViewRecord)));
    if (!lv) return;
    // With the keep-columns option the document is matched to these.
    for (uint32_t c = 0; c < kPrefixColumns; ++c) WebListViewAddColumn(lv, c ? "B" : "A", 1, 40, -1, 0);
    uint32_t load = options & 0x07;
    WebListViewLoadXml(lv, text, length, load, nullptr, nullptr);
    uint32_t save = (static_cast<uint32_t>(options & 0x78) << 5) | (options & 0x0F);
    if (lv->methodColumns) CheckSaved(WebListViewSaveXmlFile(lv, kSaved, save, nullptr, nullptr));
    WebListViewDestroy(&lv->hdr);
    free(lv);
}

void TreeView(const char* text, uint32_t length, uint8_t options) {
    auto* tv = static_cast<WebTreeViewRecord*>(calloc(1, sizeof(WebTreeViewRecord)));
    if (!tv) return;
    tv->tree = &tv->header;
    WebTreeInitHeader(tv->tree);
    WebTreeViewLoadXml(tv, text, length, options & 0x03);
    // An empty tree gives the declaration alone, which no reader takes whole.
    int32_t saved = WebTreeViewSaveXmlFile(tv, kSaved, options & 0x7F);
    if (tv->tree->root.firstChild) CheckSaved(saved);
    else remove(kSaved);
    WebTreeViewDestroy(&tv->hdr);
    free(tv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    gWebXmlFiles.prepWrite = PrepWrite;
    uint8_t options = data[0];
    uint32_t length = static_cast<uint32_t>(size - 1);
    char* text = static_cast<char*>(malloc(length + 1));
    if (!text) return 0;
    memcpy(text, data + 1, length);
    text[length] = 0;
    if (options & 0x80) TreeView(text, length, options);
    else ListView(text, length, options);
    free(text);
    return 0;
}
