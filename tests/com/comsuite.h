// comsuite.h - the fixture the suites on the test COM server share: the
// server registered (QOV_TESTSRV), the runtime started with the controls, the
// drawing kinds, OLE start-up through the COM objects and the main window once
// per run; for each test the modes cleared and a normal window, activated;
// after it every window the test made destroyed, the queued events dropped,
// the modes cleared and the messages left pumped.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "com/comobjects.h"
#include "com/olecontainer.h"
#include "graphics/graphics.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"
#include "tests/com/testsrvreg.h"
#include "tests/gui/testwindow.h"

constexpr int32_t kComWindowLeft = 20, kComWindowTop = 20;

class ComSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (started) return;
        started = true;
        registered_ = RegisterServer();
        StartTestRuntime([] {
            GraphicsInstall();
            gGuiHooks.oleInit = ComOleInit;
            gGuiHooks.oleUninit = ComOleUninit;
            ComObjectsInstall();
        });
    }
    void SetUp() override {
        ASSERT_TRUE(registered_) << "regsvr32 could not register the test server (QOV_TESTSRV)";
        ClearModes();
        win_ = MakeWindow();
        ASSERT_NE(nullptr, win_);
    }
    void TearDown() override {
        for (ObjectRecord* w : windows_)
            if (ObjectIsLive(w)) ObjectDestroy(w);
        windows_.clear();
        win_ = nullptr;
        EventCleanup();
        ClearModes();
        Pump();
    }
    // Another normal window of the suite's size, activated and destroyed
    // after the test; null when it cannot be made.
    ObjectRecord* MakeWindow() {
        ObjectRecord* w = MakeTestWindow(&windowCr_, kComWindowLeft, kComWindowTop, nullptr, windowWidth_,
                                         windowHeight_);
        if (!w) return nullptr;
        Pump();
        windows_.push_back(w);
        return w;
    }
    static void ClearModes() {
        gDesignMode = 0;
        gClientModeFlags = 0;
        gAllWindowsDisabled = false;
    }
    inline static bool registered_ = false;
    ObjectRecord* win_ = nullptr;
    // The size of the windows the suite makes; a suite may set its own.
    int32_t windowWidth_ = kTestWindowWidth, windowHeight_ = kTestWindowHeight;

private:
    ObjectCreateRecord windowCr_;
    std::vector<ObjectRecord*> windows_;
};
