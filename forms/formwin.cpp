// formwin.cpp - the Window methods of form files (SaveQofFile, LoadQofFile,
// GetQofFlags, GetQofInfo, GetLastQofFileError) and the forms' entries in the windows
// layer's hooks.
#include <cstring>
#include <string>

#include "controls/ctlcommon.h"
#include "forms/formload.h"
#include "forms/formsave.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "session/session.h"
#include "session/util/strutil.h"
#include "webview/core/webobject.h"

namespace {

// The three 1-based choices of LoadQofFile and the overrides they give, each
// taken only below its limit.
struct Choice {
    uint32_t arg;
    FormOverride target;
    int32_t limit;
};
const Choice kChoices[] = {{4, kOvMdiScroll, 5}, {5, kOvWinType, 12}, {6, kOvWinBorder, 9}};
constexpr uint32_t kGuiModeFormLoading = 0x80;

// A file name argument as a string; empty when not given. False (and empty)
// when it holds a NUL: cut there, it would name another file. Its length is
// each use's own limit (PrepSrvFileWrite refuses a name past its field).
bool ArgName(const MethodCallRec* call, uint32_t i, std::string* out) {
    uint32_t length = 0;
    const char* text = CtlArgText(call, i, &length);
    out->clear();
    if (!text) return true;
    if (!NameIsWhole(text, length, SIZE_MAX)) return false;
    out->assign(text, length);
    return true;
}

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

int32_t LoadQofFileMethod(ObjectRecord* window, const MethodCallRec* call) {
    std::string name, xmlOut, codeOut;
    if (!ArgName(call, 0, &name)) return kFormNameUnresolved;
    if (!ArgName(call, 1, &xmlOut)) return kFormXmlOutputFailed;
    if (!ArgName(call, 2, &codeOut)) return kFormCodeNamePrep;
    uint32_t options = static_cast<uint32_t>(CtlArgInt(call, 3, 0));
    // An XML form file is first converted into a temporary QOF file, which
    // is loaded and then deleted.
    char converted[MAX_PATH + 2] = {};
    if (options & kFormOptFromXml) {
        uint32_t rc = FormConvertXmlToQof(name.c_str(), converted, sizeof converted, true);
        if (rc != 0) return static_cast<int32_t>(rc);
        name = converted;
    }
    uint32_t overrides[kOvCount] = {};
    for (const Choice& c : kChoices) {
        int32_t v = CtlArgInt(call, c.arg, 0);
        if (v >= 1 && v < c.limit) overrides[c.target] = static_cast<uint32_t>(v) + 1;
    }
    bool modeBit = (gGuiModeFlags & kGuiModeKeepFlagged) != 0;
    if (modeBit) gGuiModeFlags |= kGuiModeFormLoading;
    char err[kFormErrTextSize + 1] = {};
    ObjectRef ref = ObjectRefOf(window);
    int32_t rc = FormLoadQof(window, name.c_str(), OrNull(xmlOut), OrNull(codeOut), options, overrides, err);
    if (modeBit) gGuiModeFlags &= ~kGuiModeFormLoading;
    if (converted[0]) DeleteFileA(converted + 1);
    // A load answers the file's version in its high half and 0 below.
    if ((rc & 0xFFFF) == 0 && ObjectRefAlive(ref)) FormLoadFinish(window);
    return rc;
}

// SaveQofFile: file name, XML event text, code file name, options.
int32_t SaveQofFileMethod(ObjectRecord* window, const MethodCallRec* call) {
    std::string name, code;
    if (!ArgName(call, 0, &name)) return kFormSaveNamePrep;
    if (!ArgName(call, 2, &code)) return kFormSaveCodeFile;
    uint32_t length = 0;
    const char* text = CtlArgText(call, 1, &length);
    const std::string events = text ? std::string(text, length) : std::string();
    uint32_t options = static_cast<uint32_t>(CtlArgInt(call, 3, 0));
    return static_cast<int32_t>(FormSaveQof(window, name.c_str(), OrNull(events), OrNull(code), options));
}

}  // namespace

int32_t FormWindowMethod(ObjectRecord* window, MethodCallRec* call) {
    switch (call->method) {
    case kWmSaveQofFile:
        return SaveQofFileMethod(window, call);
    case kWmLoadQofFile:
        return LoadQofFileMethod(window, call);
    case kWmGetQofFlags: case kWmGetQofInfo: {
        // A name that cannot be used as given is asked about as no name.
        std::string name;
        ArgName(call, 0, &name);
        if (call->method == kWmGetQofFlags) return FormFileGetFlags(window, name.c_str());
        return FormFileGetInfo(window, name.c_str(), static_cast<uint32_t>(CtlArgInt(call, 1, 0)));
    }
    case kWmGetLastQofFileError:
        return CtlReplyText(gFormLastError);
    default:
        return kOpUnknownMethod;
    }
}

void FormLoadFinish(ObjectRecord* window) {
    if (EventIsRegistered(window, kEvLoad)) PostObjectEvent(window, kEvLoad, kEventKindDefault, 0, 0);
    // The web view's part: the locale bytes, and the form's status bars,
    // disabled number edits and splitters refreshed in the page.
    WebFormLoaded(window->children);
}

static void FormsCleanup() { FormStreamBufFree(); }
static void FormWindowGone(ObjectRecord* window, bool) { FormWindowFree(window); }

FacilityRow FormsInstall() {
    gGuiHooks.windowFormMethod = FormWindowMethod;
    WindowEventSubscribe(kWindowDestroyed, FormWindowGone);
    return FacilityRow{"Forms", nullptr, FormsCleanup};
}
