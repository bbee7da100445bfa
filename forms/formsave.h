// formsave.h - saving a window as a form file (QOF or XML), converting an
// XML form file to a QOF file, the XML output of a load, and the one safe way
// form files reach the disk.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "objects/objrecord.h"

struct FormFileContext;

// Save options.
enum FormSaveOption : uint32_t {
    kFormSaveXmlObjects = 0x1,
    kFormSaveTypeOne = 0x2,
    kFormSaveDoNotCache = 0x4,
    kFormSaveRequires96 = 0x8,
    kFormSaveWebPage = 0x10,
    kFormSaveOldScripts = 0x20,
    kFormSaveWebForm = 0x40,
    kFormSaveXmlFull = 0x80,
    kFormSaveUtf8 = 0x200,
};
// Results of FormSaveQof besides 0 and the server's result of sending the file.
enum FormSaveResult : int32_t {
    kFormSaveNamePrep = 200,
    kFormSaveNoMemory = 201,
    kFormSaveCantCreate = 202,
    kFormSaveWriteFailed = 203,
    kFormSaveCodeFile = 205,
    kFormSaveTooMany = 206,
    kFormSaveLeftOut = 207,          // saved with objects or menus left out
    kFormSaveBadEvents = 208,
};
// Results of FormConvertXmlToQof besides 0, 201, 203 and the reader's codes.
enum FormConvertResult : uint32_t {
    kFormConvNameUnresolved = 301,
    kFormConvServerName = 302,
    kFormConvNoContext = 303,
    kFormConvOutputPrep = 310,
    kFormConvCantCreate = 311,
};

// What a save asks of the bars and panels of either mode: the sub-objects
// of status bars and tool bars, and whether a Panel has SetWinFlag1's bit 6
// (such a panel is left out of a save even while flagged objects are kept).
// Filled at start-up.
struct FormSubObjectHooks {
    uint32_t (*statusPanelCount)(ObjectRecord* bar);
    ObjectRecord* (*statusPanelAt)(ObjectRecord* bar, uint32_t index);
    uint32_t (*toolButtonCount)(ObjectRecord* bar);
    ObjectRecord* (*toolButtonAt)(ObjectRecord* bar, uint32_t index);
    bool (*panelWinFlag1)(ObjectRecord* panel);
};
extern FormSubObjectHooks gFormSubObjectHooks;
// The write of form file bytes (WriteFile unless replaced; tests replace it
// to make a write fail part-way, as a full disk would).
struct FormSaveFileHooks {
    BOOL (*write)(HANDLE file, const void* data, DWORD size, DWORD* written);
    // The OLE area of a window's Containers and Controls as bytes (GuardedAlloc,
    // the caller frees; none when the window holds none); false when saving
    // them failed. Filled by the OLE container.
    bool (*oleArea)(ObjectRecord* window, uint8_t** data, uint32_t* size);
    // Before an XML save: the OLE objects kept in the temporary file.
    void (*oleSaveToTemp)(ObjectRecord* window);
};
extern FormSaveFileHooks gFormSaveFileHooks;

uint32_t FormSaveQof(ObjectRecord* window, const char* fileName, const char* eventText, const char* codeFile,
                     uint32_t options);
// With makeTemporary the QOF file is a new temporary file whose name ("!"
// and the path) goes into qofName; otherwise qofName names it.
uint32_t FormConvertXmlToQof(const char* xmlName, char* qofName, size_t qofRoom, bool makeTemporary);
// A load's XML output: each entry's name and events. 0 or 307.
int32_t FormLoadWriteXml(FormFileContext* load, const char* xmlOutput);
// Writes a form file's bytes into a new file beside target and moves it over
// target once complete (a QOF file first with its save-in-progress header, its
// final header last). 0, 202 (the file can't be made) or 203 (a write or the
// move failed: target is as it was).
int32_t FormFilePutBytes(const char* target, const uint8_t* data, size_t size, char* errorText);
