// wiring.cpp - connects the facilities to one another through their hook
// tables at start-up: the windows layer and the object model to the session,
// the web view, printing, COM and the image loaders to both.
#include "app/wiring.h"

#include <zlib.h>

#include <string>

#include "com/autoserver.h"
#include "com/comobjects.h"
#include "com/htmlctl.h"
#include "com/oleutil.h"
#include "com/ribbon.h"
#include "controls/controls.h"
#include "forms/formload.h"
#include "forms/formsave.h"
#include "graphics/graphics.h"
#include "graphics/image/imageload.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objrecord.h"
#include "objects/objwire.h"
#include "objects/pump.h"
#include "print/print.h"
#include "print/prtcalc.h"
#include "session/config.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/bytereader.h"
#include "session/util/codepage.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/webtoolbar.h"
#include "webview/controls/webstatusbar.h"
#include "webview/core/webchannel.h"
#include "webview/core/webobject.h"
#include "webview/webglue.h"
#include "webview/webhtmltwin.h"
#include "webview/webobjglue.h"
#include "webview/wvlaunch.h"
#include "webview/wvpane.h"

static uint32_t SysColorEntry(uint32_t index) { return index < kColorTableSize ? gColorTable[index] : 0; }

// A turn of the page reply wait pumps the window messages even when a server
// event is already queued (EventCheckPending returns at once then): the
// page's answer reaches the client through the runtime window.
static void WebPumpTurn() {
    if (gObjectHooks.pump) gObjectHooks.pump();
}

// Command 401 of the main window: the print dialog, owned by the active window.
static void PrintDialogCommand(HWND wnd, WPARAM, LPARAM) { PrtPrintDlg(DialogOwnerWindow(wnd)); }

// A data list with Printer on: the printers the print facility finds.
static void ListPrinters(void* listBox) { PrtListPrinters(static_cast<HWND>(listBox)); }

// The window's PrintForm: its image, captured into a picture of its own that
// no one else sees, printed by the screen dump on the default printer. 0, -1
// no job opened, -2 the image failed (a hidden or minimised window has none),
// or the capture's failure code.
static int32_t PrintWindowImage(ObjectRecord* win) {
    constexpr int32_t kNoImage = -2;
    if (!win->hwnd) return kNoImage;
    UpdateWindow(win->hwnd);
    int32_t code = 0;
    ObjectRecord* pict = PictCreateFromWindow(win->hwnd, win, false, &code);
    if (!pict) return code ? code : kNoImage;
    int32_t result = PrtScreenDump(win->hwnd, pict->handle);
    ObjectOpsOf(pict)->destroy(pict);
    return result;
}

// Pictures read server files through the session's fetch; the name arrives
// counted, the mode from its '?' or '*' prefix (0: the session's default).
static bool ImageFetch(uint32_t* size, const char* name, const uint8_t** data, uint16_t page, uint32_t* pageCount,
                       int mode) {
    std::string plain(name, *size);
    uint8_t fetchMode = mode ? static_cast<uint8_t>(mode) : gClientConfig.defaultFetchMode;
    uint8_t* block = nullptr;
    uint32_t got = 0;
    if (GetSrvFile(plain.c_str(), fetchMode, 0, page, 0, &block, &got, pageCount) != 0) return false;
    *data = block;
    *size = got;
    return true;
}

static void ImageFreeData(const uint8_t* data) { CacheFreeData(const_cast<uint8_t*>(data)); }

static const char* ImageOemToAnsi(const char* path) { return OemToAnsiStr(path, 0); }

// A refused picture leaves its reason in the debug log.
static void ImageLogRefusal(int code, const char* reason) { DebugLogWrite("ImageLoad", "refused %d: %s", code, reason); }

// Print 2209 draws the image of a Pict object: the whole image, or with the
// view modes the part the picture shows.
// The picture's identity for a PDF file, which writes a picture once per
// identity: its handle, and a checksum of its pixels that changes with them.
// The spool file remembers the picture in the Pict object, so that a second
// print of the same image into one file writes a reference to the first.
static bool PrintPictImage(uint32_t pict, uint32_t mode, PrtImageInput* out) {
    RECT shown;
    if (!PictImageOf(pict, mode >= kPrtImageShownPart, &out->header, &out->palette, &out->bits, &shown)) return false;
    out->source = shown;
    const BITMAPINFOHEADER* h = out->header;
    uLong sum = crc32(0, reinterpret_cast<const Bytef*>(h), sizeof *h);
    if (out->palette && (h->biBitCount <= 8 || h->biCompression == BI_BITFIELDS))
        sum = crc32(sum, reinterpret_cast<const Bytef*>(out->palette), PrtImagePaletteCount(h) * sizeof(RGBQUAD));
    // Run-length pixels are biSizeImage bytes, not rows.
    uint32_t bytes;
    if (PrtImagePixelBytes(h, &bytes)) sum = crc32(sum, static_cast<const Bytef*>(out->bits), bytes);
    out->identity[0] = pict;
    out->identity[1] = static_cast<uint32_t>(sum);
    out->memo = PictSpoolMemo(pict);
    return true;
}

// Pictures, and the web view's numbered images, find the resources of the
// form being loaded.
static bool PictFormResource(ObjectRecord* window, uint16_t kind, uint32_t number, const char* name, uint8_t** data,
                             uint32_t* size) {
    uint16_t flags = 0;
    return FormResGetData(window, kind, number, name, data, size, &flags);
}

// A form save reads the panels and buttons of bars of either mode.
// Focus into a native HTML control's own page, as the browser's focus sinks
// report it.
static void HtmlControlFocusFromPage(ObjectRecord* rec, int32_t tab, const char* elementId) {
    if (!rec->hwnd) return;
    if (tab >= 0) HtmlControlOnTabFocus(rec->hwnd, tab, elementId);
    else HtmlControlOnFocusChange(rec->hwnd, elementId, false);
}

static uint32_t FormPanelCount(ObjectRecord* bar) {
    return ObjectIsWebView(bar) ? WebStatusBarPanelCount(bar) : StatusBarPanelCount(bar);
}
static ObjectRecord* FormPanelAt(ObjectRecord* bar, uint32_t i) {
    return ObjectIsWebView(bar) ? WebStatusBarPanelAt(bar, i) : StatusBarPanelAt(bar, i);
}
static uint32_t FormButtonCount(ObjectRecord* bar) {
    return ObjectIsWebView(bar) ? WebToolBarButtonCount(bar) : ToolBarButtonCount(bar);
}
static ObjectRecord* FormButtonAt(ObjectRecord* bar, uint32_t i) {
    return ObjectIsWebView(bar) ? WebToolBarButtonAt(bar, i) : ToolBarButtonAt(bar, i);
}
static bool FormPanelWinFlag1(ObjectRecord* panel) {
    return ObjectIsWebView(panel) ? WebPanelWinFlag1(panel) : PanelWinFlag1(panel);
}

// The window's web-view host closes with it.
static void WebHostWindowGone(ObjectRecord* window, bool) {
    WindowRecord* w = ObjectAsWindow(window);
    if (w && w->webHost) WebWindowHostDestroy(window);
}

void InstallFacilities() {
    const FacilityRow windows = GuiInstallHooks();
    const FacilityRow controls = ControlsInstall();
    const FacilityRow forms = FormsInstall();
    const FacilityRow graphics = GraphicsInstall();
    WebViewInstallHooks(WebPumpTurn);
    WebObjectsInstallNative();
    gGraphicsHooks.toolBarAddButton = ToolBarAddButton;
    gGuiHooks.webViewPending = WebViewProcessPending;
    gGuiHooks.webViewFlush = WebViewMsgFlush;
    gGuiHooks.webHostCreate = WebWindowCreateHost;
    gGuiHooks.webHostMoved = WebWindowHostMoved;
    gGuiHooks.webViewPane = WvPaneIs;
    WindowEventSubscribe(kWindowDestroyed, WebHostWindowGone);
    gGuiHooks.webHostResize = WebWindowHostResize;
    gGuiHooks.webHostFocus = WebWindowHostFocus;
    gWebHooks.topWindow = ObjectTopWindow;
    gWebHooks.sysColor = SysColorEntry;
    gGuiHooks.oleInit = ComOleInit;
    gGuiHooks.oleUninit = ComOleUninit;
    const FacilityRow ribbon = RibbonInstallHooks();
    gHooks.automationRun = AutomationServerRun;
    const FacilityRow comObjects = ComObjectsInstall();
    const FacilityRow htmlControl = HtmlControlInstall();
    gHtmlTwinHooks = HtmlTwinHooks{WebHtmlTwinCreate,     WebHtmlTwinDestroy, WebHtmlTwinResize,
                                   WebHtmlTwinSetContent, WebHtmlTwinMethod,  WebHtmlTwinFocus,
                                   WebHtmlTwinSetProp,    WebHtmlTwinGetContent, WebHtmlTwinEnable};
    gWebHooks.htmlControlHost = HtmlControlTwinHost;
    gWebHooks.htmlControlPage = HtmlControlTwinPage;
    gWebHooks.htmlControlFocus = HtmlControlFocusFromPage;
    gFormCreatorHooks.htmlRebuildAll = HtmlControlRebuildAll;
    gFormCreatorHooks.webWindowMoved = WebWindowMovedForForm;
    gFormCreatorHooks.hostsWebWindows = WebWindowsHostedBy;
    gFormCreatorHooks.statusPanelCreate = StatusPanelCreate;
    gGraphicsHooks.statusBarAddPanel = StatusBarAddPanel;
    gFormCreatorHooks.toolButtonCreate = ToolButtonCreate;
    gFormSubObjectHooks = FormSubObjectHooks{FormPanelCount, FormPanelAt, FormButtonCount, FormButtonAt, FormPanelWinFlag1};
    gGuiHooks.printDialogCommand = PrintDialogCommand;
    gGuiHooks.windowImagePrint = PrintWindowImage;
    gPrintObjectHooks.listPrinters = ListPrinters;
    gImageLoadHooks.fetch = ImageFetch;
    gImageLoadHooks.freeData = ImageFreeData;
    gImageLoadHooks.oemToAnsi = ImageOemToAnsi;
    gImageLoadHooks.refused = ImageLogRefusal;
    gPrtPictImage = PrintPictImage;
    gOlePictHooks.pictBitmap = PictBitmapOf;
    gOlePictHooks.objectIcon = IconOf;
    gOlePictHooks.pictFromWindow = PictCreateFromWindow;
    gOlePictHooks.pictFromBitmap = PictCreateFromBitmap;
    gOlePictHooks.iconFromHandle = IconCreateFromHandle;
    gPictResourceHooks.formResource = PictFormResource;
    gWebImageFormResource = PictFormResource;
    // The runtime starts these rows top to bottom and cleans them up in the
    // same order at exit: the menus go in bulk, print jobs and previews close
    // while their windows stand, then the windows go, and only after them what
    // the windows' objects used (form buffers, image lists and media, the web
    // view's image lists, variants); last the folders of ended page hosts.
    const FacilityRow rows[] = {
        controls,
        PrtFacility(),
        windows,
        forms,
        graphics,
        FacilityRow{"WebImageLists", nullptr, WebImageListDestroyAll},
        comObjects,
        ribbon,
        htmlControl,
        FacilityRow{"PageHosts", nullptr, WvPageHostsCleanup},
    };
    for (const FacilityRow& row : rows)
        if (const char* refused = FacilityListAdd(row)) fprintf(stderr, "Facility %s: %s\n", row.name, refused);
}

void InstallMessageHandlers() {
    ObjectsInstallSessionHooks();
    PrtRegisterHandlers();
}

