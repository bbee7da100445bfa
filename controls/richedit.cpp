// richedit.cpp - the native RichEditText object (kind 49): a rich edit control
// of "Riched20.dll" that shares the edit operations of EditText.
#include <windows.h>

#include <richedit.h>

#include "controls/edittext.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"

namespace {

constexpr char kRichEditDll[] = "Riched20.dll";
constexpr char kRichEditClass[] = "RichEdit20A";
HMODULE gRichEditLib;

}  // namespace

ObjectRecord* RichEditTextCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // Its copy, cut and paste go through the OLE clipboard.
    RuntimeOleStart();
    // The library registers the class; it stays loaded for the process.
    if (!gRichEditLib) gRichEditLib = LoadLibraryA(kRichEditDll);
    if (!gRichEditLib) {
        *code = kOpNoObject;
        return nullptr;
    }
    ControlRecord* c = CtlCreateWindowed(kKindRichEditText, cr, kRichEditClass,
                                         EditStyleFromCreation(cr) | ES_MULTILINE | ES_AUTOVSCROLL, 0, nullptr, 0, code);
    if (!c) return nullptr;
    EditApplyCreation(c, cr);
    // A rich edit reports changes only when asked to.
    SendMessageA(c->hdr.hwnd, EM_SETEVENTMASK, 0, ENM_CHANGE);
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if (t.text && EditSetText(&c->hdr, 0, t.text, t.length) != 0) {
        ObjectDestroy(&c->hdr);
        *code = kOpNoMemory;
        return nullptr;
    }
    return CtlFinishCreate(c, cr, code);
}

void RichEditInstall() {
    RegisterObjectCreator(kTypeRichEditText, RichEditTextCreate);
    RegisterObjectOps(kKindRichEditText, &kEditOps);
}
