// fakeribbon.h - a stand-in for the Windows Ribbon framework, for the ribbon
// host's tests: it records every call made to it, keeps command properties in
// memory, reads the commands of a markup resource in a small format of the
// tests' own, and lets a test (or a message posted to its hidden window) drive
// the host the way the framework would.
//
// Markup resource (RCDATA, named as RibName): a 32-bit count, then that many
// pairs of 32-bit command id and command type.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "com/ribbonapi.h"

// Posted to the hidden window: wParam is the command id to execute.
constexpr UINT kFakeExecuteMsg = WM_APP + 1;
// Posted to the hidden window: wParam is the view's new height, then SIZE.
constexpr UINT kFakeResizeMsg = WM_APP + 2;
// Posted to the hidden window: the framework creates command wParam of type lParam.
constexpr UINT kFakeCreateCommandMsg = WM_APP + 3;
extern const char kFakeWindowTitle[];   // "Qov fake ribbon"

// What the fake saw and what it will answer; reset by FakeReset.
struct FakeState {
    std::vector<std::string> calls;       // one line per call, e.g. "LoadUI QOVRIB"
    UINT32 viewHeight = 146;              // what IUIRibbon::GetHeight answers
    LONG viewRefs = 0;                    // the live view's reference count
    LONG liveViews = 0;
    LONG liveFrameworks = 0;
    HRESULT loadResult = S_OK;            // LoadUI fails with this when it is a failure
    // Values UpdateProperty gave during flushes and command creation, by
    // (command id, property index); the last one wins.
    std::map<std::pair<uint32_t, uint32_t>, PROPVARIANT> updates;
};
extern FakeState gFake;

void FakeReset();
// Whether a call line was recorded (exact match).
bool FakeCalled(const std::string& line);
// The class object under CLSID_UIRibbonFramework.
IClassFactory* FakeClassFactory();

// Drive the latest framework.
IUICommandHandler* FakeHandler(uint32_t commandId);
HRESULT FakeExecute(uint32_t commandId, int32_t verb, const PROPERTYKEY* key, const PROPVARIANT* value,
                    IUISimplePropertySet* props);
// Sets the view's height and tells the application (SIZE).
HRESULT FakeResizeView(UINT32 height);
HRESULT FakeDestroyView();
// Creates a command the way the framework does when a tab first shows it: the
// handler is asked for, then its labels, tooltips and recent items.
HRESULT FakeCreateCommand(uint32_t commandId, int32_t type);
// A value the framework answers for a command property.
void FakeSetCommandValue(uint32_t commandId, uint32_t index, const PROPVARIANT& value);
// The font store the framework hands a font command's UpdateProperty.
IPropertyStore* FakeFontStore(uint32_t commandId);
// The value UpdateProperty last gave, or null.
const PROPVARIANT* FakeUpdate(uint32_t commandId, uint32_t index);
std::wstring FakeUpdateText(uint32_t commandId, uint32_t index);
IPropertyStore* FakeFrameworkStore();
// The application the latest framework was initialised with.
IUIApplication* FakeApplication();
IPropertyStore* FakeViewStore();
