// fuzz_xml.cpp - the XML reader on arbitrary documents, with callbacks that
// read every name, attribute and text they are given.
#include <cstdint>
#include <cstring>

#include "session/util/xml.h"

static int OnStart(XmlReader* r, const char* name, const char** attrs) {
    size_t n = strlen(name);
    for (int i = 0; attrs[i]; i++) n += strlen(attrs[i]);
    *static_cast<size_t*>(r->user) += n;
    return 0;
}

static int OnEnd(XmlReader* r, const char* name, const char* text, size_t length) {
    *static_cast<size_t*>(r->user) += strlen(name) + length + (length ? static_cast<unsigned char>(text[length - 1]) : 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t seen = 0;
    XmlReader r = {};
    r.onStart = OnStart;
    r.onEnd = OnEnd;
    r.user = &seen;
    XmlParse(&r, nullptr, reinterpret_cast<const char*>(data), size);
    XmlReaderFree(&r);
    return 0;
}
