// xml.h - the XML layer: a reader over Expat that hands elements to callbacks
// in the client character set, and a streaming writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct XmlReader;

// Start callback: the element name and its attributes as name/value pairs
// ended by null. End callback: the element name and its text (the text after
// its last child element). A non-zero answer stops the reading; XmlParse then
// answers that code.
typedef int (*XmlStartFn)(XmlReader* reader, const char* name, const char** attrs);
typedef int (*XmlEndFn)(XmlReader* reader, const char* name, const char* text, size_t length);

enum XmlReadResult {
    kXmlReadOk = 0,
    kXmlReadNoFile = 1,    // the file could not be opened or read
    kXmlReadNoMemory = 2,
    kXmlReadMalformed = 3, // not well-formed; the error list holds where and why
};

struct XmlReader {
    XmlStartFn onStart;
    XmlEndFn onEnd;
    void* user;
    // The error list: one line per error, "\n"-separated, on the local heap.
    char* errors;
    int errorCount;
    // Working state of one parse (the Expat parser and the collected text).
    void* parser;
    char* text;
    size_t textLen, textCap;
};

// Reads a document from the file fileName, or when fileName is null from the
// length bytes at text. Answers 0 when the document was read whole.
int XmlParse(XmlReader* reader, const char* fileName, const char* text, size_t length);
// Adds "Error at line: %d Column: %d - <message>" with the reader's current
// position to its error list; format takes one text argument.
void XmlAddError(XmlReader* reader, const char* format, const char* argument);
// Frees the error list.
void XmlReaderFree(XmlReader* reader);

constexpr uint32_t kXmlIndent = 0x01;      // indent each level
constexpr uint32_t kXmlConvertUtf8 = 0x02; // texts are in the client set: write them as UTF-8
constexpr uint32_t kXmlIsoLatin1 = 0x20;   // declare ISO-8859-1 and write texts as they are
constexpr int kXmlMaxName = 80;
constexpr int kXmlMaxDepth = 64;

enum XmlWriteResult {
    kXmlWriteOk = 0,
    kXmlWriteNoFile = 1,
    kXmlWriteFailed = 2,
    kXmlWriteNoElement = 3,
    kXmlWriteTooDeep = 4,
    kXmlWriteNoStartTag = 5,
    kXmlWriteNameTooLong = 7,
};

struct XmlWriter {
    FILE* file;
    uint32_t flags;
    // Low byte: indent count per level; next byte: indent character (0: blank).
    uint32_t options;
    int depth;
    bool tagOpen;  // the innermost start tag still lacks its '>'
    bool hasChildren[kXmlMaxDepth];
    bool hasText[kXmlMaxDepth];
    char names[kXmlMaxDepth][kXmlMaxName + 1];
    char buf[1024];
    size_t bufLen;
    int error;
};

void XmlWriterInit(XmlWriter* w);
int XmlWriteOpen(XmlWriter* w, const char* fileName);
int XmlStartElement(XmlWriter* w, const char* name);
int XmlWriteAttr(XmlWriter* w, const char* name, const char* value);
int XmlWriteText(XmlWriter* w, const char* text);
int XmlWriteCData(XmlWriter* w, const char* text);
int XmlEndElement(XmlWriter* w);
int XmlWriteClose(XmlWriter* w);
