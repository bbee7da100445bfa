// fuzz_json.cpp - JSON parsing and member reads on arbitrary page messages.
#include <cstdint>
#include <vector>

#include "session/util/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    JsonValue* v = JsonParse(text.data(), text.size());
    if (!v) return 0;
    static const char* const kNames[] = {"action", "ev", "id", "v1", "v2", "txt"};
    for (const char* name : kNames) {
        JsonGetInt(v, name);
        JsonGetText(v, name);
        JsonGetTextRaw(v, name);
        const JsonValue* m = JsonFindMember(v, name);
        for (size_t i = 0; i < JsonArrayLength(m) && i < 8; i++) JsonValueText(JsonArrayItem(m, i));
    }
    JsonFree(v);
    return 0;
}
