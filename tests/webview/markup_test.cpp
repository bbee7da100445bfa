// markup_test.cpp - the markup of each kind: openings, classes by class mode,
// the theme rules, closings and script calls, and the escaping of texts in
// attributes and script literals.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "session/util/json.h"
#include "session/config.h"
#include "webview/controls/webcontrols.h"
#include "webview/core/webmarkup.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

namespace {

struct Out {
    std::string html, js;
};

void SetText(ObjectCreateRecord* cr, uint32_t id, const char* text) {
    cr->texts[id].text = text;
    cr->texts[id].length = static_cast<uint32_t>(strlen(text));
    cr->given[id] = 1;
}
void SetValue(ObjectCreateRecord* cr, uint32_t id, int32_t v) {
    cr->values[id] = v;
    cr->given[id] = 1;
}
CrText T(const char* text) { return CrText{text, static_cast<uint32_t>(strlen(text))}; }

// A shown object at top 10, left 20, 100 wide and 24 high, then the row's changes.
Out Markup(uint32_t kind, const std::function<void(ObjectCreateRecord*)>& setup, bool standalone = false,
           uint32_t id = 5) {
    static ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.flags0 = kCrVisible;
    cr.top = 10;
    cr.left = 20;
    cr.bottom = 34;
    cr.right = 120;
    if (setup) setup(&cr);
    HtmlReset();
    HtmlResetFont();
    HtmlObjectMarkup(kind, id, standalone, &cr);
    Out o;
    o.html = gHtmlBuf.data ? gHtmlBuf.data : "";
    o.js = gJsBuf.data ? gJsBuf.data : "";
    return o;
}

class MarkupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ObjectSetupTables();
        WebObjectsInstall();   // the kinds' markup writers are their rows' slots
        WebOptionsReset();
        ClientConfigDefaults();
        WebTextCleanup();
    }
    void TearDown() override {
        WebOptionsReset();
        WebTextCleanup();
        HtmlReset();
    }
};

struct Row {
    uint32_t kind;
    std::function<void(ObjectCreateRecord*)> setup;
    bool standalone;
    const char* has;      // must appear (html, or js when it starts with "js:")
    const char* hasNot;   // must not appear, or null
    const char* why;
};

void CheckRows(const Row* rows, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const Row& r = rows[i];
        Out o = Markup(r.kind, r.setup, r.standalone);
        std::string where = o.html;
        const char* has = r.has;
        if (strncmp(has, "js:", 3) == 0) {
            where = o.js;
            has += 3;
        }
        EXPECT_NE(where.find(has), std::string::npos) << r.why << "\nwanted: " << has << "\nhtml: " << o.html
                                                      << "\njs: " << o.js;
        if (r.hasNot) {
            std::string both = o.html + "\n" + o.js;
            EXPECT_EQ(both.find(r.hasNot), std::string::npos) << r.why << "\nunwanted: " << r.hasNot << "\n" << both;
        }
    }
}

}  // namespace

TEST_F(MarkupTest, KindsAndEdgeCases) {
    const Row kRows[] = {
        {kKindButton, [](ObjectCreateRecord* c) { c->buttonType = 3; }, true, "<input type=\"file\" id=\"C5\"",
         "onchange", "a file button in a web-form page is a plain file input"},
        {kKindButton, [](ObjectCreateRecord* c) { c->buttonType = 3; }, false,
         "<input type=\"file\" onchange=\"qovWebNamespace.fileEvt('C5F')\" id=\"C5F\"", nullptr,
         "a file button in a live view carries the event wiring"},
        {kKindButton, [](ObjectCreateRecord* c) { c->buttonType = 3; }, false,
         "<button onclick=\"document.getElementById('C5F').click(); return false\" id=\"C5\"", nullptr,
         "the visible button clicks the hidden input"},
        {kKindEditText, [](ObjectCreateRecord* c) { SetValue(c, 346, 9); }, false, "<input type=\"tel\" ", nullptr,
         "input type 9 is the telephone type"},
        {kKindEditText, nullptr, false, "<input type=\"text\" id=\"C5\"", nullptr, "no input type: text"},
        {kKindEditText, nullptr, false, "; height: 22px; width: 96px", nullptr,
         "an edit loses 2 pixels of height and 4 of width"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 2; }, false, "js:, mod: false", "mod: true",
         "a dialog window is not modal"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 1; c->winBorder = 6; }, false, "js:, mod: true, res: true",
         nullptr, "a modal window with border 6 can be resized"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 1; }, false, "class=\"qovfrm md0 wb4 \"", nullptr,
         "a modal window gets md0 and its type's border, a fixed dialog frame"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 5; }, false, "class=\"qovfrm wp0 wb5 \"", nullptr,
         "an ordinary window made without a border is sizeable with a caption, as natively"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 2; }, false, "js:, x: ", nullptr,
         "a window placed as given has its client area's place on the page"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 2; c->winPos = 2; }, false, "js:QovDlg(", ", x: ",
         "a centred one is placed by the page"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 5; c->winPos = 4; c->winBorder = 1; }, false,
         "class=\"qovfrm wp4 wb0 \"", nullptr, "other windows get their position and border classes"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 5; }, false, "js:QovFrm( { id: \"C5\", h: 94, w: 120, rsz: true",
         nullptr, "a window's frame adds 70 and 20 pixels"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 5; c->winBorder = 6; c->winStyle = 0x40; }, false,
         " wb5 nocap ", nullptr, "a window without Caption is marked for a frame without title bar"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 5; c->winBorder = 6; }, false, " wb5 ", "nocap",
         "with Caption it keeps its title bar"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 2; c->winStyle = 0x40; }, false, "js:QovDlg(", "nocap",
         "a dialog's title is the dialog's own"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->winType = 9; }, false, "ce9 ", nullptr,
         "a requested type 9 keeps its class"},
        {kKindWindow, nullptr, false, "<div id=\"C5N\" class=\"fmenu\"></div><div id=\"C5D\">", nullptr,
         "menu holder then content division"},
        {kKindButton, [](ObjectCreateRecord* c) { c->bgColor.value = 0xFFFFFF; }, false, "\"", "background-color",
         "with theme classes a white background writes nothing"},
        {kKindButton, [](ObjectCreateRecord* c) { c->bgColor.value = 0x0000FF; }, false, "; background-color: #ff0000",
         nullptr, "another background is written as #rrggbb"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->style = 3; c->text = T("one\r\ntwo"); }, false,
         "<ul><li id=\"C5R1\">one</li><li id=\"C5R2\">two</li></ul>", nullptr, "a two-line list label gives two items"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->webClass = T("=big"); }, false,
         "\" class=\"big\" style=\"\"", "position:", "'=': the class text alone and only the Visible piece"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->webClass = T("+big"); }, false,
         "\" class=\"big\" style=\"position: absolute; left: 20px; top: 10px\"", "height",
         "'+': position style and position pieces"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->webClass = T("-big"); }, false,
         "\" class=\"big\" style=\"position: absolute; left: 20px; top: 10px; height: 24px; width: 100px\"", nullptr,
         "'-': the size pieces too"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->webClass = T("big"); }, false, "bs0 lt big", nullptr,
         "no mark: the full classes and the class text last"},
        {kKindComboBox, nullptr, false, " size=\"2\">", nullptr, "a combo box always has size 2"},
        {kKindComboBox, [](ObjectCreateRecord* c) { c->text = T("Title;a;b"); }, false,
         "<option>a</option><option>b</option></select>", "Title", "the creation text's first item is skipped"},
        {kKindButton, [](ObjectCreateRecord* c) { c->bottom = c->top + 29; }, false, " btn-sm", nullptr,
         "a 29-pixel button is small"},
        {kKindButton, [](ObjectCreateRecord* c) { c->bottom = c->top + 30; }, false, " btn", "btn-sm",
         "a 30-pixel button is not"},
        {kKindToolBar, [](ObjectCreateRecord* c) { c->dock = 5; }, false, "; width: 100%", "height:",
         "a top-docked toolbar spans the width without a height"},
        {kKindToolBar, [](ObjectCreateRecord* c) { c->dock = 2; }, false, "; height: 24px; width: 100px", "100%",
         "a left-docked toolbar keeps its size"},
        {kKindMRegion, nullptr, false, "; opacity:0", nullptr, "an MRegion is transparent"},
        {kKindMRegion, nullptr, false, "<div id=\"C5\"", nullptr, "an MRegion is a division with the plain id"},
        {kKindCheckBox, nullptr, false, "<div id=\"C5D\"", nullptr, "a check box sits in a wrapper"},
        {kKindCheckBox, [](ObjectCreateRecord* c) { SetValue(c, kPidValue, 1); }, false,
         "checked=\"checked\" tabindex=\"100\" id=\"C5\" style=\"float: left; margin-top: 6px\"", nullptr,
         "the inner input is checked and floats by AlignText"},
        {kKindIcon, nullptr, false, "height=\"32\" width=\"32\"", nullptr, "an icon is 32 by 32"},
        {kKindProgress, nullptr, false, "js:QovPBar( { id: \"C5\", cv: 0, dp: 1 } );", nullptr, "the drawn bar"},
        {kKindSlider, nullptr, false, "js:QovSlide( { id: \"C5\", min: 0, max: 100, step: 1, vert: 0, range: 0 } );",
         nullptr, "a slider's script"},
        {kKindGroupBox, [](ObjectCreateRecord* c) { c->title = T("Box"); }, false, "<legend id=\"C5L\" style=\"width: auto\">Box</legend></fieldset>",
         nullptr, "a group box's legend"},
        {kKindStatText, [](ObjectCreateRecord* c) { c->text = T("&File"); }, false, "><u>F</u>ile</p>", nullptr,
         "a static text underlines its mnemonic"},
        {kKindTabControl, [](ObjectCreateRecord* c) { c->text = T("A;B"); }, false, "<ul></ul>", "<li>",
         "a creation Text makes no tabs"},
        {kKindTabControl, [](ObjectCreateRecord* c) { c->texts[kPidTabLabel] = T("A;B&&C;&D"); }, false,
         "<ul><li><a href=\"#C5-1\">A</a></li><li><a href=\"#C5-2\">B&C</a></li><li><a href=\"#C5-3\"><u>D</u></a>"
         "</li></ul><div id=\"C5-1\"></div>", nullptr,
         "tabs from ';'-separated labels, a hot key underlined"},
        {kKindTimer, nullptr, false, "", "<", "a timer has no markup"},
    };
    CheckRows(kRows, sizeof kRows / sizeof kRows[0]);
}

TEST_F(MarkupTest, WithoutThemeClasses) {
    gWebThemeClasses = 0;
    const Row kRows[] = {
        {kKindButton, [](ObjectCreateRecord* c) { c->bgColor.value = 0xFFFFFF; }, false, "; background-color: #ffffff",
         nullptr, "without theme classes white is written"},
        {kKindButton, [](ObjectCreateRecord* c) { c->bottom = c->top + 20; }, false, "class=\"bs0\"", "btn",
         "no bootstrap button classes"},
    };
    CheckRows(kRows, sizeof kRows / sizeof kRows[0]);
}

TEST_F(MarkupTest, FontPiecesAndTheme) {
    gClientConfig.runtime[kSetThemeColor - kFirstRuntimeSetting] = 5;
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.bottom = 30;
    cr.right = 50;
    cr.flags0 = kCrVisible;
    HtmlReset();
    HtmlSetFont(1, 0, 105, 5, "Arial", 1, 0, 0);
    HtmlObjectMarkup(kKindStatText, 2, false, &cr);
    std::string html = gHtmlBuf.data;
    EXPECT_NE(html.find("; font-weight: bold; text-decoration: underline; font-family: Arial; font-size: 10.5pt "),
              std::string::npos)
        << html;
    HtmlReset();
    HtmlSetFont(0, 0, 100, 13, "MS Sans Serif", 0, 0, 0);
    HtmlObjectMarkup(kKindStatText, 2, false, &cr);
    html = gHtmlBuf.data;
    EXPECT_EQ(html.find("font-"), std::string::npos) << "MS Sans Serif and 10 points are left to the sheet: " << html;
    HtmlReset();
    HtmlObjectMarkup(kKindButton, 3, false, &cr);
    EXPECT_NE(std::string(gHtmlBuf.data).find(" btn btn-primary"), std::string::npos)
        << "context 0 takes the default theme colour 5: " << gHtmlBuf.data;
}

TEST_F(MarkupTest, TextsAreEscaped) {
    // Every row puts a hostile text where the server's texts go; the attribute
    // or literal must hold it whole and the markup must stay one element.
    const Row kRows[] = {
        {kKindButton, [](ObjectCreateRecord* c) { c->toolTip = T("a\"b<c"); }, false, "title=\"a&quot;b&lt;c\"", nullptr,
         "a tooltip cannot end its attribute"},
        {kKindEditText, [](ObjectCreateRecord* c) { c->text = T("x\" onfocus=\"alert(1)"); }, false,
         "value=\"x&quot; onfocus=&quot;alert(1)\"", "onfocus=\"", "a value cannot add an attribute"},
        {kKindEditText, [](ObjectCreateRecord* c) { SetText(c, 328, "say \"hi\""); }, false,
         "placeholder=\"say &quot;hi&quot;\"", nullptr, "a cue text is escaped"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->title = T("A \"quoted\" </script> title\\"); }, false,
         "js:tl: \"A \\\"quoted\\\" <\\/script> title\\\\\" } );", "</script>", "a title stays inside its literal"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->title = T("line\nbreak"); }, false, "js:tl: \"line\\nbreak\"",
         nullptr, "a line break in a title is escaped"},
        {kKindWindow, [](ObjectCreateRecord* c) { c->useCss = T("my'sheet\".css"); }, false,
         "js:href=\"my&#39;sheet&quot;.css\" type=", nullptr, "a sheet name cannot end the appended link"},
        {kKindEditNumber, [](ObjectCreateRecord* c) { c->text = T("1\"2"); }, false, "js:val: \"1\\\"2\"", nullptr,
         "a number edit's value is escaped in the script"},
        {kKindEditDateTime, [](ObjectCreateRecord* c) { SetText(c, 261, "2020\"-01"); }, false,
         "js:minDate: \"2020\\\"-01\"", nullptr, "dates are escaped"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->text = T("<b>bold</b>"); }, false, "<p><b>bold</b></p>", nullptr,
         "element content may hold markup and stays"},
        {kKindLabelText, [](ObjectCreateRecord* c) { c->webClass = T("a\" onclick=\"x"); }, false,
         "class=\"bs0 lt a&quot; onclick=&quot;x\"", nullptr, "a class text is escaped"},
    };
    CheckRows(kRows, sizeof kRows / sizeof kRows[0]);
}

TEST_F(MarkupTest, EveryKindParsesAsJsonMessage) {
    // Whatever the texts, each kind's markup fits in a message the page can read.
    for (uint32_t kind = 1; kind <= kObjectKindLast; ++kind) {
        Out o = Markup(kind, [](ObjectCreateRecord* c) {
            c->title = T("t\"</script>\\");
            c->text = T("x\"\r\n<y>");
            c->toolTip = T("'\"");
        });
        JsonBeginAction(19);
        JsonAddJsHtml(false);
        std::string m = std::string(gJsonMsgBuf.data, gJsonMsgBuf.length) + "}";
        JsonValue* v = JsonParse(m.data(), m.size());
        ASSERT_NE(v, nullptr) << "kind " << kind << ": " << m;
        JsonFree(v);
    }
}

TEST(MarkupBlocks, Tables) {
    struct Case {
        std::string got, want;
        const char* why;
    };
    const Case kCases[] = {
        {HtmlInputType(1), "color", "1"},       {HtmlInputType(9), "tel", "9 telephone"},
        {HtmlInputType(10), "text", "10 is no type"}, {HtmlInputType(13), "week", "13"},
        {HtmlInputType(14), "text", "beyond"},  {HtmlScrollClass(4), "sb4", "vertical"},
        {HtmlScrollClass(3), "sb3", "none"},    {HtmlWinBorderClass(8), "wb7", "8"},
        {HtmlWinBorderClass(0), "wb2", "out of range"}, {HtmlWinPosClass(7), "wp0", "above 6"},
    };
    for (const Case& c : kCases) EXPECT_EQ(c.got, c.want) << c.why;
    HtmlReset();
    HtmlSelectOptions("T;&Open;Save  as//x;", 20, true);
    EXPECT_STREQ(gHtmlBuf.data, "<option>Open</option><option>Save &nbsp;as/x</option>")
        << "menu text: marks dropped, '//' a slash, a doubled blank kept, an empty last item dropped";
}
