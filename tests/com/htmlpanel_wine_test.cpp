// htmlpanel_wine_test.cpp - the browser host against Wine's own WebBrowser,
// which embeds, navigates and sizes but has no HTML engine here (mshtml is
// disabled in the test prefix): the site's faces, its host information, the
// temporary pages, loads without a document and the release count.
#include <gtest/gtest.h>
#include <windows.h>

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "com/htmlpanel.h"
#include "tests/testutil.h"

namespace {

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

void WriteAll(const std::string& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

// Lets the browser finish what it queued (a navigation's messages): the
// check after it is that a reference is NOT given back, which only a time of
// pumping can show.
void PumpAWhile() {
    DWORD end = GetTickCount() + 300;
    MSG m;
    while (GetTickCount() < end) {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        Sleep(10);
    }
}

// After a navigation Wine's browser keeps one reference to its client site
// past Close, even after its messages are pumped (measured): that one is the
// browser's; the control's own reference is gone.
void ExpectReleasedAfterNavigation(CQovPanelWebBrowser* site) {
    LONG before = HtmlPanelLiveSites();
    EXPECT_EQ(HtmlPanelRelease(site), 1) << "exactly the browser's one reference remains";
    PumpAWhile();
    EXPECT_EQ(HtmlPanelLiveSites(), before) << "measured: Wine's browser never gives it back";
}

// Records the DISPIDs of the browser's events in the order they arrive.
class EventLog final : public IDispatch {
public:
    std::vector<DISPID> ids;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
            !IsEqualIID(iid, DIID_DWebBrowserEvents2))
            return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        ids.push_back(id);
        return S_OK;
    }
};

class WineBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { OleInitialize(nullptr); }
    void SetUp() override {
        wnd_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(wnd_, nullptr);
    }
    void TearDown() override { DestroyWindow(wnd_); }
    HWND wnd_ = nullptr;
};

TEST_F(WineBrowser, EmbedsWithItsStorageFaceAndReleasesToZero) {
    CQovPanelWebBrowser* site = nullptr;
    ASSERT_EQ(HtmlPanelCreate(wnd_, &site), kPanelOk) << "OleCreate of CLSID_WebBrowser with the IStorage face";
    ASSERT_NE(site, nullptr);
    EXPECT_NE(HtmlPanelBrowser(site), nullptr) << "in-place active, IWebBrowser2 taken";
    EXPECT_EQ(HtmlPanelLiveSites(), 1);
    EXPECT_EQ(HtmlPanelRelease(site), 0) << "the browser gives back its references at Close; no extra one is kept";
    EXPECT_EQ(HtmlPanelLiveSites(), 0) << "the site is freed, not leaked per load";
}

TEST_F(WineBrowser, FacesAskedForAndHostInformation) {
    CQovPanelWebBrowser* site = nullptr;
    ASSERT_EQ(HtmlPanelCreate(wnd_, &site), kPanelOk);
    IUnknown* unk = HtmlPanelUnknown(site);
    struct Case { const IID* iid; HRESULT want; const char* why; };
    const Case kCases[] = {
        {&IID_IUnknown, S_OK, "the client-site face"},
        {&IID_IOleClientSite, S_OK, "client site"},
        {&IID_IOleInPlaceSite, S_OK, "in-place site"},
        {&IID_IOleWindow, S_OK, "the in-place site answers for its base"},
        {&IID_IDocHostUIHandler, S_OK, "the UI handler"},
        {&IID_IStorage, E_NOINTERFACE, "implemented but never handed out by asking"},
        {&IID_IOleInPlaceFrame, E_NOINTERFACE, "implemented but never handed out by asking"},
        {&IID_IDispatch, E_NOINTERFACE, "not implemented"},
    };
    for (const Case& c : kCases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(unk->QueryInterface(*c.iid, &out), c.want) << c.why;
        if (c.want == S_OK) static_cast<IUnknown*>(out)->Release();
        else EXPECT_EQ(out, nullptr) << c.why;
    }
    struct Flags { uint32_t load; DWORD want; };
    const Flags kFlags[] = {{0, 12}, {12, 0}, {4, 4}, {8, 8}};
    for (const Flags& f : kFlags) {
        gHtmlLoadFlags = f.load;
        DWORD flags = 99, size = 0;
        EXPECT_EQ(HtmlPanelHostInfo(site, &flags, &size), S_OK);
        EXPECT_EQ(flags, f.want) << "load flags " << f.load;
        EXPECT_EQ(size, 20u);
    }
    gHtmlLoadFlags = 0;
    EXPECT_EQ(HtmlPanelRelease(site), 0);
}

TEST_F(WineBrowser, TemporaryPages) {
    const std::string blank = TempFile(kBlankPageName), wrapper = TempFile(kWrapperPageName);
    const std::string blankBytes =
        "<html><head><meta http-equiv='X-UA-Compatible' content='IE=edge' /></head><body></body></html>";
    DeleteFileA(blank.c_str());
    CQovPanelWebBrowser* site = nullptr;
    ASSERT_EQ(HtmlPanelCreate(wnd_, &site), kPanelOk);
    int32_t iframe = -1;
    EXPECT_EQ(HtmlPanelLoad(site, "<p>hi</p>", 1, wnd_, 1, &iframe), 0);
    EXPECT_EQ(iframe, 0);
    EXPECT_EQ(ReadFileText(blank), blankBytes) << "written on first use, exactly 94 bytes";
    EXPECT_EQ(ReadFileText(blank).size(), 94u);

    WriteAll(blank, "kept");
    HtmlPanelLoad(site, "<p>again</p>", 1, wnd_, 1, &iframe);
    EXPECT_EQ(ReadFileText(blank), "kept") << "an existing page is not rewritten";
    DeleteFileA(blank.c_str());
    HtmlPanelLoad(site, "<p>again</p>", 1, wnd_, 1, &iframe);
    EXPECT_EQ(ReadFileText(blank), blankBytes) << "written again after deletion";

    struct Case { const char* text; std::string want; };
    const Case kCases[] = {
        {"<iframe src='x'></iframe>",
         "<html><head><meta http-equiv='X-UA-Compatible' content='IE=edge' /></head><body><iframe src='x'></iframe>"
         "</body></html>"},
        {"<body><iframe></iframe></body>", "<body><iframe></iframe></body>"},
    };
    for (const Case& c : kCases) {
        iframe = 0;
        EXPECT_EQ(HtmlPanelLoad(site, c.text, 1, wnd_, 1, &iframe), 0);
        EXPECT_EQ(iframe, 1) << c.text;
        EXPECT_EQ(ReadFileText(wrapper), c.want) << "wrapped, or unchanged with <body";
    }
    ExpectReleasedAfterNavigation(site);
}

TEST_F(WineBrowser, WithoutAnHtmlEngineNoDocumentAndNoFault) {
    CQovPanelWebBrowser* site = nullptr;
    ASSERT_EQ(HtmlPanelCreate(wnd_, &site), kPanelOk);
    IWebBrowser2* b = HtmlPanelBrowser(site);
    IConnectionPointContainer* cpc = nullptr;
    IConnectionPoint* cp = nullptr;
    EventLog log;
    DWORD cookie = 0;
    ASSERT_EQ(b->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID_DWebBrowserEvents2, &cp), S_OK);
    ASSERT_EQ(cp->Advise(&log, &cookie), S_OK);
    int32_t iframe = 0;
    HtmlPanelLoad(site, "<p id='a'>x</p>", 1, wnd_, 1, &iframe);
    // Measured: the navigation to the blank page runs inside Navigate2 as far
    // as it gets without an engine, and ends in NavigateError.
    const std::vector<DISPID> want = {DISPID_BEFORENAVIGATE2, DISPID_DOWNLOADBEGIN, DISPID_COMMANDSTATECHANGE,
                                      DISPID_STATUSTEXTCHANGE, DISPID_DOWNLOADCOMPLETE, DISPID_NAVIGATEERROR};
    std::vector<DISPID> got;
    for (DISPID id : log.ids)
        if (got.empty() || got.back() != id) got.push_back(id);
    std::string seen;
    for (DISPID id : log.ids) seen += std::to_string(id) + " ";
    EXPECT_EQ(got, want) << "events: " << seen;
    cp->Unadvise(cookie);
    cp->Release();
    cpc->Release();
    IDispatch* doc = reinterpret_cast<IDispatch*>(1);
    HRESULT hr = b->get_Document(&doc);
    EXPECT_EQ(hr, S_FALSE) << "measured: Wine's browser has no document without mshtml";
    EXPECT_EQ(doc, nullptr);
    READYSTATE state = READYSTATE_UNINITIALIZED;
    b->get_ReadyState(&state);
    EXPECT_EQ(state, READYSTATE_LOADING) << "measured: the navigation never completes";

    char buf[16] = "junk";
    EXPECT_EQ(HtmlPanelGetElemProp(site, "a", "html", buf, sizeof buf, 0), 0);
    EXPECT_STREQ(buf, "");
    strcpy(buf, "junk");
    EXPECT_EQ(HtmlPanelGetStyle(site, "a", "color", buf, sizeof buf, 0), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(HtmlPanelSetElemProp(site, "a", "html", "y", 0), 0);
    EXPECT_EQ(HtmlPanelSetStyle(site, "a", "color", "red", 0), 0);
    EXPECT_EQ(HtmlPanelFocusElement(site, "a"), 0);
    EXPECT_EQ(HtmlPanelHookElements(site, wnd_), 0);
    EXPECT_EQ(HtmlPanelSetMarkedDisabled(site, 1), 0);
    EXPECT_EQ(HtmlPanelHideFocus(site, 1), 0);
    EXPECT_EQ(HtmlPanelFocusTab(site, 0, 1), 0) << "no sinks: nothing takes the focus";
    EXPECT_EQ(HtmlPanelExecCommand(site, "SelectAll"), 0);
    EXPECT_EQ(HtmlPanelResize(site, wnd_, 1), 0);
    RECT r = {0, 0, 100, 100};
    HDC dc = GetDC(wnd_);
    EXPECT_EQ(HtmlPanelDraw(site, dc, &r), S_OK) << "OleDraw of the browser object";
    ReleaseDC(wnd_, dc);
    EXPECT_EQ(HtmlPanelLoad(site, "about:blank", 2, wnd_, 1, &iframe), 0) << "a URL load";
    ExpectReleasedAfterNavigation(site);
}

}  // namespace
