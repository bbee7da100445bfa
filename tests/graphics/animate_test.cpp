// animate_test.cpp - the Animate kind under Wine with a generated clip: the
// style bits of its creation values and properties, Open, Play and Stop with
// their results, the start and stop it reports, and the temporary copy of a
// served clip that a failed fetch must not leave behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "graphics/media.h"
#include "mediafiles.h"
#include "mediastartup.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "session/proto/protocol.h"
#include "session/proto/records.h"
#include "session/session.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

namespace {

constexpr uint32_t kPidBackStyleId = 51, kPidAlignmentId = 1, kPidCenterId = 267, kPidAutoPlayId = 268;

std::string TempDir() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return dir;
}

// The "QOV" temporary files in the temporary folder.
int CountTempFiles() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((TempDir() + "QOV*.tmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

class AnimateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        MediaTestStartup();
        clip_ = TempDir() + "qov-animate-test.avi";
        ASSERT_TRUE(mediafiles::WriteFile(
            clip_, mediafiles::AviBytes(32, 24, 16, {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 0, 255}})));
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
        Drain();
    }
    void TearDown() override {
        ObjectDestroy(win_);
        Drain();
    }
    ObjectRecord* Make(std::initializer_list<std::pair<uint32_t, int32_t>> values = {}, bool border = false) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = 10, cr_.width = 60, cr_.height = 50;
        cr_.flags0 |= kCrVisible;
        if (border) cr_.flags1 |= kCr1Border;
        for (const auto& v : values) {
            cr_.values[v.first] = v.second;
            cr_.given[v.first] = 1;
        }
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypeAnimate, &cr_, &code);
        EXPECT_NE(nullptr, rec) << code;
        return rec;
    }
    static int32_t Call(ObjectRecord* rec, uint32_t method, std::initializer_list<int32_t> args,
                        const char* textArg = nullptr) {
        return InvokeWithArgs(rec, kTypeAnimate, method, textArg, args);
    }
    static void Pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    static bool Take(uint32_t* eventId, int32_t* value) {
        EventRecord ev = {};
        EventItem items[kEventRegItems];
        uint32_t n = 0;
        if (!EventTakeNext(&ev, items, &n)) return false;
        *eventId = static_cast<uint32_t>(ev.eventId);
        *value = ev.value;
        return true;
    }
    static void Drain() {
        uint32_t id;
        int32_t v;
        while (Take(&id, &v)) {
        }
    }
    // Pumps until an event is queued; its id and value.
    static bool WaitEvent(uint32_t* eventId, int32_t* value) {
        return WaitUntil([&] {
            Pump();
            return Take(eventId, value);
        });
    }

    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    static std::string clip_;
};
std::string AnimateTest::clip_;

TEST_F(AnimateTest, CreationValuesGiveTheStyleBits) {
    struct Row {
        const char* why;
        std::initializer_list<std::pair<uint32_t, int32_t>> values;
        DWORD set, clear;
        uint32_t backStyle;
    } rows[] = {
        {"defaults", {}, 0, ACS_TRANSPARENT | ACS_CENTER | ACS_AUTOPLAY, 1},
        {"transparent", {{kPidBackStyleId, 2}}, ACS_TRANSPARENT, ACS_CENTER | ACS_AUTOPLAY, 2},
        {"opaque", {{kPidBackStyleId, 1}}, 0, ACS_TRANSPARENT, 1},
        {"centred", {{kPidAlignmentId, 1}}, ACS_CENTER, ACS_TRANSPARENT, 1},
        {"another alignment", {{kPidAlignmentId, 2}}, 0, ACS_CENTER, 1},
        {"auto play", {{kPidAutoPlayId, 1}}, ACS_AUTOPLAY, ACS_CENTER, 1},
    };
    for (const Row& r : rows) {
        ObjectRecord* a = Make(r.values);
        ASSERT_NE(nullptr, a) << r.why;
        char cls[32] = {};
        GetClassNameA(a->hwnd, cls, sizeof cls);
        EXPECT_STREQ("SysAnimate32", cls) << r.why;
        DWORD style = static_cast<DWORD>(GetWindowLongA(a->hwnd, GWL_STYLE));
        EXPECT_EQ(r.set, style & r.set) << r.why;
        EXPECT_EQ(0u, style & r.clear) << r.why;
        EXPECT_EQ(r.backStyle, ObjectOpsOf(a)->getProp(a, kPidBackStyleId)) << r.why;
        ObjectDestroy(a);
    }
}

TEST_F(AnimateTest, BorderAtCreationFollowsTheClientsThreeDimensionalOption) {
    struct Row { bool border; int32_t appearance; uint8_t option; bool plain, sunken; const char* why; };
    const Row rows[] = {
        {false, 1, 1, false, false, "no border"},
        {true, 2, 1, true, false, "a flat border"},
        {true, 1, 0, true, false, "3-D without the client's option: a plain border"},
        {true, 1, 1, true, true, "3-D with the option: the sunken edge as well"},
    };
    for (const Row& r : rows) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.left = 10, cr_.top = 10, cr_.width = 60, cr_.height = 50;
        if (r.border) cr_.flags1 |= kCr1Border;
        cr_.appearance = r.appearance;
        int32_t code = 0;
        ObjectRecord* a;
        {
            ScopedSet<uint8_t> option(gGuiOption3D, r.option);
            a = ObjectCreate(kTypeAnimate, &cr_, &code);
        }
        ASSERT_NE(nullptr, a) << r.why << " " << code;
        EXPECT_EQ(r.plain, (GetWindowLongA(a->hwnd, GWL_STYLE) & WS_BORDER) != 0) << r.why;
        EXPECT_EQ(r.sunken, (GetWindowLongA(a->hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) << r.why;
        ObjectDestroy(a);
    }
}

TEST_F(AnimateTest, PropertiesChangeTheStyleBits) {
    ObjectRecord* a = Make();
    ASSERT_NE(nullptr, a);
    struct Row {
        const char* why;
        uint32_t id;
        int32_t value;
        DWORD bit;
        bool on;
        uint32_t readBack;
    } rows[] = {
        {"transparent", kPidBackStyleId, 2, ACS_TRANSPARENT, true, 2},
        {"a BackStyle of 3 is refused", kPidBackStyleId, 3, ACS_TRANSPARENT, true, 2},
        {"opaque", kPidBackStyleId, 1, ACS_TRANSPARENT, false, 1},
        {"centre", kPidCenterId, 1, ACS_CENTER, true, 1},
        {"centre off", kPidCenterId, 0, ACS_CENTER, false, 0},
        {"auto play", kPidAutoPlayId, 1, ACS_AUTOPLAY, true, 1},
        {"auto play off", kPidAutoPlayId, 0, ACS_AUTOPLAY, false, 0},
    };
    for (const Row& r : rows) {
        PropChange req = {};
        req.id = r.id;
        req.value = r.value;
        EXPECT_EQ(0, ObjectOpsOf(a)->setProp(a, &req)) << r.why;
        DWORD style = static_cast<DWORD>(GetWindowLongA(a->hwnd, GWL_STYLE));
        EXPECT_EQ(r.on, (style & r.bit) != 0) << r.why;
        EXPECT_EQ(r.readBack, ObjectOpsOf(a)->getProp(a, r.id)) << r.why;
    }
    ObjectDestroy(a);
}

TEST_F(AnimateTest, OpenAnswersByFile) {
    ObjectRecord* a = Make();
    ASSERT_NE(nullptr, a);
    struct Row {
        const char* why;
        std::string name;
        int32_t result;
    };
    const std::string dir = TempDir();
    const Row rows[] = {
        {"a client clip", "!" + clip_, 0},
        {"a missing client clip", "!" + dir + "qov-no-such.avi", 1},
        {"no name", "", 1},
    };
    for (const Row& r : rows) EXPECT_EQ(r.result, Call(a, 2, {}, r.name.c_str())) << r.why;
    EXPECT_EQ(-37, Call(a, 9, {})) << "an unknown method";
    ObjectDestroy(a);
}

TEST_F(AnimateTest, PlayReportsStartAndStopAndRepeatsUntilStopped) {
    ObjectRecord* a = Make();
    ASSERT_NE(nullptr, a);
    const int32_t none[4] = {};
    ASSERT_EQ(0, EventRegister(a, kEvChange, none, false, nullptr, 0));
    ASSERT_EQ(0, Call(a, 2, {}, ("!" + clip_).c_str()));
    Drain();
    // Once through: a start, then a stop of its own.
    EXPECT_EQ(0, Call(a, 3, {0, -1, 1}));
    uint32_t id = 0;
    int32_t v = -1;
    ASSERT_TRUE(WaitEvent(&id, &v));
    EXPECT_EQ(static_cast<uint32_t>(kEvChange), id);
    EXPECT_EQ(1, v);
    ASSERT_TRUE(WaitEvent(&id, &v)) << "a single play ends by itself";
    EXPECT_EQ(0, v);
    // Without arguments it repeats: no stop comes until Stop.
    EXPECT_EQ(0, Call(a, 3, {}));
    ASSERT_TRUE(WaitEvent(&id, &v));
    EXPECT_EQ(1, v);
    DWORD start = GetTickCount();
    bool stopped = false;
    // That the clip does not stop by itself shows only over a time: this wait
    // (three times the clip's length) is what is checked.
    while (GetTickCount() - start < 1500 && !stopped) {
        Pump();
        stopped = Take(&id, &v);
        Sleep(10);
    }
    EXPECT_FALSE(stopped) << "a play without arguments stopped by itself";
    EXPECT_EQ(0, Call(a, 4, {}));
    ASSERT_TRUE(WaitEvent(&id, &v));
    EXPECT_EQ(0, v);
    EXPECT_EQ(1, Call(a, 1, {})) << "Close answers ACM_OPEN's result";
    ObjectDestroy(a);
}

// Without a server the fetch fails: the temporary file made for it goes too.
TEST_F(AnimateTest, FailedFetchLeavesNoTemporaryFile) {
    ObjectRecord* a = Make();
    ASSERT_NE(nullptr, a);
    int before = CountTempFiles();
    for (const char* name : {"clip.avi", "?clip.avi", "*clip.avi"}) {
        EXPECT_EQ(1, Call(a, 2, {}, name)) << name;
        EXPECT_EQ(nullptr, AnimateTempFile(a)) << name;
        EXPECT_EQ(before, CountTempFiles()) << name;
    }
    ObjectDestroy(a);
}

}  // namespace
