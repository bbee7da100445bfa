// animate.cpp - the Animate object (kind 47): a "SysAnimate32" control playing
// a silent clip from a client file or from a local copy of a server file (a
// "QOV" temporary file, deleted when the clip is closed); its style
// properties, its Close, Open, Play and Stop methods and the start and stop
// it reports as $CHANGE.
#include <windows.h>

#include <commctrl.h>

#include "graphics/gfxcommon.h"
#include "graphics/media.h"
#include "objects/events.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/log.h"
#include "session/util/codepage.h"
#include "session/util/strutil.h"

namespace {

enum BackStyleValue : int32_t { kBackOpaque = 1, kBackTransparent = 2 };
constexpr int32_t kAlignCenter = 1;
constexpr int32_t kPlayFrom = 0, kPlayToLast = -1, kPlayForever = -1;
constexpr int32_t kMethodOk = 0, kMethodFailed = 1;
constexpr char kTempPrefix[] = "QOV";
constexpr char kServerMarkSearch = '?', kServerMarkSearchAll = '*';

struct AnimateRecord {
    ControlRecord c;
    char* tempFile;     // the local copy of a served clip, OEM code page
    uint8_t backStyle;
    uint8_t center;
    uint8_t autoPlay;
};

AnimateRecord* AsAnimate(ObjectRecord* rec) { return reinterpret_cast<AnimateRecord*>(rec); }

void SetStyleBits(HWND wnd, int which, DWORD clear, DWORD set) {
    DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, which));
    SetWindowLongA(wnd, which, static_cast<LONG>((style & ~clear) | set));
}

// A shown control takes a changed frame and is redrawn.
void Refresh(ObjectRecord* rec, bool frame) {
    if (!(rec->flags & kObjShown) || !rec->hwnd) return;
    if (frame)
        SetWindowPos(rec->hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(rec->hwnd, nullptr, TRUE);
}

void ApplyBorder(ObjectRecord* rec) {
    bool border = (rec->flags & kObjBorder) != 0, three = (rec->flags & kObj3D) != 0;
    SetStyleBits(rec->hwnd, GWL_STYLE, WS_BORDER, border ? WS_BORDER : 0);
    SetStyleBits(rec->hwnd, GWL_EXSTYLE, WS_EX_CLIENTEDGE, border && three ? WS_EX_CLIENTEDGE : 0);
    Refresh(rec, true);
}

void DropTempFile(AnimateRecord* a) {
    if (!a->tempFile) return;
    DeleteFileA(OemToAnsiStr(a->tempFile, 0));
    LocalFreeMem(a->tempFile);
    a->tempFile = nullptr;
}

// ACM_OPENA with no name closes the clip; its answer.
LRESULT AnimateClose(AnimateRecord* a) {
    LRESULT r = SendMessageA(a->c.hdr.hwnd, ACM_OPENA, 0, 0);
    DropTempFile(a);
    return r;
}

// A server clip is written into a new temporary file, whose name the record keeps.
bool FetchToTemp(AnimateRecord* a, const char* serverName) {
    char dir[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathA(sizeof dir, dir) || !GetTempFileNameA(dir, kTempPrefix, 0, path)) return false;
    // Fetching pumps the server exchange: the record is looked up again after it.
    ObjectRef ref = ObjectRefOf(&a->c.hdr);
    int rc = WriteSrvFileLocal(serverName, path);
    if (!ObjectRefAlive(ref) || rc != 0) {
        // GetTempFileNameA made the file already: a failed fetch leaves none behind.
        DeleteFileA(path);
        return false;
    }
    a->tempFile = CtlCopyText(path, static_cast<uint32_t>(strlen(path)));
    if (!a->tempFile) {
        DeleteFileA(path);
        return false;
    }
    AnsiToOemStr(a->tempFile);
    return true;
}

bool AnimateOpen(AnimateRecord* a, const char* name) {
    const char* file;
    if (name[0] == kClientPathMark) {
        file = name + 1;
    } else {
        // A plain name is fetched with the default search mode (the fetch adds it).
        if (!FetchToTemp(a, name)) return false;
        file = a->tempFile;
    }
    const char* ansi = OemToAnsiStr(file, 0);
    return ansi && SendMessageA(a->c.hdr.hwnd, ACM_OPENA, 0, reinterpret_cast<LPARAM>(ansi)) != 0;
}

// ---- Slots ------------------------------------------------------------------------------

int32_t AnimateShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    // Showing pumps: a request taken meanwhile may destroy the control.
    ObjectRef ref = ObjectRefOf(rec);
    int32_t r = ObjectShowWindowed(rec, a, b, c, d);
    if (ObjectRefAlive(ref) && rec->hwnd) ShowWindow(rec->hwnd, SW_RESTORE);
    return r;
}

int32_t AnimateDestroy(ObjectRecord* rec) {
    AnimateClose(AsAnimate(rec));
    return CtlDestroy(rec);
}

int32_t AnimateNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    if (code != ACN_START && code != ACN_STOP) return 0;
    int32_t value = code == ACN_START ? 1 : 0;
    if (EventIsRegistered(rec, kEvChange)) PostObjectEvent(rec, kEvChange, kEventKindDefault, 0, value);
    else if (EventIsRegistered(rec, kEvOldEvent)) PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, value);
    return 1;
}

uint32_t AnimateGetProp(ObjectRecord* rec, uint32_t id) {
    AnimateRecord* a = AsAnimate(rec);
    switch (id) {
    case kPidBackStyle: return a->backStyle;
    case kPidCenter: return a->center;
    case kPidAutoPlay: return a->autoPlay;
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t AnimateSetProp(ObjectRecord* rec, PropChange* req) {
    AnimateRecord* a = AsAnimate(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidBorder:
        if (v) rec->flags |= kObjBorder;
        else rec->flags &= ~kObjBorder;
        ApplyBorder(rec);
        return 0;
    case kPidAppearance:
        if (v == 1) {
            rec->flags |= kObj3D;
            rec->appearance = 1;
        } else {
            rec->flags &= ~kObj3D;
            rec->appearance = 2;
        }
        ApplyBorder(rec);
        return 0;
    case kPidBackStyle:
        if (v != kBackOpaque && v != kBackTransparent) return 0;
        a->backStyle = static_cast<uint8_t>(v);
        SetStyleBits(rec->hwnd, GWL_STYLE, ACS_TRANSPARENT, v == kBackTransparent ? ACS_TRANSPARENT : 0);
        Refresh(rec, false);
        return 0;
    case kPidCenter:
        a->center = v ? 1 : 0;
        SetStyleBits(rec->hwnd, GWL_STYLE, ACS_CENTER, v ? ACS_CENTER : 0);
        Refresh(rec, false);
        return 0;
    case kPidAutoPlay:
        a->autoPlay = v ? 1 : 0;
        SetStyleBits(rec->hwnd, GWL_STYLE, ACS_AUTOPLAY, v ? ACS_AUTOPLAY : 0);
        return 0;
    default:
        return CtlSetCommonProp(rec, req);
    }
}

const MethodDesc* AnimateMethodLookup(uint32_t method, uint32_t) {
    static const uint8_t kKnown = 1;
    return method >= kAnimateClose && method <= kAnimateStop ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

int32_t AnimateMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeAnimate, call);
    if (rc != 0) return rc;
    AnimateRecord* a = AsAnimate(rec);
    switch (call->method) {
    case kAnimateClose: {
        LRESULT r = AnimateClose(a);
        if (rec->flags & kObjShown) {
            InvalidateRect(rec->hwnd, nullptr, TRUE);
            UpdateWindow(rec->hwnd);
        }
        return CtlReplyInt(static_cast<int32_t>(r));
    }
    case kAnimateOpen: {
        uint32_t len = 0;
        const char* text = CtlArgText(call, 0, &len);
        // A clip's name holding a NUL, cut there, would open another file.
        if (!NameIsWhole(text, len, SIZE_MAX)) {
            DebugLogWrite("AnimateOpen", "the clip's name holds a NUL: refused");
            return CtlReplyInt(kMethodFailed);
        }
        char* name = CtlCopyText(text ? text : "", len);
        if (!name) return CtlReplyInt(kMethodFailed);
        // The fetch pumps: the record is looked up again after it.
        ObjectRef ref = ObjectRefOf(rec);
        AnimateClose(a);
        bool ok = name[0] && AnimateOpen(a, name);
        LocalFreeMem(name);
        if (!ObjectRefAlive(ref)) return CtlReplyInt(kMethodFailed);
        return CtlReplyInt(ok ? kMethodOk : kMethodFailed);
    }
    case kAnimatePlay: {
        int32_t from = CtlArgInt(call, 0, kPlayFrom), to = CtlArgInt(call, 1, kPlayToLast);
        int32_t repeat = CtlArgInt(call, 2, kPlayForever);
        LRESULT r = SendMessageA(rec->hwnd, ACM_PLAY, static_cast<WPARAM>(repeat),
                                 MAKELPARAM(static_cast<WORD>(from), static_cast<WORD>(to)));
        return CtlReplyInt(r ? kMethodOk : kMethodFailed);
    }
    case kAnimateStop:
        return CtlReplyInt(SendMessageA(rec->hwnd, ACM_STOP, 0, 0) ? kMethodOk : kMethodFailed);
    default:
        return kOpUnknownMethod;
    }
}

const ObjectOps kAnimateOps = {
    .show = AnimateShow,
    .hide = ObjectHideWindowed,
    .destroy = AnimateDestroy,
    .enable = ObjectEnableWindowed,
    .notify = AnimateNotify,
    .getProp = AnimateGetProp,
    .setProp = AnimateSetProp,
    .method = AnimateMethod,
};

}  // namespace

const char* AnimateTempFile(ObjectRecord* rec) {
    return rec && rec->kind == kKindAnimate ? AsAnimate(rec)->tempFile : nullptr;
}

ObjectRecord* AnimateCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    int32_t backStyle = CreateRecordValue(cr, kPidBackStyle, 0);
    if (backStyle == 0) backStyle = kBackOpaque;
    bool center = CreateRecordValue(cr, kPidAlignment, 0) == kAlignCenter;
    bool autoPlay = CreateRecordValue(cr, kPidAutoPlay, 0) != 0;
    DWORD style = 0;
    if (backStyle == kBackTransparent) style |= ACS_TRANSPARENT;
    if (center) style |= ACS_CENTER;
    if (autoPlay) style |= ACS_AUTOPLAY;
    ControlRecord* c = CtlCreateWindowed(kKindAnimate, cr, ANIMATE_CLASSA, style, 0, nullptr, 0, code,
                                         sizeof(AnimateRecord));
    if (!c) return nullptr;
    AnimateRecord* a = AsAnimate(&c->hdr);
    // A bordered animation has a plain border; the sunken edge comes with a
    // 3-D appearance only while the client's 3-D option is on.
    ObjectRecord* rec = &c->hdr;
    bool border = (rec->flags & kObjBorder) != 0;
    SetStyleBits(rec->hwnd, GWL_STYLE, WS_BORDER, border ? WS_BORDER : 0);
    SetStyleBits(rec->hwnd, GWL_EXSTYLE, WS_EX_CLIENTEDGE,
                 border && (rec->flags & kObj3D) && gGuiOption3D ? WS_EX_CLIENTEDGE : 0);
    SetWindowPos(rec->hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    a->backStyle = static_cast<uint8_t>(backStyle);
    a->center = center ? 1 : 0;
    a->autoPlay = autoPlay ? 1 : 0;
    return CtlFinishCreate(c, cr, code);
}

void AnimateInstall() {
    RegisterObjectCreator(kTypeAnimate, AnimateCreate);
    RegisterObjectOps(kKindAnimate, &kAnimateOps);
    RegisterMethodTable(kTypeAnimate, AnimateMethodLookup);
}
