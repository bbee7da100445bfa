// xml.cpp - the XML reader over Expat and the streaming XML writer.
#include "session/util/xml.h"

#include <expat.h>

#include <cstring>
#include <vector>

#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr uint32_t kDefaultOptions = (' ' << 8) | 2;

// Texts reach the callbacks in the client character set; one buffer per use so
// a name and its attributes can be alive together.
struct ConvBuf {
    std::vector<char> bytes;
};

const char* ToClientSet(const char* utf8, size_t len, ConvBuf& buf) {
    buf.bytes.resize(len + 1);
    Utf8ToAnsi(utf8, len, buf.bytes.data(), buf.bytes.size());
    return buf.bytes.data();
}

XmlReader* ReaderOf(void* user) { return static_cast<XmlReader*>(user); }

bool AppendText(XmlReader* r, const char* s, size_t n) {
    if (r->textLen + n + 1 > r->textCap) {
        size_t cap = (r->textLen + n + 1) * 2;
        char* p = static_cast<char*>(GuardedRealloc(r->text, cap));
        if (!p) return false;
        r->text = p;
        r->textCap = cap;
    }
    memcpy(r->text + r->textLen, s, n);
    r->textLen += n;
    return true;
}

void StopWith(XmlReader* r, int code);

int gStopCode;  // the code a callback stopped the current parse with

void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attrs) {
    XmlReader* r = ReaderOf(user);
    r->textLen = 0;
    if (!r->onStart) return;
    ConvBuf nameBuf;
    size_t count = 0;
    while (attrs[count]) count++;
    std::vector<ConvBuf> bufs(count);
    std::vector<const char*> converted(count + 1, nullptr);
    for (size_t i = 0; i < count; i++) converted[i] = ToClientSet(attrs[i], strlen(attrs[i]), bufs[i]);
    int code = r->onStart(r, ToClientSet(name, strlen(name), nameBuf), converted.data());
    if (code) StopWith(r, code);
}

void XMLCALL OnEnd(void* user, const XML_Char* name) {
    XmlReader* r = ReaderOf(user);
    if (r->onEnd) {
        ConvBuf nameBuf, textBuf;
        const char* text = ToClientSet(r->text ? r->text : "", r->textLen, textBuf);
        int code = r->onEnd(r, ToClientSet(name, strlen(name), nameBuf), text, strlen(text));
        if (code) StopWith(r, code);
    }
    // The parent's text is what follows its last child.
    r->textLen = 0;
}

void XMLCALL OnText(void* user, const XML_Char* s, int len) {
    XmlReader* r = ReaderOf(user);
    if (len > 0 && !AppendText(r, s, static_cast<size_t>(len))) StopWith(r, kXmlReadNoMemory);
}

void StopWith(XmlReader* r, int code) {
    if (!gStopCode) gStopCode = code;
    XML_StopParser(static_cast<XML_Parser>(r->parser), XML_FALSE);
}

int FinishParse(XmlReader* r, XML_Parser p, XML_Status status) {
    if (gStopCode) return gStopCode;
    if (status == XML_STATUS_ERROR) {
        XmlAddError(r, "%s", XML_ErrorString(XML_GetErrorCode(p)));
        return XML_GetErrorCode(p) == XML_ERROR_NO_MEMORY ? kXmlReadNoMemory : kXmlReadMalformed;
    }
    return kXmlReadOk;
}

}  // namespace

int XmlParse(XmlReader* reader, const char* fileName, const char* text, size_t length) {
    XML_Parser p = XML_ParserCreate(nullptr);
    if (!p) return kXmlReadNoMemory;
    // No external-entity handler is installed: external entities are never read.
    XML_SetUserData(p, reader);
    XML_SetElementHandler(p, OnStart, OnEnd);
    XML_SetCharacterDataHandler(p, OnText);
    reader->parser = p;
    reader->textLen = 0;
    int saved = gStopCode;
    gStopCode = 0;
    int result = kXmlReadOk;
    if (fileName) {
        FILE* f = fopen(fileName, "rb");
        if (!f) {
            result = kXmlReadNoFile;
        } else {
            for (;;) {
                void* buf = XML_GetBuffer(p, static_cast<int>(kReadChunk));
                if (!buf) {
                    result = kXmlReadNoMemory;
                    break;
                }
                size_t got = fread(buf, 1, kReadChunk, f);
                bool last = got < kReadChunk;
                if (last && ferror(f)) {
                    result = kXmlReadNoFile;
                    break;
                }
                XML_Status st = XML_ParseBuffer(p, static_cast<int>(got), last);
                if (st != XML_STATUS_OK || gStopCode) {
                    result = FinishParse(reader, p, st);
                    break;
                }
                if (last) break;
            }
            fclose(f);
        }
    } else {
        // Expat takes an int length: feed long texts in pieces.
        const size_t kPiece = 1u << 30;
        size_t off = 0;
        do {
            size_t n = length - off < kPiece ? length - off : kPiece;
            bool last = off + n == length;
            XML_Status st = XML_Parse(p, text + off, static_cast<int>(n), last);
            off += n;
            if (st != XML_STATUS_OK || gStopCode) {
                result = FinishParse(reader, p, st);
                break;
            }
        } while (off < length);
    }
    XML_ParserFree(p);
    reader->parser = nullptr;
    GuardedFree(reader->text);
    reader->text = nullptr;
    reader->textLen = reader->textCap = 0;
    gStopCode = saved;
    return result;
}

void XmlAddError(XmlReader* reader, const char* format, const char* argument) {
    char message[512], line[640];
    snprintf(message, sizeof message, format, argument ? argument : "");
    long ln = 0, col = 0;
    if (reader->parser) {
        ln = static_cast<long>(XML_GetCurrentLineNumber(static_cast<XML_Parser>(reader->parser)));
        col = static_cast<long>(XML_GetCurrentColumnNumber(static_cast<XML_Parser>(reader->parser)));
    }
    snprintf(line, sizeof line, "Error at line: %d Column: %d - %s", static_cast<int>(ln), static_cast<int>(col),
             message);
    size_t old = reader->errors ? strlen(reader->errors) : 0;
    size_t add = strlen(line);
    char* list = static_cast<char*>(LocalAllocZero(old + add + 2));
    if (!list) return;
    if (old) {
        memcpy(list, reader->errors, old);
        list[old++] = '\n';
    }
    memcpy(list + old, line, add + 1);
    LocalFreeMem(reader->errors);
    reader->errors = list;
    reader->errorCount++;
}

void XmlReaderFree(XmlReader* reader) {
    LocalFreeMem(reader->errors);
    reader->errors = nullptr;
    reader->errorCount = 0;
}

// ---- writer ----

namespace {

int Flush(XmlWriter* w) {
    if (w->bufLen && w->file && fwrite(w->buf, 1, w->bufLen, w->file) != w->bufLen) w->error = kXmlWriteFailed;
    w->bufLen = 0;
    return w->error;
}

void Put(XmlWriter* w, const char* s, size_t n) {
    while (n) {
        if (w->bufLen == sizeof w->buf) Flush(w);
        size_t take = sizeof w->buf - w->bufLen;
        if (take > n) take = n;
        memcpy(w->buf + w->bufLen, s, take);
        w->bufLen += take;
        s += take;
        n -= take;
    }
}

void PutStr(XmlWriter* w, const char* s) { Put(w, s, strlen(s)); }

void NewLineIndent(XmlWriter* w, int depth) {
    if (!(w->flags & kXmlIndent)) return;
    int count = static_cast<int>(w->options & 0xFF);
    char c = static_cast<char>((w->options >> 8) & 0xFF);
    if (!c) c = ' ';
    Put(w, "\n", 1);
    for (int i = 0; i < depth * count; i++) Put(w, &c, 1);
}

// Writes text escaped for content (quotes too inside an attribute), in UTF-8
// when the writer converts from the client character set.
void PutEscaped(XmlWriter* w, const char* text, bool attribute) {
    size_t n = strlen(text);
    const char* s = text;
    std::vector<char> latin;
    if ((w->flags & kXmlConvertUtf8) && !(w->flags & kXmlIsoLatin1)) {
        if (gCharConvMode == kCharModeLatin1) {
            // Mode 1 texts hold one-byte characters: each becomes its two-byte form.
            latin.resize(Latin1ToUtf8(text, n, nullptr, 0) + 1);
            n = Latin1ToUtf8(text, n, latin.data(), latin.size());
            s = latin.data();
        } else {
            n = AnsiToUtf8(&s, n, 0);
        }
    }
    size_t start = 0;
    for (size_t i = 0; i < n; i++) {
        const char* rep = nullptr;
        switch (s[i]) {
        case '&': rep = "&amp;"; break;
        case '<': rep = "&lt;"; break;
        case '>': rep = "&gt;"; break;
        case '"': rep = attribute ? "&quot;" : nullptr; break;
        case '\n': rep = attribute ? "&#10;" : nullptr; break;
        case '\r': rep = "&#13;"; break;
        case '\t': rep = attribute ? "&#9;" : nullptr; break;
        }
        if (!rep) continue;
        Put(w, s + start, i - start);
        PutStr(w, rep);
        start = i + 1;
    }
    Put(w, s + start, n - start);
}

// Ends the open start tag with '>' before content follows.
void CloseStartTag(XmlWriter* w) {
    if (!w->tagOpen) return;
    Put(w, ">", 1);
    w->tagOpen = false;
}

}  // namespace

void XmlWriterInit(XmlWriter* w) {
    memset(w, 0, sizeof *w);
    w->options = kDefaultOptions;
}

int XmlWriteOpen(XmlWriter* w, const char* fileName) {
    w->file = fopen(fileName, "wb");
    if (!w->file) return w->error = kXmlWriteNoFile;
    PutStr(w, (w->flags & kXmlIsoLatin1) ? "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                                         : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    return w->error;
}

int XmlStartElement(XmlWriter* w, const char* name) {
    if (!w->file) return kXmlWriteNoFile;
    if (w->error) return w->error;
    if (strlen(name) > kXmlMaxName) return kXmlWriteNameTooLong;
    if (w->depth >= kXmlMaxDepth) return kXmlWriteTooDeep;
    CloseStartTag(w);
    if (w->depth == 0) {
        Put(w, "\n", 1);  // each top-level element starts a line of its own
    } else {
        w->hasChildren[w->depth - 1] = true;
        // Inside mixed content the indent would become part of the text.
        if (!w->hasText[w->depth - 1]) NewLineIndent(w, w->depth);
    }
    Put(w, "<", 1);
    PutStr(w, name);
    strcpy(w->names[w->depth], name);
    w->hasChildren[w->depth] = false;
    w->hasText[w->depth] = false;
    w->depth++;
    w->tagOpen = true;
    return w->error;
}

int XmlWriteAttr(XmlWriter* w, const char* name, const char* value) {
    if (w->error) return w->error;
    if (!w->tagOpen) return kXmlWriteNoStartTag;
    Put(w, " ", 1);
    PutStr(w, name);
    Put(w, "=\"", 2);
    PutEscaped(w, value ? value : "", true);
    Put(w, "\"", 1);
    return w->error;
}

int XmlWriteText(XmlWriter* w, const char* text) {
    if (w->error) return w->error;
    if (w->depth == 0) return kXmlWriteNoElement;
    CloseStartTag(w);
    if (text && *text) w->hasText[w->depth - 1] = true;
    PutEscaped(w, text ? text : "", false);
    return w->error;
}

int XmlWriteCData(XmlWriter* w, const char* text) {
    if (w->error) return w->error;
    if (w->depth == 0) return kXmlWriteNoElement;
    CloseStartTag(w);
    w->hasText[w->depth - 1] = true;
    PutStr(w, "<![CDATA[");
    // "]]>" cannot stand inside a section: split it across two sections.
    const char* s = text ? text : "";
    for (const char* end; (end = strstr(s, "]]>")) != nullptr; s = end + 2) {
        Put(w, s, static_cast<size_t>(end - s) + 2);
        PutStr(w, "]]><![CDATA[");
    }
    PutStr(w, s);
    PutStr(w, "]]>");
    return w->error;
}

int XmlEndElement(XmlWriter* w) {
    if (w->error) return w->error;
    if (w->depth == 0) return kXmlWriteNoElement;
    w->depth--;
    if (w->tagOpen) {
        Put(w, "/>", 2);
        w->tagOpen = false;
    } else {
        if (w->hasChildren[w->depth] && !w->hasText[w->depth]) NewLineIndent(w, w->depth);
        Put(w, "</", 2);
        PutStr(w, w->names[w->depth]);
        Put(w, ">", 1);
    }
    return w->error;
}

int XmlWriteClose(XmlWriter* w) {
    if (!w->file) return kXmlWriteNoFile;
    while (w->depth > 0 && !w->error) XmlEndElement(w);
    Put(w, "\n", 1);
    Flush(w);
    if (fclose(w->file) != 0 && !w->error) w->error = kXmlWriteFailed;
    w->file = nullptr;
    return w->error;
}
