// weboptions.h - the process-wide option bytes the web-view objects read, each
// with its default. No server message or setting sets the first six: they keep
// these values for the whole run (tests change them to reach each branch).
// The theme colour and the style word are the server's run-time settings 400
// and 402, read from the client configuration.
#pragma once

#include <cstdint>

// Coordinates of every object in pixels, not character cells.
extern uint8_t gWebPixelOption;              // default 0
// Objects without an Appearance take the three-dimensional look.
extern uint8_t gWebThreeDOption;             // default 0
// Rectangles are taken unchecked (top below bottom not required) and windows do
// not move their anchored children.
extern uint8_t gWebUncheckedGeometry;        // default 0
// A GroupBox's "font-" styles set through SetWebStyle go to its label too.
extern uint8_t gWebClassStyling;             // default 0
// Bit 0: a Splitter's left edge is written at every layout.
extern uint8_t gWebSplitterOption;           // default 0
// Theme classes in the markup; the style sheet gives default colours and sizes.
extern uint8_t gWebThemeClasses;             // default 1
// Percentages for the geometry: 0 none, 1 left and width, 2 top as well.
extern uint8_t gWebPercentGeometry;          // default 0
// Byte 127 splits one text into several items of a combo box or data list
// (off, as the native lists never split a text).
extern uint8_t gWebMultiItemOption;          // default 0

// Bits of the web style option word (setting 402).
constexpr uint32_t kWebStyleGradient = 0x1;      // " bg-gradient" after a background class
constexpr uint32_t kWebStyleThemedProgress = 0x2;

// The default theme colour 1-8 (setting 400), 0 when none.
uint32_t WebDefaultThemeColor();
// The web style option word (setting 402).
uint32_t WebStyleOptions();
// Back to the defaults above (tests).
void WebOptionsReset();
