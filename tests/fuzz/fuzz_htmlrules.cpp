// fuzz_htmlrules.cpp - the HTML control's platform-free rules over arbitrary
// bytes: the page text rewriting stays inside its copy and keeps its length
// rule, the event JSON of any texts parses, and list splitting and tab-id
// parsing read only the bytes given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "com/core/htmlrules.h"
#include "session/util/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exact-size copies, so a read past the end is caught by the sanitizer.
    std::vector<char> text(data, data + size);
    const char* p = size ? text.data() : nullptr;
    HtmlPageText page;
    bool flag = size && (data[0] & 1);
    if (HtmlPageTextBuild(p, size, flag, size && (data[0] & 2), 0x00FF00, &page)) {
        if (page.length < size || page.data[page.length] != '\0') abort();
        HtmlPageTextFree(&page);
    }
    if (HtmlWrapperPageBuild(p, size, &page)) HtmlPageTextFree(&page);
    HtmlTextHasIframe(p, size);

    bool generic;
    uint32_t marks = WebEventMarks(p, size, flag, &generic);
    if (marks & 1u) abort();
    WebEventCursor c = WebEventListBegin(p, size);
    const char* word;
    size_t n;
    while (WebEventListNext(&c, &word, &n))
        if (n == 0 || word < p || word + n > p + size) abort();
    if (WebTabIdParse(p, size) < 0) abort();

    // Three NUL-terminated texts cut from the input, as Invoke reads them into
    // its shared area; the JSON of any bytes below 0x80 must parse.
    std::vector<char> area(kWebEventTextArea, '\0');
    size_t used = 0;
    const char* parts[3];
    for (int i = 0; i < 3; ++i) {
        parts[i] = area.data() + used;
        size_t take = size / 3;
        if (used + take + 1 > area.size()) take = area.size() - used - 1;
        for (size_t k = 0; k < take; ++k) {
            char ch = static_cast<char>(data[i * (size / 3) + k] & 0x7F);
            area[used + k] = ch ? ch : ' ';
        }
        used += take + 1;
        if (used >= area.size()) used = area.size() - 1;
    }
    std::vector<char> out(kWebEventJsonSize);
    WebEventFields f = {parts[0], parts[1], parts[2], static_cast<int32_t>(size), -1, flag, 0};
    size_t len = WebEventJson(&f, out.data(), out.size());
    if (len == 0) abort();
    JsonValue* v = JsonParse(out.data(), len);
    if (!v) abort();
    JsonFree(v);
    return 0;
}
