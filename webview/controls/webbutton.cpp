// webbutton.cpp - push buttons, check boxes and radio buttons in the web view.
// The record keeps what the page does not (caption, style bits, group chain,
// images); the checked state lives in the page and is asked of it.
#include "webview/controls/webbutton.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "objects/events.h"
#include "objects/objtables.h"
#include "session/log.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/controls/webedit.h"
#include "webview/controls/webctlcommon.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

namespace {

constexpr uint32_t kCaptionMax = 255;
constexpr uint32_t kImageNameMax = 255;
constexpr uint32_t kImageMarkupUrlMax = 300;
constexpr uint32_t kImageTypePicture = 3, kImageTypeIcon = 1;
constexpr int32_t kUtf8TitleValue = 33;
constexpr int kChainDepthMax = 32;
constexpr int32_t kFileOptionsDwid = 1;

bool IsCheckKind(const ObjectRecord* rec) { return rec->kind == kKindCheckBox || rec->kind == kKindRadio; }

void Replace(char** field, const char* text, uint32_t length) {
    GuardedFree(*field);
    *field = text ? WebTextDup(text, length) : nullptr;
}

void SetCaption(WebButtonRecord* b, const char* text, uint32_t length, uint32_t limit) {
    if (length > limit) length = limit;
    Replace(&b->caption, text, length);
    b->mnemonic = WebMnemonicOf(b->caption);
}

ObjectRecord* WindowOf(ObjectRecord* rec) {
    ObjectRecord* top = ObjectTopWindow(rec);
    return WebIsWindow(top) ? top : nullptr;
}

void SetCancelButton(ObjectRecord* window, ObjectRecord* rec, bool on) {
    WebButtonRecord* b = WebButton(rec);
    if (!on) {
        b->style &= ~kBtnCancel;
        if (window && WebWin(window)->cancelButton == rec) WebWin(window)->cancelButton = nullptr;
        return;
    }
    if (window) {
        ObjectRecord* old = WebWin(window)->cancelButton;
        if (old && old != rec && ObjectIsLive(old)) WebButton(old)->style &= ~kBtnCancel;
        WebWin(window)->cancelButton = rec;
    }
    b->style |= kBtnCancel;
}

// The page draws the default button's frame by this class (the markup gives
// it to a button made as the default one).
void DefaultFrame(ObjectRecord* rec, bool on) {
    WebViewSelectForObject(rec);
    WebChangeElemClass(rec, on ? nullptr : kDefaultButtonClass, on ? kDefaultButtonClass : nullptr, false);
}

// inPage: the button's element is in the page already (not while it is made).
void SetDefaultButton(ObjectRecord* window, ObjectRecord* rec, bool on, bool inPage = true) {
    WebButtonRecord* b = WebButton(rec);
    WindowRecord* w = window ? reinterpret_cast<WindowRecord*>(window) : nullptr;
    if (!on) {
        if ((b->style & kBtnDefault) && inPage) DefaultFrame(rec, false);
        b->style &= ~kBtnDefault;
        if (w && w->defaultButton == rec) w->defaultButton = nullptr;
        return;
    }
    if (w) {
        ObjectRecord* old = w->defaultButton;
        if (old && old != rec && ObjectIsLive(old) && old->kind == kKindButton) {
            WebButton(old)->style &= ~kBtnDefault;
            DefaultFrame(old, false);
        }
        w->defaultButton = rec;
    }
    if (!(b->style & kBtnDefault) && inPage) DefaultFrame(rec, true);
    b->style |= kBtnDefault;
}

bool PictureName(const char* name, size_t n) {
    return WebNameEndsWith(name, n, ".jpg") || WebNameEndsWith(name, n, ".jpeg") || WebNameEndsWith(name, n, ".bmp") ||
           WebNameEndsWith(name, n, ".gif") || WebNameEndsWith(name, n, ".png");
}

bool ResolveRef(const ObjectCreateRecord* cr, uint32_t pid, uint32_t imageType, char* url, size_t urlSize, char* alt,
                size_t altSize) {
    url[0] = 0;
    alt[0] = 0;
    CrText source = CreateRecordText(cr, kPidUrlSource);
    CrText name = CreateRecordText(cr, pid);
    if (name.text && name.length) {
        // A name holding a NUL, cut there, would show another file: no image,
        // as for a name that is no picture or icon file.
        if (!NameIsWhole(name.text, name.length, SIZE_MAX)) {
            DebugLogWrite("WebButtonImage", "the image's name holds a NUL: refused, the caption stays");
            return false;
        }
        uint32_t n = name.length > kImageNameMax ? kImageNameMax : name.length;
        bool fits = imageType == kImageTypePicture ? PictureName(name.text, n) : WebNameEndsWith(name.text, n, ".ico");
        if (!fits) return false;
        if (source.text && source.length) {
            snprintf(url, urlSize, "%.*s", static_cast<int>(source.length), source.text);
            return true;
        }
        char plain[kImageNameMax + 1];
        snprintf(plain, sizeof plain, "%.*s", static_cast<int>(n), name.text);
        snprintf(alt, altSize, "%s", plain);
        return WebImagePath(plain, true, url, urlSize);
    }
    int32_t number = CreateRecordValue(cr, pid, 0);
    if (number <= 0) return false;
    char file[64];
    uint16_t value = 0;
    if (!WebExtractImage(imageType, static_cast<uint32_t>(number), file, sizeof file, &value, nullptr)) return false;
    snprintf(alt, altSize, "%s", file);
    return WebImagePath(file, true, url, urlSize);
}

// Markup as the element's content, as it stands: the texts in it are escaped
// already, so no mnemonic mark may be taken out of it.
void SetContentMarkup(ObjectRecord* rec, const char* markup) {
    char sel[32];
    WebElemSelector(rec, false, false, sel, sizeof sel);
    JsonBeginAction(kActSetHtml);
    JsonAddStringNoConv("en", sel);
    JsonAddStringZ("pv", markup);
    WebViewMsgEnd();
}

// The caption as the element's HTML (the label of a check box or radio).
void CaptionToPage(ObjectRecord* rec) {
    WebButtonRecord* b = WebButton(rec);
    WebSetElemHtml(rec, b->caption ? b->caption : "", false, IsCheckKind(rec));
}

// Whether the URL names its scheme ("http:", "file:", "data:"): letters,
// digits, '+', '-' or '.' after a first letter, up to a ':'.
bool HasScheme(const char* url) {
    if (!((*url >= 'a' && *url <= 'z') || (*url >= 'A' && *url <= 'Z'))) return false;
    for (const char* p = url + 1; *p; ++p) {
        if (*p == ':') return true;
        bool letter = (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z');
        if (!letter && !(*p >= '0' && *p <= '9') && *p != '+' && *p != '-' && *p != '.') return false;
    }
    return false;
}

// The content of a push button: its image, else its caption. The picture and
// icon references are shown through the page's base URL (withBase).
void ImageContent(ObjectRecord* rec, bool withBase) {
    WebButtonRecord* b = WebButton(rec);
    char base[kImageMarkupUrlMax], source[kImageMarkupUrlMax + 1];
    if (!withBase || !WebPageBaseUrl(base, sizeof base)) base[0] = 0;
    if (!b->imageUrl || !WebButtonImageSource(b->imageUrl, base, source, sizeof source)) {
        CaptionToPage(rec);
        return;
    }
    const char* url = source;
    HtmlReset();
    HtmlAppend("<img src=\"", 0);
    HtmlAppendAttr(url, static_cast<uint32_t>(strlen(url)));
    if (b->altText && b->altText[0]) {
        HtmlAppend("\" alt=\"", 0);
        HtmlAppendAttr(b->altText, static_cast<uint32_t>(strlen(b->altText)));
        HtmlAppend("\" />", 0);
    } else {
        HtmlAppend("\"/>", 0);
    }
    SetContentMarkup(rec, gHtmlBuf.data ? gHtmlBuf.data : "");
}

void ContextClass(uint32_t context, uint32_t state, char* out, size_t outSize) {
    HtmlColorClassText(context, state == kButtonStateOutline ? kClrFamBtnOutline : kClrFamBtn, out, outSize);
}

void SetButtonState(ObjectRecord* rec, uint32_t v) {
    WebButtonRecord* b = WebButton(rec);
    uint32_t s = b->state;
    char oldClass[32], newClass[32];
    if ((v == kButtonStateOutline) != (s == kButtonStateOutline)) {
        ContextClass(rec->context, s, oldClass, sizeof oldClass);
        ContextClass(rec->context, v, newClass, sizeof newClass);
        WebChangeElemClass(rec, oldClass, newClass, false);
    }
    if (v == kButtonStateSpinner || v == kButtonStateGrow) {
        HtmlReset();
        HtmlAppend(v == kButtonStateSpinner
                       ? "<span style='margin-right: 3px' class='spinner-border spinner-border-sm'></span> "
                       : "<span style='margin-right: 3px' class='spinner-grow spinner-grow-sm'></span> ",
                   0);
        HtmlAppendText(b->caption ? b->caption : "", 0);
        SetContentMarkup(rec, gHtmlBuf.data ? gHtmlBuf.data : "");
    } else if (s == kButtonStateSpinner || s == kButtonStateGrow) {
        CaptionToPage(rec);
    }
    b->state = v;
}

// Asks the page for the element's "checked" state.
int32_t AskChecked(ObjectRecord* rec) {
    WebViewSelectForObject(rec);
    WebQueryElemProp(rec, "checked", false, false);
    return WebReplyValue(WebViewMsgQuery());
}

void SetChecked(ObjectRecord* rec, bool on) {
    WebViewSelectForObject(rec);
    WebSetElemState(rec, "checked", on, false);
}

// The list the control is linked in (its parent's children).
ObjectRecord* ChainHolder(ObjectRecord* rec) { return rec->parent; }

void ChainWalk(ObjectRecord* container, ObjectRecord* window, uint32_t group, ObjectRecord** first, int depth) {
    if (!container || depth > kChainDepthMax) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->kind == kKindPanel) ChainWalk(c, window, group, first, depth + 1);
        if (!IsCheckKind(c) || !ObjectIsWebView(c) || WebButton(c)->groupId != group) continue;
        if (ObjectTopWindow(c) != window) continue;
        WebButtonRecord* b = WebButton(c);
        b->nextInGroup = b->prevInGroup = nullptr;
        ObjectRecord* prev = nullptr;
        ObjectRecord* at = *first;
        while (at && at->tabId <= c->tabId) {
            prev = at;
            at = WebButton(at)->nextInGroup;
        }
        b->prevInGroup = prev;
        b->nextInGroup = at;
        if (prev) WebButton(prev)->nextInGroup = c;
        else *first = c;
        if (at) WebButton(at)->prevInGroup = c;
    }
}

int32_t SelGroupId(ObjectRecord* rec) {
    WebButtonRecord* b = WebButton(rec);
    if (!b->groupId) return AskChecked(rec) ? rec->objectId : 0;
    WebRadioChainBuild(rec, b->groupId);
    ObjectRecord* first = rec;
    for (int guard = 0; WebButton(first)->prevInGroup && guard < 4096; ++guard) first = WebButton(first)->prevInGroup;
    // Each answer waits for the page: a member may be gone after it.
    for (ObjectRecord* m = first; m;) {
        ObjectRef ref = ObjectRefOf(m);
        int32_t checked = AskChecked(m);
        if (!ObjectRefAlive(ref)) return 0;
        if (checked) return m->objectId;
        m = WebButton(m)->nextInGroup;
    }
    return 0;
}

int32_t ButtonGetText(ObjectRecord* rec, int32_t item) {
    gTextBuf[0] = 0;
    if (item == 0) snprintf(gTextBuf, kTextBufSize + 1, "%s", WebButton(rec)->caption ? WebButton(rec)->caption : "");
    return 0;
}

int32_t ButtonGetValue(ObjectRecord* rec, int32_t, int32_t*, bool* asked) {
    WebQueryElemProp(rec, "checked", false, false);
    *asked = true;
    return 0;
}

int32_t ButtonSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != 0) return 0;
    SetCaption(WebButton(rec), text, length, kTextBufSize);
    CaptionToPage(rec);
    return 0;
}

int32_t ButtonSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    if (IsCheckKind(rec)) SetChecked(rec, value != 0);
    return 0;
}

const char* ArgTextOf(const MethodCallRec* call, uint32_t i, char* out, size_t outSize) {
    out[0] = 0;
    if (!WebArgGiven(call, i)) return out;
    const EventItem& a = call->args[i];
    uint32_t n = a.size < outSize - 1 ? a.size : static_cast<uint32_t>(outSize - 1);
    if (a.data && n && (a.kind == kItemText || a.kind == kItemText8 || a.kind == kItemUtf8)) memcpy(out, a.data, n);
    else n = 0;
    out[n] = 0;
    return out;
}


bool IsFileButton(const ObjectRecord* rec) {
    return rec && rec->kind == kKindButton && (reinterpret_cast<const WebButtonRecord*>(rec)->style & kBtnFileInput);
}

}  // namespace

bool WebButtonImageSource(const char* url, const char* base, char* out, size_t outSize) {
    if (!out || outSize == 0) return false;
    out[0] = 0;
    size_t n = url ? strlen(url) : 0;
    if (n == 0 || n > kImageMarkupUrlMax) return false;
    if (url[0] == '!') {
        snprintf(out, outSize, "%s", url + 1);
        return true;
    }
    size_t b = base ? strlen(base) : 0;
    if (b && !HasScheme(url) && strncmp(url, base, b) != 0 && b + 1 + n < kImageMarkupUrlMax) {
        snprintf(out, outSize, "%s/%s", base, url);
        return true;
    }
    snprintf(out, outSize, "%s", url);
    return true;
}

bool WebResolvePictureRef(const ObjectCreateRecord* cr, char* url, size_t urlSize, char* alt, size_t altSize) {
    return ResolveRef(cr, kPidPicture, kImageTypePicture, url, urlSize, alt, altSize);
}

bool WebResolveIconRef(const ObjectCreateRecord* cr, char* url, size_t urlSize, char* alt, size_t altSize) {
    return ResolveRef(cr, kPidIcon, kImageTypeIcon, url, urlSize, alt, altSize);
}

ObjectRecord* WebButtonCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                              int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebButtonRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebButtonRecord* b = WebButton(rec);
    if (kind == kKindCheckBox) {
        b->state = static_cast<uint32_t>(CreateRecordValue(cr, kPidSwitch, 0));
        int32_t tri = CreateRecordValue(cr, kPidTriState, 0);
        if (tri) b->style |= kBtnTriState;
        if (tri == 2) b->style |= kBtnTriStateValue2;
    } else if (kind == kKindButton) {
        if (!cr->given[kPidContext] && !cr->given[kPidButtonState] && !cr->context) {
            cr->values[kPidButtonState] = kButtonStateOutline;
            cr->given[kPidButtonState] = 1;
        }
        b->state = static_cast<uint32_t>(CreateRecordValue(cr, kPidButtonState, 0));
        if (cr->buttonType == 1) b->style |= kBtnType1;
        if (cr->buttonType == kButtonType2) b->style |= kBtnType2;
        if (cr->buttonType == kButtonTypeFile) b->style |= kBtnFileInput;
    }
    if (IsCheckKind(rec)) {
        if (CreateRecordValue(cr, kPidPushLike, 0)) b->style |= kBtnPushLike;
        b->groupId = static_cast<uint32_t>(CreateRecordValue(cr, kPidGroupId, 0));
    }
    b->alignText = static_cast<uint8_t>(CreateRecordValue(cr, kPidAlignText, 0));
    WebApplyTheme(cr, top);
    CrText title = cr->title.text ? cr->title : cr->text;
    SetCaption(b, title.text ? title.text : "", title.text ? title.length : 0, kCaptionMax);
    CrText note = CreateRecordText(cr, kPidCmdNote);
    if (note.text) Replace(&b->cmdNote, note.text, note.length);
    if (CreateRecordValue(cr, kPidShield, 0)) b->style |= kBtnShield;
    ObjectRecord* window = WebIsWindow(top) ? top : nullptr;
    if (kind == kKindButton) {
        if (CreateRecordValue(cr, kPidCancel, 0)) SetCancelButton(window, rec, true);
        if (CreateRecordValue(cr, kPidDefault, 0)) SetDefaultButton(window, rec, true, false);
    }
    b->pictureRef = static_cast<uint32_t>(CreateRecordValue(cr, kPidPicture, 0));
    b->iconRef = static_cast<uint32_t>(CreateRecordValue(cr, kPidIcon, 0));
    char url[kImageMarkupUrlMax + 64], alt[kImageNameMax + 1];
    if (WebResolvePictureRef(cr, url, sizeof url, alt, sizeof alt) || WebResolveIconRef(cr, url, sizeof url, alt, sizeof alt)) {
        Replace(&b->imageUrl, url, static_cast<uint32_t>(strlen(url)));
        if (alt[0]) Replace(&b->altText, alt, static_cast<uint32_t>(strlen(alt)));
    }
    CrText altText = CreateRecordText(cr, kPidAltText);
    if (altText.text) Replace(&b->altText, altText.text, altText.length);
    return rec;
}

void WebRadioChainUnlink(ObjectRecord* rec) {
    WebButtonRecord* b = WebButton(rec);
    if (b->prevInGroup) WebButton(b->prevInGroup)->nextInGroup = b->nextInGroup;
    if (b->nextInGroup) WebButton(b->nextInGroup)->prevInGroup = b->prevInGroup;
    b->prevInGroup = b->nextInGroup = nullptr;
}

void WebRadioChainBuild(ObjectRecord* rec, uint32_t group) {
    if (!group) return;
    ObjectRecord* first = nullptr;
    ChainWalk(ChainHolder(rec), ObjectTopWindow(rec), group, &first, 0);
}

void WebButtonDestroy(ObjectRecord* rec) {
    WebButtonRecord* b = WebButton(rec);
    ObjectRecord* window = WindowOf(rec);
    if (window) {
        if (reinterpret_cast<WindowRecord*>(window)->defaultButton == rec)
            reinterpret_cast<WindowRecord*>(window)->defaultButton = nullptr;
        if (WebWin(window)->cancelButton == rec) WebWin(window)->cancelButton = nullptr;
    }
    for (ObjectRecord* w = gWebWindowList; w; w = w->next) {
        if (!WebIsWindow(w)) continue;
        if (WebWin(w)->cancelButton == rec) WebWin(w)->cancelButton = nullptr;
        if (reinterpret_cast<WindowRecord*>(w)->defaultButton == rec)
            reinterpret_cast<WindowRecord*>(w)->defaultButton = nullptr;
    }
    GuardedFree(b->cmdNote);
    GuardedFree(b->caption);
    b->cmdNote = b->caption = nullptr;
    WebButtonFilesFree(rec);
    GuardedFree(b->altText);
    GuardedFree(b->imageUrl);
    b->altText = b->imageUrl = nullptr;
    WebRadioChainUnlink(rec);
}

int32_t WebButtonSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                         bool* commonWrite) {
    WebButtonRecord* b = WebButton(rec);
    ObjectRecord* window = WindowOf(rec);
    switch (id) {
    case kPidBorder:
        if (IsCheckKind(rec)) rec->flags = value ? (rec->flags | kObjBorder) : (rec->flags & ~kObjBorder);
        break;
    case kPidTitle:
        SetCaption(b, text, text ? length : 0, kTextBufSize);
        rec->modeFlags = value == kUtf8TitleValue ? (rec->modeFlags | kModeUtf8Texts) : (rec->modeFlags & ~kModeUtf8Texts);
        if (rec->kind == kKindButton && b->imageUrl) break;
        CaptionToPage(rec);
        break;
    case kPidValue: case kPidButtonValue: SetChecked(rec, value != 0); break;
    case kPidZOrder:
        rec->zOrder = static_cast<uint16_t>(value);
        if (WebUnlinkChild(rec)) WebLinkChild(rec);
        if ((rec->flags & kObjShown) && (rec->flags & kObjDocked) && rec->parent) WebLayoutChildren(rec->parent);
        WebRadioChainBuild(rec, b->groupId);
        *commonWrite = true;
        return 0;
    case kPidAppearance:
        rec->flags = value == 1 ? (rec->flags | kObj3D) : (rec->flags & ~kObj3D);
        rec->appearance = value == 1 ? 1 : 2;
        break;
    case kPidCancel: SetCancelButton(window, rec, value != 0); break;
    case kPidDefault: SetDefaultButton(window, rec, value != 0); break;
    case kPidTriState:
        b->style &= ~(kBtnTriState | kBtnTriStateValue2);
        if (value == 2) b->style |= kBtnTriState | kBtnTriStateValue2;
        else if (value) b->style |= kBtnTriState;
        break;
    case kPidGroupId: {
        uint32_t old = b->groupId;
        WebRadioChainUnlink(rec);
        b->groupId = static_cast<uint32_t>(value);
        if (old) {
            ObjectRecord* first = nullptr;
            ChainWalk(ChainHolder(rec), ObjectTopWindow(rec), old, &first, 0);
        }
        WebRadioChainBuild(rec, b->groupId);
        break;
    }
    case kPidIcon: case kPidPicture:
        if (rec->kind == kKindButton) {
            ObjectCreateRecord* cr = &gObjectCreateRecord;
            CreateRecordReset(cr);
            if (text && length) {
                cr->texts[id] = CrText{text, length};
            } else {
                cr->values[id] = value;
                cr->given[id] = 1;
            }
            char url[kImageMarkupUrlMax + 64], alt[kImageNameMax + 1];
            bool found = id == kPidPicture ? WebResolvePictureRef(cr, url, sizeof url, alt, sizeof alt)
                                          : WebResolveIconRef(cr, url, sizeof url, alt, sizeof alt);
            if (id == kPidPicture) b->pictureRef = static_cast<uint32_t>(value);
            else b->iconRef = static_cast<uint32_t>(value);
            Replace(&b->imageUrl, found ? url : nullptr, found ? static_cast<uint32_t>(strlen(url)) : 0);
            ImageContent(rec, true);
        }
        break;
    case kPidAlignText: b->alignText = static_cast<uint8_t>(value); break;
    case kPidButtonType: break;
    case kPidCmdNote: Replace(&b->cmdNote, text, text ? length : 0); break;
    case kPidShield: b->style = value ? (b->style | kBtnShield) : (b->style & ~kBtnShield); break;
    case kPidPushLike: b->style = value ? (b->style | kBtnPushLike) : (b->style & ~kBtnPushLike); break;
    case kPidAltText: Replace(&b->altText, text, text ? length : 0); break;
    case kPidUrlSource:
        Replace(&b->imageUrl, text && length ? text : nullptr, text ? length : 0);
        ImageContent(rec, false);
        break;
    case kPidContext: {
        uint32_t v = static_cast<uint32_t>(value);
        if (v == rec->context) break;
        char oldClass[32], newClass[32];
        ContextClass(rec->context, b->state, oldClass, sizeof oldClass);
        ContextClass(v, b->state, newClass, sizeof newClass);
        WebChangeElemClass(rec, oldClass, newClass, false);
        rec->context = static_cast<uint8_t>(v);
        break;
    }
    case kPidSwitch:
        b->state = static_cast<uint32_t>(value);
        WebChangeElemClass(rec, value ? nullptr : "form-switch", value ? "form-switch" : nullptr, true);
        break;
    case kPidButtonState: SetButtonState(rec, static_cast<uint32_t>(value)); break;
    default:
        return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t WebButtonGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebButtonRecord* b = WebButton(rec);
    auto textOf = [&](const char* t) {
        snprintf(gTextBuf, kTextBufSize + 1, "%s", t ? t : "");
        *text = gTextBuf;
    };
    switch (id) {
    case kPidTitle: textOf(b->caption); return 0;
    case kPidValue: case kPidButtonValue: *result = AskChecked(rec); return 0;
    case kPidCancel: *result = (b->style & kBtnCancel) ? 1 : 0; return 0;
    case kPidDefault: *result = (b->style & kBtnDefault) ? 1 : 0; return 0;
    case kPidTriState:
        *result = !(b->style & kBtnTriState) ? 0 : (rec->kind == kKindCheckBox && (b->style & kBtnTriStateValue2)) ? 2 : 1;
        return 0;
    case kPidGroupId: *result = static_cast<int32_t>(b->groupId); return 0;
    case kPidIcon: *result = static_cast<int32_t>(b->iconRef); return 0;
    case kPidPicture: *result = static_cast<int32_t>(b->pictureRef); return 0;
    case kPidAlignText: *result = b->alignText; return 0;
    case kPidSelGroupId: *result = SelGroupId(rec); return 0;
    case kPidButtonType:
        *result = (b->style & kBtnType1)       ? kButtonType1
                  : (b->style & kBtnType2)     ? kButtonType2
                  : (b->style & kBtnFileInput) ? kButtonTypeFile
                                               : 0;
        return 0;
    case kPidCmdNote: textOf(b->cmdNote); return 0;
    case kPidAltText: textOf(b->altText); return 0;
    case kPidUrlSource: textOf(b->imageUrl); return 0;
    case kPidShield: *result = (b->style & kBtnShield) ? 1 : 0; return 0;
    case kPidPushLike: *result = (b->style & kBtnPushLike) ? 1 : 0; return 0;
    case kPidContext: *result = rec->context; return 0;
    case kPidSwitch: case kPidButtonState: *result = static_cast<int32_t>(b->state); return 0;
    default: return kWebNotAvailable;
    }
}

int32_t WebButtonMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebButtonRecord* b = WebButton(rec);
    switch (call->method) {
    case kButtonAamCancelMode: case kButtonIoCancelMode:
        if (WebArgGiven(call, 0)) {
            int32_t v = WebArgInt(call, 0, 0);
            WebViewSelectForObject(rec);
            JsonBeginAction(kActCancelMode);
            JsonAddName(rec);
            if (v == 0) {
                b->style &= ~kBtnCancelMode;
                JsonAddInt("rem", 1);
            } else {
                b->style |= kBtnCancelMode;
            }
            WebViewMsgQuery();
        }
        return WebReplyInt(0);
    case kButtonGetCtlFlags: return WebReplyInt(b->style);
    case kButtonGetFileCount: return WebReplyInt(static_cast<int32_t>(WebButtonFileCount(rec)));
    case kButtonGetFileItem:
        WebButtonFileItem(rec, static_cast<uint32_t>(WebArgInt(call, 0, 0)),
                          static_cast<uint32_t>(WebArgInt(call, 1, 1)));
        return WebReplyText(gTextBuf);
    case kButtonSetFileOptions: {
        char name[24], filter[1024];
        snprintf(name, sizeof name, "C%uF", rec->elementId);
        WebViewSelectForObject(rec);
        JsonBeginAction(kActFileOptions);
        JsonAddStringNoConv("name", name);
        JsonAddInt("dwid", kFileOptionsDwid);
        if (WebArgGiven(call, 0)) JsonAddStringZ("typ", ArgTextOf(call, 0, filter, sizeof filter));
        if (WebArgGiven(call, 1)) JsonAddInt("mult", WebArgInt(call, 1, 0) & 1);
        WebViewMsgEnd();
        return WebReplyInt(0);
    }
    default:
        return kWebUnknownMethod;
    }
}

// ---- Markup and the kinds' rows --------------------------------------------------------------

namespace {

void MarkupButton(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    if (cr->buttonType == kButtonTypeFile) {
        if (m.standalone) {
            HtmlPut("<input type=\"file\" ");
        } else {
            HtmlPut("<input type=\"file\" onchange=\"qovWebNamespace.fileEvt('C");
            HtmlAppendUInt(m.id);
            HtmlPut("F')\" id=\"C");
            HtmlAppendUInt(m.id);
            HtmlPut("F\" style=\"visibility: hidden; width: 1px; height: 1px\" />");
            HtmlPut("<button onclick=\"document.getElementById('C");
            HtmlAppendUInt(m.id);
            HtmlPut("F').click(); return false\" ");
        }
    } else {
        HtmlPut("<button ");
    }
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    if (cr->buttonType == kButtonTypeFile && m.standalone) {
        HtmlPut(" />");
        return;
    }
    HtmlPut(">");
    int32_t state = HtmlValue(cr, kPidButtonState, 0);
    if (gWebThemeClasses && state == kButtonStateSpinner)
        HtmlPut("<span style='margin-right: 3px' class='spinner-border spinner-border-sm'></span>");
    if (gWebThemeClasses && state == kButtonStateGrow)
        HtmlPut("<span style='margin-right: 3px' class='spinner-grow spinner-grow-sm'></span>");
    CrText src = HtmlImageSource(cr);
    if (src.text && src.length) {
        HtmlPut("<img src=\"");
        HtmlAppendAttr(src.text, src.length);
        CrText alt = HtmlCrText(cr, kPidAltText);
        if (alt.text && alt.length) {
            HtmlPut("\" alt=\"");
            HtmlAppendAttr(alt.text, alt.length);
        }
        HtmlPut("\"/>");
    } else {
        HtmlContent(cr->title.text ? cr->title : cr->text);
    }
    HtmlPut("</button>");
}

void MarkupCheck(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    HtmlPut(">");
    HtmlPut(m.kind == kKindCheckBox ? "<input type=\"checkbox\" " : "<input type=\"radio\" ");
    int32_t group = HtmlValue(cr, kPidGroupId, 0);
    if (m.kind == kKindRadio && group) {
        HtmlPut("name=\"G");
        HtmlAppendInt(group);
        HtmlPut("\" ");
    }
    if (gWebThemeClasses) HtmlPut("class=\"form-check-input\" ");
    if (HtmlValue(cr, kPidValue, 0)) HtmlPut("checked=\"checked\" ");
    HtmlPut("tabindex=\"100\" id=\"C");
    HtmlAppendUInt(m.id);
    int32_t align = HtmlValue(cr, kPidAlignText, 0);
    HtmlPut("\" style=\"float: ");
    HtmlPut(align == 0 || align == 2 ? "left" : "right");
    HtmlPut("; margin-top: ");
    HtmlAppendInt((m.height / 2) - 6);
    HtmlPut("px\"><label for=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut("\" id=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut("L\" style=\"display: inline\"");
    if (gWebThemeClasses) HtmlPut(" class=\"form-check-label\"");
    HtmlPut(" >");
    HtmlContent(cr->title.text ? cr->title : cr->text);
    HtmlPut("</label></div>");
}

void MarkupCheckBox(HtmlMarkup& m) {
    HtmlPut("<div ");
    HtmlOpenId(m, true);
    HtmlWriteCommon(m);
    MarkupCheck(m);
}

// A push button's change is never asked of the page.
bool ButtonAskEvent(ObjectRecord*, uint32_t eventId) { return eventId == kEvChange; }

const WebKindOps kPushOps = {
    .create = WebButtonCreate,
    .markup = MarkupButton,
    .setProp = WebButtonSetProp,
    .getProp = WebButtonGetProp,
    .destroy = WebButtonDestroy,
    .method = WebButtonMethod,
    .getText = ButtonGetText,
    .getValue = ButtonGetValue,
    .setText = ButtonSetText,
    .setValue = ButtonSetValue,
    .askEvent = ButtonAskEvent,
    .defaultEvent = kEvClick,
    .traits = kWebKindTakesFocus,
    .fileInput = IsFileButton,
};

// Check boxes and radio buttons.
const WebKindOps kCheckOps = {
    .create = WebButtonCreate,
    .markup = MarkupCheckBox,
    .setProp = WebButtonSetProp,
    .getProp = WebButtonGetProp,
    .destroy = WebButtonDestroy,
    .getText = ButtonGetText,
    .getValue = ButtonGetValue,
    .setText = ButtonSetText,
    .setValue = ButtonSetValue,
    .defaultEvent = kEvClick,
    .traits = kWebKindTakesFocus,
};

}  // namespace

void WebButtonInstall() {
    WebRegisterKind(kKindButton, &kPushOps);
    WebRegisterKind(kKindCheckBox, &kCheckOps);
    WebRegisterKind(kKindRadio, &kCheckOps);
}
