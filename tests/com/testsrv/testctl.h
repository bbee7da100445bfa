// testctl.h - the test ActiveX control classes of the test server.
#pragma once

#include <windows.h>
#include <ole2.h>

// ProgIDs QovTest.Control (stream persisted; ACTIVATEWHENVISIBLE,
// SETCLIENTSITEFIRST, RECOMPOSEONRESIZE), QovTest.ButtonCtl (storage
// persisted; ACTSLIKEBUTTON), QovTest.Invisible (INVISIBLEATRUNTIME),
// QovTest.NoUi (NOUIACTIVATE, ALWAYSRUN), QovTest.LabelCtl (ACTSLIKELABEL)
// and QovTest.Iconic (ONLYICONIC).
extern const CLSID kClsidTestControl;
extern const CLSID kClsidTestButton;
extern const CLSID kClsidTestInvisible;
extern const CLSID kClsidTestNoUi;
extern const CLSID kClsidTestLabel;
extern const CLSID kClsidTestIconic;
extern HMODULE gTestModule;

// A new control of the class (one reference), or null for another class.
IUnknown* TestControlCreate(REFCLSID clsid);
