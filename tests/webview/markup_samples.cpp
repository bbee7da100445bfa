// markup_samples.cpp - prints, one line each, the action 19 message of every
// kind's markup (a shown object with texts that need escaping, and a dialog
// and a frame window), for the page tests to insert into a real page.
#include <cstdio>
#include <cstring>
#include <string>

#include "objects/crstream.h"
#include "objects/objtables.h"
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

int main() {
    ObjectSetupTables();
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
