// weblists_test.cpp - the set-up the web list kinds' tests share: a recording
// page with one window, method calls and their answers, events taken off the
// queue, page events dispatched, and the XML contents' files in the test's
// folder. The kinds' own tests are in webdatalist_test.cpp, weblistview_test.cpp,
// webtree_test.cpp, webtabs_test.cpp, webmenu_test.cpp and webtoolbar_test.cpp.
#include "weblists_test.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/events.h"
#include "session/util/mem.h"
#include "webtest.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblvtext.h"
#include "webview/controls/webxml.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"

std::vector<std::string> gReplies;

namespace {

void Deliver(RecPage* page, ObjectRecord* owner, const char* text) { WebTestDeliver(page, owner, text); }
void ReplyInt(int32_t value, uint8_t) { gReplies.push_back(std::to_string(value)); }
void ReplyText(const char* text) { gReplies.push_back(std::string("'") + text + "'"); }

int32_t TestPrepWrite(const char* name, XmlOutTarget* out) {
    if (name[0] != '!') return 5;
    snprintf(out->localPath, sizeof out->localPath, "%s", name + 1);
    return 0;
}

bool TestTempFile(char* path, uint32_t size) {
    static unsigned counter;
    snprintf(path, size, "qovxml%u.tmp", ++counter);
    FILE* f = fopen(path, "wb");
    return f && fclose(f) == 0;
}

int32_t TestLoad(const char* name, char** data, uint32_t* size) {
    FILE* f = name[0] == '!' ? fopen(name + 1, "rb") : nullptr;
    if (!f) return 200;
    fclose(f);
    std::string all = FileText(name + 1);
    *data = static_cast<char*>(GuardedAlloc(all.size() + 1));
    memcpy(*data, all.data(), all.size());
    *size = static_cast<uint32_t>(all.size());
    return 0;
}

}  // namespace

std::string Posts() { return WebTestPosts(); }

std::vector<std::pair<int32_t, int32_t>> Events() {
    std::vector<std::pair<int32_t, int32_t>> out;
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    while (EventTakeNext(&ev, items, &count)) out.push_back({ev.eventId, ev.value});
    return out;
}

void WebLists::SetUp() {
    ASSERT_TRUE(WebHostSetUp(Deliver));
    gWebObjServices.replyInt = ReplyInt;
    gWebObjServices.replyText = ReplyText;
    gWebLocaleCompare = 1;
    gWebMultiItemOption = 0;
    Events();
    gReplies.clear();
    window = Create(kTypeWindow, [](ObjectCreateRecord* c) {
        c->bottom = 300;
        c->right = 400;
        c->units = 5;
    });
    ASSERT_NE(window, nullptr);
    Posts();
}

void WebLists::TearDown() {
    WebHostTearDown();
    Events();
    gWebObjServices = WebObjServices();
}

ObjectRecord* WebLists::Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup) {
    static const int32_t kRect[4] = {1, 1, 10, 30};
    return WebTestCreate(&cr, window, type, kRect, setup);
}

std::string WebLists::Call(ObjectRecord* rec, uint32_t type, uint32_t method, std::vector<Arg> args) {
    MethodCallRec call = {};
    call.objectType = type;
    call.method = method;
    call.argCount = static_cast<uint32_t>(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].value == INT32_MIN && !args[i].text) continue;
        call.argPresent[i] = 1;
        if (args[i].text) {
            call.args[i].kind = kItemText;
            call.args[i].data = args[i].text;
            call.args[i].size = args[i].length ? args[i].length : static_cast<uint32_t>(strlen(args[i].text));
        } else {
            call.args[i].kind = kItemInt;
            call.args[i].value = static_cast<uint64_t>(static_cast<int64_t>(args[i].value));
        }
    }
    call.result.varRef = resultVar;
    call.result.kind = resultKind;
    gReplies.clear();
    int32_t r = WebCallMethod(rec, &call);
    if (r != kWebNoAnswer && r != 0) return "error " + std::to_string(r);
    return gReplies.empty() ? "" : gReplies.back();
}

void WebLists::Register(ObjectRecord* rec, std::initializer_list<uint32_t> events) {
    int32_t values[4] = {};
    for (uint32_t e : events) ASSERT_EQ(EventRegister(rec, e, values, false, nullptr, 0), 0);
}

void WebLists::PageEvent(const std::string& json) {
    JsonValue* v = JsonParse(json.c_str(), json.size());
    ASSERT_NE(v, nullptr) << json;
    WebPageEventDispatch(gHost, v);
    JsonFree(v);
}

void XmlTestFilesSetUp() {
    gWebXmlFiles.prepWrite = TestPrepWrite;
    gWebXmlFiles.tempFile = TestTempFile;
    gWebListFiles.load = TestLoad;
}

void XmlTestFilesTearDown() {
    gWebXmlFiles = WebXmlFileServices{};
    gWebListFiles = WebListFileServices{};
}

std::string FileText(const std::string& path) {
    std::string all;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "(none)";
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) all.append(buf, n);
    fclose(f);
    return all;
}

bool WellFormed(const std::string& path) {
#ifdef _WIN32
    XmlReader r = {};
    int rc = XmlParse(&r, path.c_str(), nullptr, 0);
    XmlReaderFree(&r);
    return rc == 0;
#else
    std::string cmd = "xmllint --noout '" + path + "'";
    return std::system(cmd.c_str()) == 0;
#endif
}
