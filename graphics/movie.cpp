// movie.cpp - the Movie object (kind 10): a video clip played by the MCI
// "avivideo" device in the playback window it makes inside the parent; its
// play, pause and stop values, the user's clicks, the end of play that MCI
// notifies, palettes on activation and the frame drawn around the clip.
#include <windows.h>

#include <mmsystem.h>
// The digital-video MCI commands need the MCI types first.
#include <digitalv.h>

#include "graphics/gfxcommon.h"
#include "graphics/media.h"
#include "objects/color.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/log.h"
#include "session/nomemwin.h"
#include "session/util/strutil.h"

namespace {

enum MovieValue : int32_t { kMvStop = 0, kMvPlay = 1, kMvPause = 2 };
constexpr int32_t kMovieWhich = 1;
constexpr char kVideoDevice[] = "avivideo";
constexpr char kVideoDriverModule[] = "mciavi32.dll";   // the driver behind "avivideo"
constexpr uint32_t kMovieMainBgColor = 0xC0C0C0;
constexpr uint32_t kMovieSysBgColor = 0x8000000F;   // system colour 15
constexpr uint32_t kMaxClipName = 40960;
// The room the frame takes on every side: a flat border, a 3-D one with its band.
constexpr int32_t kFrameFlat = 1, kFrame3D = 5;
constexpr int32_t kBand = 2;
constexpr int32_t kOpNoVideo = -3, kOpNoClip = -2;
enum DeviceCheck : uint8_t { kDeviceUnchecked = 0, kDeviceFound = 1, kDeviceMissing = 2 };

struct MovieRecord {
    ObjectRecord hdr;
    uint32_t deviceId;
    uint8_t playing;
    uint8_t paused;
};

DeviceCheck gVideoDevice = kDeviceUnchecked;
WNDPROC gMciProc;   // the playback windows' own procedure (one class)

bool DefaultDialog(HWND owner, int kind) { return FileDialog(owner, kind); }
MediaFileDialogFn gMovieDialog = DefaultDialog;

MovieRecord* AsMovie(ObjectRecord* rec) { return reinterpret_cast<MovieRecord*>(rec); }

MCIERROR Mci(uint32_t device, UINT command, DWORD flags, void* parms) {
    // A media driver that uses COM would otherwise set the thread up for it
    // first, in a mode in which OLE can no longer start.
    RuntimeOleStart();
    return mciSendCommandA(device, command, flags, reinterpret_cast<DWORD_PTR>(parms));
}

// A command without arguments of its own still gets a parameter block: the
// video device refuses some commands without one.
MCIERROR MciPlain(uint32_t device, UINT command, DWORD flags) {
    MCI_GENERIC_PARMS parms = {};
    return Mci(device, command, flags, &parms);
}

bool VideoDeviceAvailable() {
    if (gVideoDevice == kDeviceUnchecked) {
        MCI_OPEN_PARMSA open = {};
        open.lpstrDeviceType = kVideoDevice;
        // The device opened for the check stays open until MovieCloseAll: the
        // driver is then not unloaded between clips while a playback thread
        // of a closed clip may still be ending.
        bool found = Mci(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_WAIT, &open) == 0;
        gVideoDevice = found ? kDeviceFound : kDeviceMissing;
        // The driver stays loaded for the rest of the process, even once its
        // last device is closed (MovieCloseAll): Wine's leaves its state
        // registered with the system when unloaded, and the next thread that
        // meets that state, after a later open loaded the driver anew or at
        // the program's end, crashes.
        HMODULE driver;
        if (found) GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, kVideoDriverModule, &driver);
    }
    return gVideoDevice == kDeviceFound;
}

void SeekToStart(MovieRecord* m) {
    MCI_SEEK_PARMS seek = {};
    Mci(m->deviceId, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, &seek);
}

// One status item of a device (its mode, its playback window, ...); 0 when
// the device gives none.
DWORD_PTR DeviceStatus(uint32_t device, DWORD item) {
    MCI_DGV_STATUS_PARMSA status = {};
    status.dwItem = item;
    if (Mci(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status)) return 0;
    return status.dwReturn;
}

// Goes on with a paused play the device still holds. Wine's video driver
// plays each MCI_PLAY on a thread of its own; one given while the paused
// play's thread has not yet seen the pause (it looks once a frame) left two
// threads playing the one clip, and closing the device then freed it under
// the second, which crashed the program. True when the clip plays on.
bool ResumePausedPlay(MovieRecord* m) {
    if (DeviceStatus(m->deviceId, MCI_STATUS_MODE) != MCI_MODE_PAUSE) return false;
    MciPlain(m->deviceId, MCI_RESUME, MCI_WAIT);
    return DeviceStatus(m->deviceId, MCI_STATUS_MODE) == MCI_MODE_PLAY;
}

// Play with the end notified to the movie's top window; a paused clip the
// device still holds goes on under its first play and notice.
void Play(MovieRecord* m) {
    bool wasPaused = m->paused;
    m->playing = 1;
    m->paused = 0;
    if (wasPaused && ResumePausedPlay(m)) return;
    ObjectRecord* top = ObjectTopWindow(&m->hdr);
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(top && top->hwnd ? top->hwnd : m->hdr.hwnd);
    Mci(m->deviceId, MCI_PLAY, MCI_NOTIFY, &play);
}

void Pause(MovieRecord* m) {
    m->playing = 0;
    m->paused = 1;
    MciPlain(m->deviceId, MCI_PAUSE, MCI_WAIT);
}

void Stop(MovieRecord* m) {
    m->paused = 0;
    if (m->playing) {
        m->playing = 0;
        MciPlain(m->deviceId, MCI_PAUSE, MCI_WAIT);
    }
    SeekToStart(m);
}

void ShowPlayback(MovieRecord* m, int state) {
    MCI_DGV_WINDOW_PARMSA win = {};
    win.nCmdShow = static_cast<UINT>(state);
    Mci(m->deviceId, MCI_WINDOW, MCI_DGV_WINDOW_STATE | MCI_WAIT, &win);
}

void MovieClick(MovieRecord* m, bool left) {
    if (!left) Stop(m);
    else if (m->playing) Pause(m);
    else Play(m);
}

int32_t FrameWidth(const ObjectRecord* rec) {
    if (!(rec->flags & kObjBorder)) return 0;
    return (rec->flags & kObj3D) ? kFrame3D : kFrameFlat;
}

// The playback window inside the object's frame, less the container's scroll.
void PlaceInFrame(ObjectRecord* rec) {
    int32_t frame = FrameWidth(rec), sx = 0, sy = 0;
    GfxContainerScroll(rec, &sx, &sy);
    SetWindowPos(rec->hwnd, nullptr, rec->left + frame - sx, rec->top + frame - sy, rec->right - rec->left - 2 * frame,
                 rec->bottom - rec->top - 2 * frame, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The object model's part of the playback window's message: true when it took
// it (answered 0).
static bool MovieMsgToObjectModel(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    *result = 0;
    ObjectRecord* rec = ObjectFromHwnd(wnd);
    if (!rec || rec->kind != kKindMovie) return false;
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) MovieClick(AsMovie(rec), msg == WM_LBUTTONDOWN);
    switch (msg) {
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: case WM_MOUSEWHEEL: case WM_SETFOCUS: case WM_KILLFOCUS:
    case WM_SETCURSOR: case WM_KEYDOWN: case WM_CHAR: case WM_SYSCHAR:
        // The click's own handling above may not have survived the event's queueing.
        return ControlMsgToEvent(wnd, msg, wp, lp);
    case WM_SYSKEYDOWN:
        HandleSysKeyF10(wnd, wp, 0, 0, 0);
        return false;
    default:
        return false;
    }
}

// The player's own procedure.
static LRESULT MciProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return gMciProc ? CallWindowProcA(gMciProc, wnd, msg, wp, lp) : DefWindowProcA(wnd, msg, wp, lp);
}

// What the object model leaves, or cannot hold in memory, goes to the player.
constexpr WNDPROC kMovieSubclassProc = GuardedSubclassProc<MovieMsgToObjectModel, MciProc>;

// ---- Slots --------------------------------------------------------------------------------

int32_t MovieShow(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    rec->flags &= ~kObjHidden;
    NoteObjectShown(rec);
    PlaceInFrame(rec);
    ShowPlayback(AsMovie(rec), SW_SHOW);
    RedrawObject(rec, true);
    return 0;
}

int32_t MovieHide(ObjectRecord* rec) {
    ShowPlayback(AsMovie(rec), SW_HIDE);
    NoteObjectHidden(rec);
    RedrawObject(rec, true);
    return 0;
}

int32_t MovieDestroy(ObjectRecord* rec) {
    MovieRecord* m = AsMovie(rec);
    // Closing the device destroys its playback window.
    if (m->deviceId) MciPlain(m->deviceId, MCI_CLOSE, MCI_WAIT);
    m->deviceId = 0;
    rec->hwnd = nullptr;
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

int32_t MovieGetValue(ObjectRecord* rec, int32_t which, int32_t* value) {
    MovieRecord* m = AsMovie(rec);
    *value = which != kMovieWhich ? 0 : m->playing ? kMvPlay : m->paused ? kMvPause : kMvStop;
    return 0;
}

int32_t MovieSetValue(ObjectRecord* rec, int32_t which, int32_t value) {
    if (which != kMovieWhich) return 0;
    MovieRecord* m = AsMovie(rec);
    switch (value) {
    case kMvStop: Stop(m); break;
    case kMvPlay:
        if (!m->playing) Play(m);
        break;
    case kMvPause:
        if (m->playing) Pause(m);
        break;
    default: break;
    }
    return 0;
}

// Only the frame around the playback window: the clip paints itself.
int32_t MoviePaint(ObjectRecord* rec, void* paintDC, int32_t) {
    if (!(rec->flags & kObjBorder)) return 0;
    // The container's DC while it paints (its coordinates), else one of the
    // container's window less its scroll offsets.
    HWND parentWnd = paintDC ? nullptr : GfxContainerWindow(rec);
    HDC dc = paintDC ? static_cast<HDC>(paintDC) : parentWnd ? GetDC(parentWnd) : nullptr;
    if (!dc) return 0;
    int32_t sx = 0, sy = 0;
    if (!paintDC) GfxContainerScroll(rec, &sx, &sy);
    RECT r = {rec->left - sx, rec->top - sy, rec->right - sx, rec->bottom - sy};
    if (rec->flags & kObj3D) {
        InflateRect(&r, -1, -1);
        DrawBorder(dc, &r, rec->appearance, rec->bdrColor);
        HBRUSH band = CreateSolidBrush(ColorValueResolve(rec->bgColor));
        RECT in = r;
        InflateRect(&in, -(kFrame3D - 1 - kBand), -(kFrame3D - 1 - kBand));
        RECT sides[4] = {{in.left, in.top, in.right, in.top + kBand}, {in.left, in.bottom - kBand, in.right, in.bottom},
                         {in.left, in.top, in.left + kBand, in.bottom}, {in.right - kBand, in.top, in.right, in.bottom}};
        for (const RECT& side : sides) FillRect(dc, &side, band);
        DeleteObject(band);
    } else {
        DrawBorder(dc, &r, rec->appearance, rec->bdrColor);
    }
    if (parentWnd) ReleaseDC(parentWnd, dc);
    return 0;
}

uint32_t MovieGetProp(ObjectRecord* rec, uint32_t id) { return CtlGetCommonProp(rec, id); }

int32_t MovieSetProp(ObjectRecord* rec, PropChange* req) {
    int32_t r = CtlSetCommonProp(rec, req);
    // The common code puts the window on the whole rectangle; the playback
    // window belongs inside the frame.
    if (rec->hwnd) PlaceInFrame(rec);
    GfxRedrawIfShown(rec, true);
    return r;
}

const ObjectOps kMovieOps = {
    .show = MovieShow,
    .hide = MovieHide,
    .destroy = MovieDestroy,
    .getValue = MovieGetValue,
    .setValue = MovieSetValue,
    .paint = MoviePaint,
    .getProp = MovieGetProp,
    .setProp = MovieSetProp,
};

// ---- Creation -----------------------------------------------------------------------------

// The clip's name: the creation Text, else the one the dialog gives (false when
// cancelled, or when the Text cannot be used as a name as given).
bool ClipName(ObjectCreateRecord* cr, HWND owner) {
    if (cr->text.text && cr->text.length) {
        // A name holding a NUL, cut there, would open another clip.
        if (!NameIsWhole(cr->text.text, cr->text.length, SIZE_MAX)) {
            DebugLogWrite("MovieCreate", "the clip's name holds a NUL: refused");
            return false;
        }
        uint32_t n = cr->text.length < kMaxClipName ? cr->text.length : kMaxClipName;
        CtlSetTextBuf(cr->text.text, n);
        return true;
    }
    if (!gMovieDialog(owner, kFileDialogVideo)) return false;
    CtlSetTextBuf(gFileDlgName, static_cast<uint32_t>(strlen(gFileDlgName)));
    return true;
}

bool OpenClip(MovieRecord* m, HWND parentWnd) {
    MCI_DGV_OPEN_PARMSA open = {};
    open.lpstrElementName = gTextBuf;
    open.dwStyle = WS_CHILD | WS_CLIPSIBLINGS;
    open.hWndParent = parentWnd;
    if (Mci(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_DGV_OPEN_PARENT | MCI_DGV_OPEN_WS | MCI_WAIT, &open)) return false;
    m->deviceId = open.wDeviceID;
    return true;
}

// The playback window is cut to the clip's size inside the object's frame.
void PlaceClip(MovieRecord* m) {
    ObjectRecord* rec = &m->hdr;
    MCI_DGV_RECT_PARMS where = {};
    Mci(m->deviceId, MCI_WHERE, MCI_DGV_WHERE_SOURCE | MCI_WAIT, &where);
    int32_t frame = FrameWidth(rec);
    RECT r = {rec->left + frame, rec->top + frame, rec->right - frame, rec->bottom - frame};
    // MCI_WHERE gives the source as origin and extent.
    int32_t clipW = where.rc.right, clipH = where.rc.bottom;
    if (clipW > 0 && r.right - r.left > clipW) r.right = r.left + clipW;
    if (clipH > 0 && r.bottom - r.top > clipH) r.bottom = r.top + clipH;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    MoveWindow(rec->hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    rec->left = r.left - frame, rec->top = r.top - frame;
    rec->right = r.right + frame, rec->bottom = r.bottom + frame;
}

// The movie among a container's children with that device, looking into panels.
MovieRecord* FindMovie(ObjectRecord* container, uint32_t deviceId, int depth) {
    if (!container || depth > kParentChainMax) return nullptr;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->kind == kKindMovie && AsMovie(c)->deviceId == deviceId) return AsMovie(c);
        if (c->kind == kKindPanel)
            if (MovieRecord* m = FindMovie(c, deviceId, depth + 1)) return m;
    }
    return nullptr;
}

void RealizeIn(ObjectRecord* container, int depth) {
    if (!container || depth > kParentChainMax) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!(c->flags & kObjShown) || ObjectIsWebView(c)) continue;
        if (c->kind == kKindMovie) MciPlain(AsMovie(c)->deviceId, MCI_REALIZE, MCI_DGV_REALIZE_NORM | MCI_WAIT);
        else if (c->kind == kKindPanel) RealizeIn(c, depth + 1);
    }
}

}  // namespace

void MovieSetFileDialog(MediaFileDialogFn fn) { gMovieDialog = fn ? fn : DefaultDialog; }

uint32_t MovieDeviceId(ObjectRecord* rec) { return rec && rec->kind == kKindMovie ? AsMovie(rec)->deviceId : 0; }

ObjectRecord* MovieCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // The media library is loaded first.
    *code = kOpNoMemory;
    if (!SysLibNeed(kSysLibMedia)) return nullptr;
    *code = kOpNoVideo;
    if (!VideoDeviceAvailable()) return nullptr;
    *code = kOpNoMemory;
    ObjectRecord* rec = ObjectAllocRecord(kKindMovie, sizeof(MovieRecord), false);
    if (!rec) return nullptr;
    MovieRecord* m = AsMovie(rec);
    ObjectRecord* parent = nullptr;
    auto fail = [&](int32_t why) -> ObjectRecord* {
        if (m->deviceId) MciPlain(m->deviceId, MCI_CLOSE, MCI_WAIT);
        rec->hwnd = nullptr;
        GfxFreeRecord(rec);
        *code = why;
        return nullptr;
    };
    if (!ObjectInitCommon(rec, cr, &parent)) return fail(kOpNoObject);
    if (!CopyCreateStrings(rec, cr)) return fail(kOpNoMemory);
    if ((rec->flags & kObj3D) && cr->bgColor.value == -1 && !cr->bgColor.object)
        rec->bgColor = parent == gMainWindowObj ? kMovieMainBgColor : kMovieSysBgColor;
    if (!ObjectSetRect(rec, cr->top, cr->height, cr->left, cr->width)) return fail(-4);
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    ConvertRectUnits(parent, &r, kToPixels);
    rec->left = r.left, rec->top = r.top, rec->right = r.right, rec->bottom = r.bottom;
    HWND parentWnd = GfxContainerWindow(rec);
    if (!parentWnd) return fail(kOpNoObject);
    // The dialog pumps; the parent may be gone when it returns.
    ObjectRef parentRef = ObjectRefOf(parent);
    if (!ClipName(cr, parentWnd)) return fail(kOpNoClip);
    if (!ObjectRefAlive(parentRef)) return fail(kOpNoObject);
    if (!OpenClip(m, parentWnd)) return fail(kOpNoClip);
    rec->hwnd = reinterpret_cast<HWND>(DeviceStatus(m->deviceId, MCI_DGV_STATUS_HWND));
    if (!rec->hwnd) return fail(kOpNoClip);
    SetWindowLongPtrA(rec->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    PlaceClip(m);
    WNDPROC old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(rec->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kMovieSubclassProc)));
    if (old != kMovieSubclassProc) gMciProc = old;
    LinkObject(rec);
    rec->flags &= ~kObjShown;
    if (cr->flags0 & kCrDisabled) EnableWindow(rec->hwnd, FALSE);
    ObjectSaveLayout(rec, 0);
    *code = 0;
    return CtlShowCreated(rec, cr, code);
}

void MovieOnNotify(HWND wnd, uint32_t deviceId) {
    // A movie inside a panel notifies the top window too: search its panels.
    MovieRecord* m = FindMovie(ObjectFromHwnd(wnd), deviceId, 0);
    if (!m) return;
    // The notice is posted when the clip ends and read at a later pump turn; a
    // pause or stop handled in between made the movie no longer playing, and
    // that later state stands: only a movie still playing is stopped here.
    if (m->playing) {
        m->playing = 0;
        m->paused = 0;
    }
    SeekToStart(m);
}

// An activated window's movies take their palettes back.
static void MovieWindowActivated(ObjectRecord* window, bool active) {
    if (active) RealizeIn(window, 0);
}

void MovieCloseAll() {
    if (gVideoDevice != kDeviceFound) return;
    // The clips are known by their file names; the device name is the check's.
    MCIDEVICEID id = mciGetDeviceIDA(kVideoDevice);
    if (id) MciPlain(id, MCI_CLOSE, MCI_WAIT);
    gVideoDevice = kDeviceUnchecked;
}

void MovieInstall() {
    RegisterObjectCreator(kTypeMovie, MovieCreate);
    RegisterObjectOps(kKindMovie, &kMovieOps);
    gGuiHooks.movieOnNotify = MovieOnNotify;
    WindowEventSubscribe(kWindowActivated, MovieWindowActivated);
}
