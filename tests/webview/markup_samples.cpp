// markup_samples.cpp - prints, one line each, the action 19 message of every
// kind's markup (a shown object with texts that need escaping, and a dialog
// and a frame window), for the page tests to insert into a real page; with
// the argument "formpage", a form saved as a web page instead (a window, a
// Panel holding two buttons, a label and a button after it, texts in the
// client's one-byte set with accented letters); with "frames", a window of
// each border style, then those with a caption again without it.
#include <cstdio>
#include <cstring>
#include <string>

#include "objects/crstream.h"
#include "objects/objtables.h"
#include "session/util/codepage.h"
#include "webview/controls/webcontrols.h"
#include "webview/core/webformpage.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webtext.h"

static CrText T(const char* text) { return CrText{text, static_cast<uint32_t>(strlen(text))}; }

static void Print(uint32_t kind, uint32_t id, const char* form, void (*setup)(ObjectCreateRecord*)) {
    static ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.flags0 = kCrVisible;
    cr.top = 10;
    cr.left = 10;
    cr.bottom = 40;
    cr.right = 150;
    cr.title = T("It's \"quoted\" </script>");
    cr.text = T("a;b'\"<i>c</i>");
    cr.toolTip = T("tip \"'<>&");
    if (setup) setup(&cr);
    HtmlReset();
    HtmlResetFont();
    if (!HtmlObjectMarkup(kind, id, false, &cr)) return;
    JsonBeginAction(19);
    JsonAddJsHtml(false);
    char name[16];
    snprintf(name, sizeof name, "C%u", id);
    JsonAddStringNoConv("name", name);
    JsonAddStringNoConv("form", form);
    printf("{\"kind\": %u, \"msg\": %.*s}}\n", kind, static_cast<int>(gJsonMsgBuf.length), gJsonMsgBuf.data);
}

namespace {

struct PageObject {
    uint32_t kind;
    int32_t parent;
    const char* title;
    int32_t top, left;
};
const PageObject kPageForm[] = {
    {kKindWindow, -1, "Caf\xe9" " orders", 0, 0},   {kKindPanel, 0, "", 10, 10},
    {kKindButton, 1, "Gr\xfc\xdf" "e", 10, 10},       {kKindButton, 1, "No\xeb" "l", 50, 10},
    {kKindLabelText, 0, "M\xfc" "ller & S\xf6" "hne", 120, 10}, {kKindButton, 0, "OK", 160, 10},
};

constexpr uint32_t kPageFormCount = sizeof kPageForm / sizeof kPageForm[0];

uint32_t PageKind(void*, uint32_t i) { return kPageForm[i].kind; }
int32_t PageParent(void*, uint32_t i) { return kPageForm[i].parent; }
bool PageRecord(void*, uint32_t i, ObjectCreateRecord* cr) {
    const PageObject& o = kPageForm[i];
    CreateRecordReset(cr);
    cr->flags0 = kCrVisible;
    cr->top = o.top, cr->left = o.left;
    cr->bottom = o.top + (o.kind == kKindWindow ? 300 : o.kind == kKindPanel ? 100 : 30);
    cr->right = o.left + (o.kind == kKindWindow ? 400 : 200);
    cr->winType = 5;
    cr->title = T(o.title);
    cr->text = T(o.title);
    return true;
}

int PrintFormPage() {
    SetCharConvMode(kCharModeLatin1);
    WebPageSource src = {kPageFormCount, PageKind, PageParent, PageRecord, nullptr};
    TextBuf page = {};
    if (!FormWebPageBuild(&src, false, &page)) return 1;
    fwrite(page.data, 1, page.length, stdout);
    TextBufFree(&page);
    WebTextCleanup();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ObjectSetupTables();
    WebObjectsInstall();
    if (argc > 1 && strcmp(argv[1], "formpage") == 0) return PrintFormPage();
    if (argc > 1 && strcmp(argv[1], "frames") == 0) {
        // A window of each border style 1-8, ids 131-138.
        static int32_t border;
        for (border = 1; border <= 8; ++border)
            Print(kKindWindow, 130 + static_cast<uint32_t>(border), "mainscrn", [](ObjectCreateRecord* c) {
                c->winType = 5;
                c->winBorder = border;
            });
        // Border styles 4-7 again without Caption, ids 144-147.
        for (border = 4; border <= 7; ++border)
            Print(kKindWindow, 140 + static_cast<uint32_t>(border), "mainscrn", [](ObjectCreateRecord* c) {
                c->winType = 5;
                c->winBorder = border;
                c->winStyle = 0x40;
            });
        WebTextCleanup();
        return 0;
    }
    Print(kKindWindow, 1, "mainscrn", [](ObjectCreateRecord* c) { c->winType = 5; });
    Print(kKindWindow, 2, "mainscrn", [](ObjectCreateRecord* c) {
        c->winType = 2;
        c->winBorder = 6;
        c->bgColor.value = 0xE0E0E0;
        c->useCss = T("x'.css");
    });
    uint32_t id = 10;
    for (uint32_t kind = 1; kind <= kObjectKindLast; ++kind)
        if (kind != kKindWindow) Print(kind, id++, "C1D", nullptr);
    WebTextCleanup();
    return 0;
}
