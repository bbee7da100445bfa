// movie_test.cpp - the Movie kind under Wine with a generated clip: the
// playback window in its parent cut to the clip, play, pause and stop, the
// end of play that MCI notifies (also for a movie inside a panel, and a pause
// that comes after the end), a paused clip played again at once, the user's
// clicks, and the clip names that open nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>
#include <tlhelp32.h>

#include <string>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "graphics/media.h"
#include "mediafiles.h"
#include "mediastartup.h"
#include "objects/crstream.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "tests/testutil.h"

namespace {

constexpr int32_t kClipW = 32, kClipH = 24;
constexpr uint32_t kFrames = 8, kFps = 16;   // half a second

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

bool gDialogAnswer;
int gDialogKind = -1;
bool FakeDialog(HWND, int kind) {
    gDialogKind = kind;
    return gDialogAnswer;
}

class MovieTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        MediaTestStartup();
        clip_ = TempPath("qov-movie-test.avi");
        std::vector<mediafiles::Rgb> colors;
        for (uint32_t i = 0; i < kFrames; ++i) colors.push_back({255, static_cast<uint8_t>(i * 30), 0});
        ASSERT_TRUE(mediafiles::WriteFile(clip_, mediafiles::AviBytes(kClipW, kClipH, kFps, colors)));
    }
    static void TearDownTestSuite() { DeleteFileA(clip_.c_str()); }
    void SetUp() override {
        CreateRecordReset(&cr_);
        cr_.winType = kWinNormal;
        cr_.width = 400, cr_.height = 300, cr_.right = 400, cr_.bottom = 300;
        cr_.units = kUnitsPixels;
        int32_t code = 0;
        win_ = WindowObjectCreate(nullptr, &cr_, &code);
        ASSERT_NE(nullptr, win_) << code;
        ObjectActivate(win_, 0, 0, 0, 0);
    }
    void TearDown() override {
        MovieSetFileDialog(nullptr);
        ObjectDestroy(win_);
    }
    void Begin(ObjectRecord* parent, int32_t left, int32_t top, int32_t width, int32_t height) {
        CreateRecordReset(&cr_);
        cr_.windowRec = parent;
        cr_.left = left, cr_.top = top, cr_.width = width, cr_.height = height;
        cr_.flags0 |= kCrVisible;
    }
    void Text(const std::string& text) {
        text_ = text;
        cr_.text.text = text_.c_str();
        cr_.text.length = static_cast<uint32_t>(text_.size());
    }
    ObjectRecord* MakeMovie(ObjectRecord* parent, int32_t* code = nullptr) {
        Begin(parent, 10, 10, 100, 80);
        Text(clip_);
        int32_t c = 0;
        ObjectRecord* rec = ObjectCreate(kTypeMovie, &cr_, &c);
        if (code) *code = c;
        return rec;
    }
    static int32_t Get(ObjectRecord* rec) {
        int32_t v = -99;
        EXPECT_EQ(0, ObjectGetValue(rec, 1, &v));
        return v;
    }
    static void Set(ObjectRecord* rec, int32_t v) { ObjectSetValue(rec, 1, v); }
    // Pumps until the movie is no longer playing (its end was notified).
    static bool WaitForEnd(ObjectRecord* rec) {
        return WaitUntil([&] { return Get(rec) == 0; });
    }
    static bool EndNoticeQueued() {
        MSG m;
        return PeekMessageA(&m, nullptr, MM_MCINOTIFY, MM_MCINOTIFY, PM_NOREMOVE) != 0;
    }
    // A pump turn that dispatches every message but MCI's notices, which stay
    // queued as they would behind a server message the client works on.
    static void PumpHoldingNotices() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, MM_MCINOTIFY - 1, PM_REMOVE) ||
               PeekMessageA(&m, nullptr, MM_MCINOTIFY + 1, 0xFFFFFFFF, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(kWaitPollMs);
    }
    static DWORD Position(ObjectRecord* rec) {
        MCI_STATUS_PARMS st = {};
        st.dwItem = MCI_STATUS_POSITION;
        mciSendCommandA(MovieDeviceId(rec), MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&st));
        return static_cast<DWORD>(st.dwReturn);
    }
    static RECT ChildRect(HWND wnd) {
        RECT r;
        GetWindowRect(wnd, &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    std::string text_;
    static std::string clip_;
};
std::string MovieTest::clip_;

TEST_F(MovieTest, PlaybackWindowIsCutToTheClipInsideTheFrame) {
    struct Row {
        const char* why;
        bool border;
        int32_t appearance;
        int32_t frame;
    } rows[] = {
        {"no border", false, 2, 0},
        {"a flat border", true, 2, 1},
        {"a 3-D border", true, 1, 5},
    };
    for (const Row& r : rows) {
        Begin(win_, 10, 10, 100, 80);
        Text(clip_);
        if (r.border) cr_.flags1 |= kCr1Border;
        cr_.appearance = r.appearance;
        int32_t code = 0;
        ObjectRecord* m = ObjectCreate(kTypeMovie, &cr_, &code);
        ASSERT_NE(nullptr, m) << r.why << " code " << code;
        EXPECT_EQ(win_->hwnd, GetParent(m->hwnd)) << r.why;
        EXPECT_TRUE(GetWindowLongA(m->hwnd, GWL_STYLE) & WS_CHILD) << r.why;
        RECT w = ChildRect(m->hwnd);
        EXPECT_EQ(10 + r.frame, w.left) << r.why;
        EXPECT_EQ(10 + r.frame, w.top) << r.why;
        EXPECT_EQ(kClipW, w.right - w.left) << r.why;
        EXPECT_EQ(kClipH, w.bottom - w.top) << r.why;
        EXPECT_EQ(kClipW + 2 * r.frame, m->right - m->left) << r.why;
        EXPECT_EQ(kClipH + 2 * r.frame, m->bottom - m->top) << r.why;
        EXPECT_TRUE(IsWindowVisible(m->hwnd)) << r.why;
        // Moved and sized by the common properties, it stays inside its frame.
        const uint32_t kMoves[][2] = {{18, 40}, {31, 30}, {35, 90}, {15, 70}};
        for (const auto& mv : kMoves) {
            PropChange req = {};
            req.id = mv[0];
            req.value = int32_t(mv[1]);
            EXPECT_EQ(0, ObjectOpsOf(m)->setProp(m, &req)) << r.why;
            w = ChildRect(m->hwnd);
            EXPECT_EQ(m->left + r.frame, w.left) << r.why << ", property " << mv[0];
            EXPECT_EQ(m->top + r.frame, w.top) << r.why << ", property " << mv[0];
            EXPECT_EQ(m->right - r.frame, w.right) << r.why << ", property " << mv[0];
            EXPECT_EQ(m->bottom - r.frame, w.bottom) << r.why << ", property " << mv[0];
        }
        ObjectDestroy(m);
    }
}

TEST_F(MovieTest, PlaysToItsEndAndRewinds) {
    ObjectRecord* m = MakeMovie(win_);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0, Get(m));
    Set(m, 1);
    EXPECT_EQ(1, Get(m));
    ASSERT_TRUE(WaitForEnd(m)) << "the end was never notified";
    EXPECT_EQ(0u, Position(m));
    Set(m, 1);
    EXPECT_EQ(1, Get(m)) << "plays again after its end";
    ObjectDestroy(m);
}

// MCI notifies the top window; the movie lives in a panel of it.
TEST_F(MovieTest, MovieInsideAPanelHearsItsEnd) {
    Begin(win_, 20, 20, 200, 150);
    int32_t code = 0;
    ObjectRecord* panel = ObjectCreate(kTypePanel, &cr_, &code);
    ASSERT_NE(nullptr, panel);
    ObjectRecord* m = MakeMovie(panel);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(panel->hwnd, GetParent(m->hwnd));
    Set(m, 1);
    ASSERT_TRUE(WaitForEnd(m)) << "a movie in a panel stayed playing";
    EXPECT_EQ(0u, Position(m));
    Set(m, 1);
    EXPECT_EQ(1, Get(m));
    ObjectDestroy(m);
}

// The end of play is posted by MCI and read at a later pump turn. A pause
// that the client handles in between, while the movie still counts as
// playing, stands: the late notice rewinds the clip but does not undo the
// pause. A pause asked after the notice was read finds a stopped movie and
// does nothing.
TEST_F(MovieTest, PauseAfterTheEnd) {
    ObjectRecord* m = MakeMovie(win_);
    ASSERT_NE(nullptr, m);
    Set(m, 1);
    ASSERT_TRUE(WaitUntil(EndNoticeQueued, kWaitDeadlineMs, PumpHoldingNotices)) << "the end was never notified";
    EXPECT_EQ(1, Get(m)) << "playing until the notice is read";
    Set(m, 2);
    EXPECT_EQ(2, Get(m)) << "paused before the notice is read";
    ASSERT_TRUE(WaitUntil([] { return !EndNoticeQueued(); })) << "the notice was never dispatched";
    EXPECT_EQ(2, Get(m)) << "the late notice leaves the pause";
    EXPECT_EQ(0u, Position(m)) << "and rewinds the clip";
    Set(m, 1);
    EXPECT_EQ(1, Get(m)) << "a paused movie plays again";
    ASSERT_TRUE(WaitForEnd(m));
    Set(m, 2);
    EXPECT_EQ(0, Get(m)) << "a pause after the notice finds the movie stopped";
    Set(m, 1);
    EXPECT_EQ(1, Get(m)) << "and it plays from there";
    ObjectDestroy(m);
}

TEST_F(MovieTest, ValueChangesByState) {
    ObjectRecord* m = MakeMovie(win_);
    ASSERT_NE(nullptr, m);
    struct Step {
        const char* why;
        int32_t set;
        int32_t expect;
    } steps[] = {
        {"pause while stopped does nothing", 2, 0},
        {"play", 1, 1},
        {"play while playing stays playing", 1, 1},
        {"pause", 2, 2},
        {"pause while paused stays paused", 2, 2},
        {"stop a paused movie", 0, 0},
        {"play again", 1, 1},
        {"stop a playing movie", 0, 0},
        {"an unknown value changes nothing", 7, 0},
    };
    for (const Step& s : steps) {
        Set(m, s.set);
        EXPECT_EQ(s.expect, Get(m)) << s.why;
        if (s.set == 0) {
            EXPECT_EQ(0u, Position(m)) << s.why;
        }
    }
    int32_t v = -1;
    EXPECT_EQ(0, ObjectGetValue(m, 2, &v));
    EXPECT_EQ(0, v) << "another which answers 0";
    ObjectDestroy(m);
}

TEST_F(MovieTest, ClicksPlayPauseAndStop) {
    ObjectRecord* m = MakeMovie(win_);
    ASSERT_NE(nullptr, m);
    SendMessageA(m->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(m->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(1, Get(m)) << "a left click plays";
    SendMessageA(m->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(2, Get(m)) << "a left click pauses";
    SendMessageA(m->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(1, Get(m)) << "and plays on";
    SendMessageA(m->hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(0, Get(m)) << "a right click stops";
    EXPECT_EQ(0u, Position(m));
    ObjectDestroy(m);
}

// The threads of this process (the video driver plays each clip on one).
int ThreadsOfThisProcess() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snap);
    return count;
}

// Played again before the paused play has seen its pause, the clip goes on in
// that one play: a second play of the same device was freed under its thread
// when the device closed. The clip is slow (the play looks at the pause once a
// frame), so the second play comes well inside the frame the first one shows.
TEST_F(MovieTest, PausedAndPlayedAgainPlaysOnOnce) {
    constexpr uint32_t kSlowFps = 2, kSlowFrames = 3;
    std::string slow = TempPath("qov-movie-slow.avi");
    std::vector<mediafiles::Rgb> colors(kSlowFrames, mediafiles::Rgb{0, 0, 255});
    ASSERT_TRUE(mediafiles::WriteFile(slow, mediafiles::AviBytes(kClipW, kClipH, kSlowFps, colors)));
    Begin(win_, 10, 10, 100, 80);
    Text(slow);
    int32_t code = 0;
    ObjectRecord* m = ObjectCreate(kTypeMovie, &cr_, &code);
    ASSERT_NE(nullptr, m) << code;
    Set(m, 1);
    // Its first frame shown, the play waits out the frame's time.
    ASSERT_TRUE(WaitUntil([&] { return Position(m) >= 1; })) << "the play never began";
    int playing = ThreadsOfThisProcess();
    Set(m, 2);
    EXPECT_EQ(2, Get(m));
    Set(m, 1);
    EXPECT_EQ(1, Get(m)) << "played again";
    EXPECT_EQ(playing, ThreadsOfThisProcess()) << "one play of the clip, not two";
    EXPECT_TRUE(WaitForEnd(m)) << "the first play's end is notified";
    ObjectDestroy(m);
    DeleteFileA(slow.c_str());
}

TEST_F(MovieTest, ClipsThatDoNotOpenAnswerMinusTwo) {
    MovieSetFileDialog(FakeDialog);
    struct Row {
        const char* why;
        std::string text;
        bool dialogAnswer;
        int expectKind;
    } rows[] = {
        {"a missing file", TempPath("qov-no-such.avi"), false, -1},
        {"a file that is no clip", TempPath("qov-movie-test.txt"), false, -1},
        {"a cancelled dialog", "", false, kFileDialogVideo},
    };
    mediafiles::WriteFile(rows[1].text, {'n', 'o', 't', ' ', 'a', 'v', 'i'});
    for (const Row& r : rows) {
        gDialogKind = -1;
        gDialogAnswer = r.dialogAnswer;
        Begin(win_, 10, 10, 100, 80);
        Text(r.text);
        int32_t code = 0;
        EXPECT_EQ(nullptr, ObjectCreate(kTypeMovie, &cr_, &code)) << r.why;
        EXPECT_EQ(-2, code) << r.why;
        EXPECT_EQ(r.expectKind, gDialogKind) << r.why;
    }
    DeleteFileA(rows[1].text.c_str());
    EXPECT_EQ(nullptr, win_->children) << "nothing was linked";
}

TEST_F(MovieTest, DialogChoosesTheClip) {
    MovieSetFileDialog([](HWND, int) {
        snprintf(gFileDlgName, sizeof gFileDlgName, "%s", clip_.c_str());
        return true;
    });
    Begin(win_, 10, 10, 100, 80);
    int32_t code = 0;
    ObjectRecord* m = ObjectCreate(kTypeMovie, &cr_, &code);
    ASSERT_NE(nullptr, m) << code;
    ObjectDestroy(m);
}

}  // namespace

namespace {

// The shut-down closes the device the check keeps open, the driver staying
// loaded; a later movie opens it anew.
TEST_F(MovieTest, CloseAllClosesTheDeviceAndALaterMovieStillOpens) {
    ObjectRecord* m = MakeMovie(win_);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0u, mciGetDeviceIDA(clip_.c_str()) == MovieDeviceId(m) ? 0u : 1u) << "a clip is known by its file";
    ObjectDestroy(m);
    EXPECT_NE(0u, mciGetDeviceIDA("avivideo"));
    MovieCloseAll();
    EXPECT_EQ(0u, mciGetDeviceIDA("avivideo"));
    // Unloaded, Wine's driver left state behind that the next thread crashed
    // on (about one run in four), after the open below loaded it anew.
    EXPECT_NE(nullptr, GetModuleHandleA("mciavi32.dll")) << "the video driver stays loaded";
    m = MakeMovie(win_);
    ASSERT_NE(nullptr, m);
    Set(m, 1);
    EXPECT_EQ(1, Get(m));
    ObjectDestroy(m);
}

}  // namespace
