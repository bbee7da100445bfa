// webformpage.h - a form as a stand-alone web page: the page header with its
// scripts and style sheets, and every object's markup with panels holding
// their children.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "webview/core/webtext.h"

constexpr uint32_t kWebPageStreamRoom = 10240;   // one object's creation stream
constexpr uint32_t kWebPageMaxLevels = 29;        // panel nesting kept

// The objects of the form in table order (the window first).
struct WebPageSource {
    uint32_t count;
    uint32_t (*kind)(void* user, uint32_t index);
    // The table index of the object's parent (the window's children: 0);
    // -1 for the window itself.
    int32_t (*parent)(void* user, uint32_t index);
    // Fills cr with the object's current properties; false leaves it out.
    // Its texts may point into the source's storage, which stays as it is
    // until the next call.
    bool (*record)(void* user, uint32_t index, ObjectCreateRecord* cr);
    void* user;
};

// Builds the page into page (its old contents replaced), converted from the
// client character set to UTF-8 as the page declares. olderLibrary names the
// older jQuery. False when memory ran out.
bool FormWebPageBuild(const WebPageSource* src, bool olderLibrary, TextBuf* page);
