// weboptions.cpp - the option bytes of the web-view objects with their
// defaults, and the two server settings they read from the configuration.
#include "webview/core/weboptions.h"

#include "session/config.h"

uint8_t gWebPixelOption = 0;
uint8_t gWebThreeDOption = 0;
uint8_t gWebUncheckedGeometry = 0;
uint8_t gWebClassStyling = 0;
uint8_t gWebSplitterOption = 0;
uint8_t gWebThemeClasses = 1;
uint8_t gWebPercentGeometry = 0;
uint8_t gWebMultiItemOption = 0;

static uint32_t RuntimeSetting(int code) {
    return static_cast<uint32_t>(gClientConfig.runtime[code - kFirstRuntimeSetting]);
}

uint32_t WebDefaultThemeColor() { return RuntimeSetting(kSetThemeColor); }

uint32_t WebStyleOptions() { return RuntimeSetting(kSetWebStyle); }

void WebOptionsReset() {
    gWebPixelOption = 0;
    gWebThreeDOption = 0;
    gWebUncheckedGeometry = 0;
    gWebClassStyling = 0;
    gWebSplitterOption = 0;
    gWebThemeClasses = 1;
    gWebPercentGeometry = 0;
    gWebMultiItemOption = 0;
}
