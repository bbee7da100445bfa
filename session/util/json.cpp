// json.cpp - JSON values over json-parser.
#include "session/util/json.h"

#include <json.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "session/util/codepage.h"
#include "session/util/mem.h"

namespace {

struct TextBuf {
    char* p = nullptr;
    size_t cap = 0;
};
TextBuf gJsonText;   // JsonGetText answers
TextBuf gJsonQuote;  // JsonQuoteText answers

char* Reserve(TextBuf& b, size_t need) {
    if (need <= b.cap) return b.p;
    char* p = static_cast<char*>(GuardedRealloc(b.p, need));
    if (!p) return nullptr;
    b.p = p;
    b.cap = need;
    return p;
}

// The parser's allocator: zero-filled blocks of the program's heap, with any
// single request above the memory limit refused outright.
void* JsonAlloc(size_t size, int, void*) {
    if (size > kJsonMaxMemory) return nullptr;
    void* p = GuardedAlloc(size);
    if (p) memset(p, 0, size);
    return p;
}

void JsonRelease(void* block, void*) { GuardedFree(block); }

json_settings MakeSettings() {
    json_settings s;
    memset(&s, 0, sizeof s);
    s.max_memory = kJsonMaxMemory;
    s.mem_alloc = JsonAlloc;
    s.mem_free = JsonRelease;
    return s;
}

const json_value* FindIn(const json_value* v, const char* name, int depth) {
    if (!v || v->type != json_object || depth > 64) return nullptr;
    for (unsigned i = 0; i < v->u.object.length; i++)
        if (strcmp(v->u.object.values[i].name, name) == 0) return v->u.object.values[i].value;
    for (unsigned i = 0; i < v->u.object.length; i++) {
        const json_value* found = FindIn(v->u.object.values[i].value, name, depth + 1);
        if (found) return found;
    }
    return nullptr;
}

const char* ValueText(const json_value* v, bool convert) {
    if (!v) return nullptr;
    char number[64];
    switch (v->type) {
    case json_integer:
        snprintf(number, sizeof number, "%lld", static_cast<long long>(v->u.integer));
        break;
    case json_double:
        snprintf(number, sizeof number, "%.15g", v->u.dbl);
        break;
    case json_boolean:
        strcpy(number, v->u.boolean ? "True" : "False");
        break;
    case json_string: {
        size_t n = v->u.string.length;
        char* out = Reserve(gJsonText, n + 1);
        if (!out) return nullptr;
        // Converted into the shared buffer, never in place: reading the same
        // member twice must give the same text.
        if (convert) Utf8ToAnsi(v->u.string.ptr, n, out, n + 1);
        else {
            memcpy(out, v->u.string.ptr, n);
            out[n] = 0;
        }
        return out;
    }
    default:
        number[0] = 0;
    }
    char* out = Reserve(gJsonText, strlen(number) + 1);
    if (out) strcpy(out, number);
    return out;
}

}  // namespace

// The parser is handed a NUL-terminated copy: it reads one byte past the given
// length when a text ends inside a literal ("tru", "[fals"), and the NUL there
// makes that literal fail instead of reading beyond the caller's bytes.
JsonValue* JsonParse(const char* text, size_t length, char* error) {
    if (error) error[0] = 0;
    if (!text || length > kJsonMaxMemory) {
        if (error) strcpy(error, "document too large");
        return nullptr;
    }
    char* copy = static_cast<char*>(GuardedAlloc(length + 1));
    if (!copy) {
        if (error) strcpy(error, "out of memory");
        return nullptr;
    }
    memcpy(copy, text, length);
    copy[length] = 0;
    json_settings s = MakeSettings();
    char err[json_error_max];
    json_value* v = json_parse_ex(&s, copy, length, err);
    GuardedFree(copy);
    if (!v && error) strcpy(error, err);
    return v;
}

void JsonFree(JsonValue* value) {
    if (!value) return;
    json_settings s = MakeSettings();
    json_value_free_ex(&s, value);
}

const JsonValue* JsonFindMember(const JsonValue* value, const char* name) {
    return name ? FindIn(value, name, 0) : nullptr;
}

bool JsonObjectHasMember(const JsonValue* value, const char* name) { return JsonFindMember(value, name) != nullptr; }

namespace {

bool FitsInt(int64_t n) { return n >= kJsonIntMin && n <= kJsonIntMax; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The leading decimal number of a text as atoi reads it (blanks, a sign,
// digits; what follows is ignored), refused as 0 when it has no digit or does
// not fit an integer of the client.
int64_t LeadingInt(const char* text) {
    const char* p = text;
    while (IsBlank(*p)) p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    int64_t n = 0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; p++) {
        n = n * 10 + (*p - '0');
        digits = true;
        if (n > kJsonIntMax + 1) return 0;
    }
    if (!digits) return 0;
    if (negative) n = -n;
    return FitsInt(n) ? n : 0;
}

}  // namespace

int64_t JsonValueInt(const JsonValue* v) {
    if (!v) return 0;
    switch (v->type) {
    case json_integer: return FitsInt(v->u.integer) ? v->u.integer : 0;
    case json_boolean: return v->u.boolean ? 1 : 0;
    case json_string: return LeadingInt(v->u.string.ptr);
    default: return 0;
    }
}

int64_t JsonGetInt(const JsonValue* value, const char* name) { return JsonValueInt(JsonFindMember(value, name)); }

const char* JsonGetText(const JsonValue* value, const char* name) {
    return ValueText(JsonFindMember(value, name), true);
}

const char* JsonGetTextRaw(const JsonValue* value, const char* name) {
    return ValueText(JsonFindMember(value, name), false);
}

const char* JsonValueText(const JsonValue* value) { return ValueText(value, true); }

size_t JsonArrayLength(const JsonValue* array) {
    return array && array->type == json_array ? array->u.array.length : 0;
}

const JsonValue* JsonArrayItem(const JsonValue* array, size_t index) {
    return index < JsonArrayLength(array) ? array->u.array.values[index] : nullptr;
}

const char* JsonQuoteText(const char* text) {
    if (!text) text = "";
    size_t n = strlen(text);
    const char* s = text;
    char* latin = nullptr;
    if (gCharConvMode == kCharModeLatin1) {
        size_t need = Latin1ToUtf8(text, n, nullptr, 0);
        latin = static_cast<char*>(GuardedAlloc(need + 1));
        if (!latin) return nullptr;
        n = Latin1ToUtf8(text, n, latin, need + 1);
        s = latin;
    } else {
        n = AnsiToUtf8(&s, n, 0);
    }
    // Worst case every byte becomes a six-character \u escape.
    char* out = Reserve(gJsonQuote, n * 6 + 3);
    if (!out) {
        GuardedFree(latin);
        return nullptr;
    }
    size_t o = 0;
    out[o++] = '"';
    for (size_t i = 0; i < n; i++) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
        case '"': out[o++] = '\\'; out[o++] = '"'; break;
        case '\\': out[o++] = '\\'; out[o++] = '\\'; break;
        case '\b': out[o++] = '\\'; out[o++] = 'b'; break;
        case '\f': out[o++] = '\\'; out[o++] = 'f'; break;
        case '\n': out[o++] = '\\'; out[o++] = 'n'; break;
        case '\r': out[o++] = '\\'; out[o++] = 'r'; break;
        case '\t': out[o++] = '\\'; out[o++] = 't'; break;
        default:
            if (c < 0x20) o += static_cast<size_t>(snprintf(out + o, 7, "\\u%04x", c));
            else out[o++] = static_cast<char>(c);
        }
    }
    out[o++] = '"';
    out[o] = 0;
    GuardedFree(latin);
    return out;
}

void JsonCleanup() {
    GuardedFree(gJsonText.p);
    gJsonText = TextBuf();
    GuardedFree(gJsonQuote.p);
    gJsonQuote = TextBuf();
}
