// mediastartup.h - the one start-up of the window layer and the kinds that
// every media test suite of this program shares (the main window is made once).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "objects/guihooks.h"

inline void MediaTestStartup() {
    static bool started;
    if (started) return;
    started = true;
    GuiInstallHooks();
    ControlsInstall();
    GraphicsInstall();
    RuntimeStartup();
    ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
}
