// services_test.cpp - the CLIENT object's page services against the recording
// page: the facts lists and their separators, style sheets sent once, script
// runs, storage, selectors, the answers without a page or an application host,
// the path preparation of the directory methods and the theme style sheet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/util/codepage.h"
#include "webtest.h"
#include "webview/core/webobject.h"
#include "webview/core/webformpage.h"
#include "webview/core/webservices.h"

namespace {

std::string gText;
int32_t gInt;
bool gGotText, gGotInt;
void NoteText(const char* text) { gText = text, gGotText = true; }
void NoteInt(int32_t value, uint8_t) { gInt = value, gGotInt = true; }

struct Arg {
    bool isText;
    int32_t number;
    std::string text;
};
Arg N(int32_t v) { return Arg{false, v, {}}; }
Arg T(const std::string& t) { return Arg{true, 0, t}; }

// The texts stay alive with the test's argument list.
MethodCallRec Call(uint32_t method, const std::vector<Arg>& args) {
    MethodCallRec call = {};
    call.method = method;
    call.argCount = static_cast<uint32_t>(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        call.argPresent[i] = 1;
        if (args[i].isText) {
            call.args[i].kind = kItemText;
            call.args[i].size = static_cast<uint32_t>(args[i].text.size());
            call.args[i].data = args[i].text.data();
        } else {
            call.args[i].kind = 1;
            call.args[i].value = static_cast<uint32_t>(args[i].number);
        }
    }
    return call;
}

class Services : public ::testing::Test {
protected:
    void SetUp() override {
        ResetChannel();
        gWebObjServices = WebObjServices();
        gWebObjServices.replyText = NoteText;
        gWebObjServices.replyInt = NoteInt;
        WebViewSelectForObject(&gViewA.window.hdr);
        gText.clear();
        gInt = -999;
        gGotText = gGotInt = false;
    }
    void TearDown() override {
        ClientSettingSet(kSetThemeColor, 0, nullptr);
        SetCharConvMode(kCharModeUtf8);
        WebChannelCleanup();
    }
    int32_t Run(uint32_t method, const std::vector<Arg>& args = {}) {
        MethodCallRec call = Call(method, args);
        return WebPageServices(nullptr, &call);
    }
    std::vector<std::string> Posts() {
        WebViewMsgFlush();
        std::vector<std::string> out;
        for (const RecPost& p : gViewA.page.posts) out.push_back(p.text);
        return out;
    }
    // Every message sent, batches included, in order.
    std::string All() {
        std::string all;
        for (const std::string& p : Posts()) all += p + "\n";
        return all;
    }
    static size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

constexpr char kScreenReply[] =
    "{\"availHeight\":740,\"availWidth\":1280,\"colorDepth\":24,\"height\":800,\"pixelDepth\":24,"
    "\"width\":1280,\"appCodeName\":\"Mozilla\",\"appName\":\"Netscape\",\"appVersion\":\"5.0\","
    "\"cookieEnabled\":true,\"platform\":\"Linux\",\"product\":\"Gecko\",\"userAgent\":\"UA/1\"}";

TEST_F(Services, GetInfoSelectsJoinsAndSeparates) {
    RecPageAnswer(&gViewA.page, kActPageFacts, kScreenReply, 0);
    struct Case {
        std::vector<Arg> args;
        std::string expect;
        const char* why;
    };
    const std::string all = "740,1280,24,800,24,1280,Mozilla,Netscape,5.0,1,,Linux,Gecko,UA/1,,";
    const Case kCases[] = {
        {{N(0), T(",")}, all, "no mask: every entry; no language and no host texts leave empty entries"},
        {{N(1 | (1 << 13)), T(";")}, "740;UA/1", "first and fourteenth"},
        {{N((1 << 10) | 1), T(";")}, "740;", "a member the reply lacks stays an empty entry"},
        {{N(3), T(std::string(1, '\0'))}, "740\x7f" "1280", "separator 0 gives 127"},
        {{N(3), T("\xc8")}, "740\x7f" "1280", "a byte above 127 gives 127"},
        {{N(3)}, "740\x7f" "1280", "no separator gives 127"},
        {{N(1 << 14), T(",")}, "", "the host's name alone: one empty entry"},
    };
    for (const Case& k : kCases) {
        EXPECT_EQ(Run(1, k.args), kWebNoAnswer) << k.why;
        EXPECT_EQ(gText, k.expect) << k.why;
    }
}

TEST_F(Services, GetWinInfoAndLocationAskThePage) {
    RecPageAnswer(&gViewA.page, kActPageFacts,
                  "{\"innerHeight\":600,\"innerWidth\":800,\"outerHeight\":700,\"outerWidth\":820,"
                  "\"pageXOffset\":0,\"pageYOffset\":15,\"screenX\":4,\"screenY\":8,\"msg\":\"file:///x.html\"}",
                  0);
    Run(8, {N(0), T("|")});
    EXPECT_EQ(gText, "600|800|700|820|0|15|4|8");
    Run(7);
    EXPECT_EQ(gText, "file:///x.html");
    std::string all = All();
    EXPECT_LT(all.find("\"dwid\": 6"), all.find("\"dwid\": 5")) << "window facts, then the location";
}

TEST_F(Services, StyleSheetsAndScriptsAreSentOnce) {
    Run(4, {T("my.css")});
    Run(4, {T("my.css")});
    Run(4, {T("my.css"), N(1)});
    Run(37, {T("my.js")});
    Run(37, {T("my.js")});
    std::string all = All();
    EXPECT_EQ(Count(all, "my.css"), 2u) << "the same sheet once, again only with the reload bit";
    EXPECT_EQ(Count(all, "my.js"), 1u);
}

TEST_F(Services, ScriptRuns) {
    struct Case {
        const char* reply;
        std::vector<Arg> args;
        std::string expect;
        bool sent;
        const char* why;
    };
    const Case kCases[] = {
        {"{\"res\":42}", {T("6*7")}, "42", true, "a number result"},
        {"{\"res\":\"ok\",\"err\":\"boom\"}", {T("x()")}, "boom", true, "an error wins over a result"},
        {"{}", {T("void 0")}, "", true, "no result: empty"},
        {"{\"res\":1}", {T("1"), N(1)}, "Invalid option", false, "a second argument: nothing is run"},
    };
    for (const Case& k : kCases) {
        gViewA.page.answers.clear();
        gViewA.page.posts.clear();
        RecPageAnswer(&gViewA.page, kActRunScript, k.reply, 0);
        Run(14, k.args);
        EXPECT_EQ(gText, k.expect) << k.why;
        EXPECT_EQ(!Posts().empty(), k.sent) << k.why;
    }
    gViewA.page.answers.clear();
    gGotText = false;
    EXPECT_EQ(Run(14, {T("lost()")}), kWebNoHost) << "no reply: the outcome is not known, and no empty text says it is";
    EXPECT_FALSE(gGotText);
    Run(22, {T("say \"hi\"\n")});
    EXPECT_EQ(gText, "\"say \\\"hi\\\"\\n\"") << "JsMakeString quotes and escapes";
}

TEST_F(Services, StorageAndSelectors) {
    RecPageAnswer(&gViewA.page, kActStorage, "{\"val\":\"blue\"}", 0);
    RecPageAnswer(&gViewA.page, kActSelectorGet, "{\"val\":\"on\"}", 0);
    Run(24, {T("colour"), T("blue")});
    Run(24, {T("c"), T("v"), N(1)});
    Run(25, {T("colour")});
    EXPECT_EQ(gText, "blue");
    Run(33, {T("#a"), T("HTML"), T("<b>x</b>")});
    Run(33, {T("#a"), T("color"), T("red"), N(1)});
    Run(33, {T("#a"), T("Checked"), T("1")});
    Run(34, {T("#a"), T("Checked")});
    EXPECT_EQ(gText, "on");
    // The messages in the order sent: each check looks after the one before.
    std::string all = All();
    const struct {
        const char* what;
        const char* why;
    } kOrder[] = {
        {"\"ses\": 1", "the window's storage by default"},
        {"\"cook\": 1", "a cookie on request"},
        {"\"gkey\": \"colour\"", "the key asked for"},
        {"\"dwid\": 4", "the name HTML in any case"},
        {"\"dwid\": 1", "flag bit 0 first"},
        {"\"dwid\": 6", "any other name: an attribute"},
    };
    size_t at = 0;
    for (const auto& o : kOrder) {
        size_t found = all.find(o.what, at);
        ASSERT_NE(found, std::string::npos) << o.why;
        at = found + 1;
    }
}

TEST_F(Services, AnswersWithoutThePageOrTheHost) {
    struct Case {
        uint32_t method;
        std::vector<Arg> args;
        int32_t code;
        bool text;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {0, {}, kWebUnknownMethod, false, "", "below the range"},
        {45, {}, kWebUnknownMethod, false, "", "above the range"},
        {15, {}, kWebNoAnswer, false, "1", "AppVibrate: not available"},
        {11, {}, kWebNoAnswer, true, "{ \"qovError\": 1 }", "AppGetInfo answers an error text"},
        {31, {}, kWebNoAnswer, true, "", "no kept application error"},
        {44, {}, kWebNoAnswer, true, "0, 1, 0, 0, 0, 0;", "GetMonitorInfo without the host's numbers"},
        {6, {}, kWebNoAnswer, false, "1", "GetState with no request flag"},
        {6, {N(1)}, kWebNoAnswer, false, "0", "ready bit of an empty state word"},
        {6, {N(2)}, kWebNoAnswer, false, "0", "online bit clear"},
        {3, {}, kWebNoAnswer, false, "0", "Open does nothing"},
    };
    for (const Case& k : kCases) {
        gGotText = gGotInt = false;
        EXPECT_EQ(Run(k.method, k.args), k.code) << k.why;
        if (k.code != kWebNoAnswer) continue;
        EXPECT_EQ(gGotText, k.text) << k.why;
        EXPECT_EQ(k.text ? gText : std::to_string(gInt), k.expect) << k.why;
    }
    EXPECT_TRUE(Posts().empty()) << "none of these asks the page";

    WebViewChannelHostClosing(gCurWebView);
    EXPECT_EQ(Run(1), kWebNotAvailable) << "a method of the page without a web view";
    EXPECT_EQ(Run(22, {T("x")}), kWebNoAnswer) << "one without the page still answers";
}

TEST_F(Services, Utf8ConvertModes) {
    SetCharConvMode(kCharModeMap);
    struct Case {
        int32_t value;
        int expectMode;
        const char* why;
    };
    const Case kCases[] = {
        {3, kCharModeLatin1, "3 is not a mode: 1"},
        {0, kCharModeUtf8, "0 stays"},
        {1252, 1252, "a code page stays"},
        {70000, kCharModeLatin1, "beyond the code pages: 1"},
        {400, kCharModeLatin1, "below the code pages: 1"},
    };
    int before = kCharModeMap;
    for (const Case& k : kCases) {
        Run(9, {N(k.value)});
        EXPECT_EQ(gInt, before) << k.why << ": answers the mode set before";
        EXPECT_EQ(gCharConvMode, k.expectMode) << k.why;
        before = gCharConvMode;
    }
}

TEST(UrlPath, NormalizeAndSplit) {
    struct Case {
        std::string src;
        std::string dir;
        std::string last;   // "-" when no split
        const char* why;
    };
    const Case kCases[] = {
        {"a\\b\\c", "a/b/", "c", "backslashes become slashes; the last part splits off"},
        {"a/b/", "a/", "b", "a trailing slash: the part before it"},
        {"abc", "abc/", "-", "no inner slash: no split"},
        {"", "/", "-", "empty: a lone slash"},
        {"/x", "/", "x", "a leading slash"},
        {"a//", "a/", "", "an empty last part"},
        {std::string(249, 'p') + "/q", std::string(249, 'p') + "/", "-",
         "a slash whose next character is cut off ends no directory"},
    };
    for (const Case& k : kCases) {
        char src[300], dest[kUrlPathMax + 2];
        snprintf(src, sizeof src, "%s", k.src.c_str());
        char* last = reinterpret_cast<char*>(1);
        UrlPathNormalize(src, dest, &last);
        EXPECT_EQ(std::string(dest), k.dir) << k.why;
        if (k.last == "-") {
            EXPECT_EQ(last, nullptr) << k.why;
        } else {
            ASSERT_NE(last, nullptr) << k.why;
            EXPECT_EQ(std::string(last + 2), k.last) << k.why;
        }
        EXPECT_EQ(std::string(src).find('\\'), std::string::npos) << "the source is changed too";
    }
    std::string longPath(400, 'x');
    char dest[kUrlPathMax + 2];
    UrlPathNormalize(&longPath[0], dest, nullptr);
    EXPECT_EQ(strlen(dest), kUrlPathMax + 1) << "250 characters and the slash";
}

TEST(AppError, KeptInWholeKilobytes) {
    EXPECT_EQ(WebAppErrorText(nullptr), nullptr);
    std::string big(3000, 'e');
    EXPECT_EQ(std::string(WebAppErrorText(big.c_str())), big);
    EXPECT_EQ(std::string(WebAppErrorText("short")), "short");
    WebServicesCleanup();
    EXPECT_EQ(WebAppErrorText(nullptr), nullptr);
}

TEST_F(Services, ThemeSheetOncePerSheet) {
    WebThemeSheet(&gViewA.window.hdr, false);
    EXPECT_TRUE(Posts().empty()) << "no theme number: nothing";
    ClientSettingSet(kSetThemeColor, 3, nullptr);
    WebThemeSheet(&gViewA.window.hdr, false);
    WebThemeSheet(&gViewA.window.hdr, false);
    std::string all = All();
    EXPECT_EQ(Count(all, "themes/3/theme3.css"), 1u);
    EXPECT_EQ(Count(all, "\"dwid\": 4"), 1u);
}

}  // namespace

// ---- The web form page ---------------------------------------------------------------------

namespace {

struct FakeObject {
    uint32_t kind;
    int32_t parent;
    const char* text;
};
std::vector<FakeObject> gForm;

uint32_t FakeKind(void*, uint32_t i) { return gForm[i].kind; }
int32_t FakeParent(void*, uint32_t i) { return gForm[i].parent; }
bool FakeRecord(void*, uint32_t i, ObjectCreateRecord* cr) {
    CreateRecordReset(cr);
    cr->right = 80, cr->bottom = 20;
    cr->title = CrText{gForm[i].text, static_cast<uint32_t>(strlen(gForm[i].text))};
    return true;
}

std::string BuildPage(bool older) {
    WebPageSource src = {static_cast<uint32_t>(gForm.size()), FakeKind, FakeParent, FakeRecord, nullptr};
    TextBuf page = {};
    EXPECT_TRUE(FormWebPageBuild(&src, older, &page));
    std::string out = page.data ? std::string(page.data, page.length) : "";
    TextBufFree(&page);
    return out;
}

// The page with each object's markup line replaced by its element id, so the
// nesting reads as a short text.
std::string Skeleton(const std::string& page) {
    std::string out;
    size_t body = page.find("<body>\r\n");
    for (size_t at = body + 8; at < page.size();) {
        size_t end = page.find("\r\n", at);
        if (end == std::string::npos) break;
        std::string line = page.substr(at, end - at);
        if (line == "</div>") {
            out += "/ ";
        } else if (line.compare(0, 6, "</div>") == 0) {
            out += "end";
            break;
        } else {
            size_t id = line.find("id=\"C");
            out += id == std::string::npos ? "?" : line.substr(id + 4, line.find('"', id + 4) - id - 4);
            out += " ";
        }
        at = end + 2;
    }
    return out;
}

}  // namespace

TEST(WebFormPage, PanelsHoldTheirChildren) {
    struct Case {
        std::vector<FakeObject> form;
        std::string skeleton;
        const char* why;
    };
    const Case kCases[] = {
        {{{kKindWindow, -1, "W"}, {kKindPanel, 0, ""}, {kKindButton, 1, "a"}, {kKindButton, 1, "b"},
          {kKindButton, 0, "c"}},
         "C1 C2 C3 C4 / C5 end", "a Panel with two buttons is closed once before the next object"},
        {{{kKindWindow, -1, "W"}, {kKindPanel, 0, ""}, {kKindButton, 0, "c"}},
         "C1 C2 / C3 end", "an empty Panel is closed at once"},
        {{{kKindWindow, -1, "W"}, {kKindPanel, 0, ""}, {kKindPanel, 1, ""}, {kKindButton, 2, "x"},
          {kKindButton, 1, "y"}, {kKindButton, 0, "z"}},
         "C1 C2 C3 C4 / C5 / C6 end", "nested panels close one level at a time"},
        {{{kKindWindow, -1, "W"}, {kKindButton, 0, "a"}, {kKindPanel, 0, ""}},
         "C1 C2 C3 / end", "a last empty Panel is closed too"},
        {{{kKindWindow, -1, "W"}, {kKindPanel, 0, ""}, {kKindButton, 1, "a"}},
         "C1 C2 C3 / end", "a Panel still open at the end"},
    };
    for (const Case& k : kCases) {
        gForm = k.form;
        EXPECT_EQ(Skeleton(BuildPage(false)), k.skeleton) << k.why;
    }
}

TEST(WebFormPage, HeaderLibrariesAndCharacterSet) {
    gForm = {{kKindWindow, -1, "W"}, {kKindButton, 0, "Caf\xe9"}};
    std::string newer = BuildPage(false), older = BuildPage(true);
    EXPECT_EQ(newer.compare(0, 15, "<!DOCTYPE html>"), 0);
    EXPECT_NE(newer.find("src=\"js/jquery-2.1.1.min.js\""), std::string::npos);
    EXPECT_NE(older.find("src=\"js/jquery-1.12.4.min.js\""), std::string::npos);
    EXPECT_EQ(older.find("2.1.1"), std::string::npos);
    EXPECT_NE(newer.find("<title>Qovwin Web Form</title>"), std::string::npos);
    EXPECT_EQ(newer.substr(newer.size() - 24), "</div></body>\r\n</html>\r\n");
    SetCharConvMode(kCharModeLatin1);
    std::string utf8 = BuildPage(false);
    SetCharConvMode(kCharModeUtf8);
    EXPECT_NE(utf8.find("Caf\xc3\xa9"), std::string::npos) << "a client-set text is UTF-8 in the page";
}
