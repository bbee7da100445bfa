// webformpage.cpp - writes a form as a stand-alone web page: the header, the
// markup of each object in table order (element ids C1, C2, ...), panels
// opening a division that their children live in, and the closing lines.
#include "webview/core/webformpage.h"

#include <cstring>

#include "objects/objtables.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "webview/core/webmarkup.h"

namespace {

constexpr char kPageHead[] =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta http-equiv='X-UA-Compatible' content='IE=edge' />\r\n"
    "<meta charset=\"UTF-8\">\r\n<title>Qovwin Web Form</title>\r\n"
    "<link href=\"css/jquery-ui.min.css\" rel=\"stylesheet\">\r\n";
constexpr char kJqueryOlder[] = "js/jquery-1.12.4.min.js";
constexpr char kJqueryNewer[] = "js/jquery-2.1.1.min.js";
const char* const kPageScripts[] = {"js/jquery-ui.min.js", "js/globalize.js"};
const char* const kPageSheets[] = {"qovwebbasic.css", "designer.css"};
constexpr char kControlsScript[] = "qovvisctls.js";
constexpr char kBodyStart[] = "</head>\r\n<body>\r\n";
constexpr char kPageEnd[] = "</div></body>\r\n</html>\r\n";   // the div is the window's content
constexpr char kDivEnd[] = "</div>\r\n";
constexpr char kLineEnd[] = "\r\n";

struct PageWriter {
    TextBuf* page;
};

bool Put(PageWriter* w, const char* text, uint32_t length = 0) {
    if (!length) length = static_cast<uint32_t>(strlen(text));
    TextBuf* b = w->page;
    if (b->failed) return false;
    uint32_t need = b->length + length + 1;
    if (need < b->length || !TextBufEnsure(b, need, kHtmlGrowStep, nullptr)) return false;
    memcpy(b->data + b->length, text, length);
    b->length += length;
    b->data[b->length] = 0;
    return true;
}

void PutScript(PageWriter* w, const char* file) {
    Put(w, "<script type=\"text/javascript\" src=\"");
    Put(w, file);
    Put(w, "\"></script>\r\n");
}

void PutSheet(PageWriter* w, const char* file) {
    Put(w, "<link rel=\"stylesheet\" type=\"text/css\" href=\"");
    Put(w, file);
    Put(w, "\" />\r\n");
}

void PutHead(PageWriter* w, bool olderLibrary) {
    Put(w, kPageHead);
    PutScript(w, olderLibrary ? kJqueryOlder : kJqueryNewer);
    for (const char* s : kPageScripts) PutScript(w, s);
    for (const char* s : kPageSheets) PutSheet(w, s);
    PutScript(w, kControlsScript);
    Put(w, kBodyStart);
}

// The panel nesting: the parent indices of the panels whose divisions are
// open, the parent index of the previous object written and whether it was a
// Panel (its division opened after it).
struct Nesting {
    int32_t levels[kWebPageMaxLevels];
    uint32_t depth;
    int32_t prevParent;
    bool prevPanel;
};

void CloseLevelsDownTo(PageWriter* w, Nesting* n, int32_t parent) {
    while (n->depth && n->levels[n->depth - 1] >= parent) {
        Put(w, kDivEnd);
        --n->depth;
    }
}

void NestObject(PageWriter* w, Nesting* n, int32_t parent, bool isPanel) {
    if (parent >= 0) {
        if (parent < n->prevParent) {
            if (n->prevPanel) Put(w, kDivEnd);
            CloseLevelsDownTo(w, n, parent);
        } else if (parent > n->prevParent) {
            if (n->depth < kWebPageMaxLevels) n->levels[n->depth++] = n->prevParent;
        } else if (n->prevPanel) {
            Put(w, kDivEnd);   // the Panel before had no children
        }
        n->prevParent = parent;
    }
    n->prevPanel = isPanel;
}

// The page declares UTF-8: texts in the client's set are converted.
bool ConvertToUtf8(TextBuf* page) {
    if (gCharConvMode == kCharModeUtf8 || !page->length) return true;
    if (gCharConvMode == kCharModeLatin1) {
        size_t need = Latin1ToUtf8(page->data, page->length, nullptr, 0);
        char* out = static_cast<char*>(GuardedAlloc(need + 1));
        if (!out) return false;
        size_t n = Latin1ToUtf8(page->data, page->length, out, need + 1);
        out[n] = 0;
        bool ok = TextBufEnsure(page, static_cast<uint32_t>(n + 1), kHtmlGrowStep, nullptr);
        if (ok) {
            memcpy(page->data, out, n + 1);
            page->length = static_cast<uint32_t>(n);
        }
        GuardedFree(out);
        return ok;
    }
    const char* text = page->data;
    size_t n = AnsiToUtf8(&text, page->length, 0);
    if (text == page->data) return true;
    if (!TextBufEnsure(page, static_cast<uint32_t>(n + 1), kHtmlGrowStep, nullptr)) return false;
    memcpy(page->data, text, n);
    page->data[n] = 0;
    page->length = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

bool FormWebPageBuild(const WebPageSource* src, bool olderLibrary, TextBuf* page) {
    TextBufReset(page, kHtmlBufMinimum);
    page->length = 0;
    page->failed = false;
    PageWriter w = {page};
    PutHead(&w, olderLibrary);
    Nesting nest = {};
    uint32_t element = 1;
    ObjectCreateRecord cr;
    for (uint32_t i = 0; i < src->count; ++i) {
        uint32_t kind = src->kind(src->user, i);
        if (!src->record(src->user, i, &cr)) continue;
        HtmlReset();
        if (!HtmlObjectMarkup(kind, element, true, &cr) || !gHtmlBuf.data) continue;
        NestObject(&w, &nest, src->parent(src->user, i), kind == kKindPanel);
        Put(&w, gHtmlBuf.data, gHtmlBuf.length);
        Put(&w, kLineEnd);
        ++element;
    }
    if (nest.prevPanel) Put(&w, kDivEnd);   // a last Panel without children
    CloseLevelsDownTo(&w, &nest, -1);
    Put(&w, kPageEnd);
    HtmlReset();
    return !page->failed && ConvertToUtf8(page);
}
