// fuzz_webedit.cpp - the web edits' text conversions: the input's first bytes
// choose the number shape (integer and decimal digits, sign, decimal option
// and character) and the edit's type, conversion mode and limits; the rest is
// the text. It is formatted as a number, converted as the page's text and
// formatted for the page. The number result must stay within its buffer and
// every result within what its function promises.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "controls/ctlcore.h"
#include "session/config.h"
#include "webview/controls/webedit.h"

namespace {
constexpr size_t kHeader = 8;
constexpr uint32_t kTextMax = 40960;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    const char* text = reinterpret_cast<const char*>(data + kHeader);
    uint32_t length = static_cast<uint32_t>(size - kHeader > kTextMax ? kTextMax : size - kHeader);
    uint32_t digits = data[0] % 60, decimals = data[1] % 60;
    bool minus = data[2] & 1, option = data[2] & 2;
    char decimal = static_cast<char>(data[3]);
    char out[kNumberTextMax + 1];
    memset(out, 0x7F, sizeof out);
    if (WebEditNumberFormatText(text, length, digits, decimals, minus, option, decimal, out, sizeof out)) {
        size_t n = strnlen(out, sizeof out);
        if (n >= sizeof out) __builtin_trap();
    }
    gClientConfig.decimalChar = decimal;
    gWebEditClientOptions = option ? kClientDecimalOption : 0;
    const char* converted = nullptr;
    uint32_t convertedLength = 0;
    uint16_t type = static_cast<uint16_t>(1 + data[4] % 6), mode = static_cast<uint16_t>(1 + data[5] % 5);
    if (WebEditConvertFromPage(text, length, type, mode, &converted, &convertedLength)) {
        // Tabs grow to at most 8 blanks; nothing else makes a text longer.
        if (convertedLength > static_cast<uint64_t>(length) * 8) __builtin_trap();
    }
    WebEditTextRecord e = {};
    e.editType = type;
    e.lineLimit = data[6] % 4;
    e.columnLimit = data[7];
    e.editFlags = (data[2] & 4) ? kEdAlignRight : 0;
    const char* formatted = nullptr;
    uint32_t formattedLength = 0;
    if (WebEditFormatForPage(&e, text, length, (data[2] & 8) != 0, &formatted, &formattedLength)) {
        if (formattedLength > static_cast<uint64_t>(length) * 2) __builtin_trap();
    }
    EditBuffersFree();
    return 0;
}
