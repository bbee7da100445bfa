// testdoc.h - the embeddable test document class of the test server.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

// QovTest.Document.
inline const CLSID kClsidTestDocument = {0x5C0E7A28, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
// QovTest.Browse: a class that only its type library describes (the browser's test material).
inline const CLSID kClsidTestBrowse = {0x5C0E7A30, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};

// QovTest.Page: a property page with one static text.
inline const CLSID kClsidTestPage = {0x5C0E7A29, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};

// A new document, a new page (one reference each).
IUnknown* TestDocumentCreate();
IUnknown* TestPageCreate();
