// richedit.cpp - the native RichEditText object (kind 49): a rich edit control
// of "Riched20.dll" that shares the edit operations of EditText.
#include <windows.h>

#include <richedit.h>

#include "controls/edittext.h"
#include "objects/objwindowed.h"

namespace {

constexpr char kRichEditDll[] = "Riched20.dll";
constexpr char kRichEditClass[] = "RichEdit20A";
HMODULE gRichEditLib;

const ObjectOps kRichEditOps = {
    ObjectShowWindowed,     // 0 show
    nullptr,                // 1 check item
    ObjectHideWindowed,     // 2 hide
    EditDeleteItem,         // 3 delete item
    CtlDestroy,             // 4 destroy
    ObjectEnableWindowed,   // 5 enable
    nullptr,                // 6
    EditGetText,            // 7 get text
    EditGetValue,           // 8 get value
    EditInsertItem,         // 9 insert item
    EditSetText,            // 10 set text
    EditSetValue,           // 11 set value
    EditPaint,              // 12 paint
    EditNotify,             // 13 notification
    EditGetProp,            // 14 get property
    EditSetProp,            // 15 set property
    nullptr,                // 16 method
    nullptr,                // 17 OLE property
    nullptr,                // 18 image list released
};

}  // namespace

ObjectRecord* RichEditTextCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
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
    if (t.text) EditSetText(&c->hdr, 0, t.text, t.length);
    CtlFinishCreate(c, cr);
    return &c->hdr;
}

void RichEditInstall() {
    RegisterObjectCreator(kTypeRichEditText, RichEditTextCreate);
    RegisterObjectOps(kKindRichEditText, &kRichEditOps);
}
