// formxml.h - XML form files: writing a save context as a "QOFORM" document
// through the streaming XML writer (full, objects only, or the names and
// events a load reports), and reading one through the XML reader into a save
// context (full) or into the events of the entries already there.
// Platform-free.
#pragma once

#include <cstdint>

#include "forms/formwrite.h"

struct XmlWriter;

// Reader results besides the parser's own codes.
enum XmlFormError : uint32_t {
    kXfEventsWrongRoot = 1,
    kXfWrongRoot = 402,
    kXfNoMemory = 403,
    kXfTooManyObjects = 404,
    kXfContent = 405,
};
// What XmlFormSave writes.
enum XmlFormSaveMode : uint8_t {
    kXmlSaveNamesEvents,    // a load's output: each object's name and events only
    kXmlSaveObjects,        // the objects with their properties and sub-objects
    kXmlSaveFull,           // header, objects, code and resources
};
// Deeper documents are refused: no form nests that far, and a reader that
// counted in a byte would wrap.
constexpr uint32_t kXmlFormMaxDepth = 255;

// Writes the document through w (opened by the caller on its file) and closes
// it. False when a writer call failed (the first failure ends the writing).
bool XmlFormSave(FormSaveContext* ctx, XmlWriter* w, XmlFormSaveMode mode, bool doNotCache);

// Reads an XML form: with length the text itself, with 0 the file named by
// source. Full mode fills ctx with entries (their streams encoded), header
// values, code text and resources; events-only mode replaces the event code
// of ctx's entries found by name. False with *error set: the parser's code,
// 402-405, or 1 (events-only, wrong root). *messages (when given) receives the
// reader's error list ("Error at line: ... Column: ... - ..." lines), to be
// freed with LocalFreeMem.
bool QofXmlFormLoad(FormSaveContext* ctx, const char* source, uint32_t length, bool eventsOnly,
                    uint32_t* error, char** messages);

// A decimal number as XML forms write them: an optional '-' and digits.
int32_t FormDecimalParse(const char* text);
