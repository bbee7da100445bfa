// json.h - JSON values of the messages a web page sends: parsing with the
// program's allocator under a memory limit, member lookup through nested
// objects, and text conversion to the client character set.
#pragma once

#include <cstddef>
#include <cstdint>

struct _json_value;
typedef struct _json_value JsonValue;

// The most memory one parsed message may take (values and strings together);
// larger documents are refused rather than letting the parser's 32-bit size
// arithmetic wrap.
constexpr size_t kJsonMaxMemory = 16u << 20;

// Parses length bytes of UTF-8 JSON text; null when it is not valid JSON or
// passes the memory limit (error, when given, receives the parser's message:
// at least 128 bytes).
JsonValue* JsonParse(const char* text, size_t length, char* error = nullptr);
void JsonFree(JsonValue* value);

// The member named name of value, searched in value's own members first and
// then through the nested objects, depth first; null when absent.
const JsonValue* JsonFindMember(const JsonValue* value, const char* name);
bool JsonObjectHasMember(const JsonValue* value, const char* name);

// The range of the integers a page message may give the client (its values
// are 32-bit); a number outside it is refused.
constexpr int64_t kJsonIntMin = INT32_MIN;
constexpr int64_t kJsonIntMax = INT32_MAX;

// Integers and booleans as they are, a string by its leading decimal number
// (as atoi reads it); anything else (or a missing member, or no value, or a
// number outside kJsonIntMin..kJsonIntMax) 0.
int64_t JsonGetInt(const JsonValue* value, const char* name);
// The member as text in the shared buffer (valid until the next call):
// integers as "%lld", doubles, booleans "True"/"False", strings converted from
// UTF-8 to the client character set; null when the member is missing.
const char* JsonGetText(const JsonValue* value, const char* name);
// As JsonGetText, but a string member is returned as UTF-8, unconverted.
const char* JsonGetTextRaw(const JsonValue* value, const char* name);

// Arrays: the member count (0 for a non-array) and one member (null outside).
size_t JsonArrayLength(const JsonValue* array);
const JsonValue* JsonArrayItem(const JsonValue* array, size_t index);
// A value itself (an array member, say) as JsonGetInt / JsonGetText read it.
int64_t JsonValueInt(const JsonValue* value);
const char* JsonValueText(const JsonValue* value);

// A JSON string literal of a client-set text: converted to UTF-8, quoted and
// escaped, in a growable buffer valid until the next call. Null without memory.
const char* JsonQuoteText(const char* text);

void JsonCleanup();
