// install.cpp - WebObjectsInstall: the core's own kinds and every web
// control's row of the web kind table. Each kind puts in its own row once, so
// the order below does not matter.
#include "webview/controls/webcontrols.h"

#include "webview/core/webobject.h"

void WebButtonInstall();
void WebHtmlCtlInstall();
void WebDataListInstall();
void WebListViewInstall();
void WebTreeViewInstall();
void WebEditInstall();
void WebComboBoxInstall();
void WebStaticInstall();
void WebEditDateTimeInstall();
void WebDrawnInstall();
void WebTabControlInstall();
void WebMenuInstall();
void WebStatusBarInstall();
void WebToolBarInstall();

void WebObjectsInstall() {
    WebCoreInstall();
    WebButtonInstall();
    WebHtmlCtlInstall();
    WebDataListInstall();
    WebListViewInstall();
    WebTreeViewInstall();
    WebEditInstall();
    WebComboBoxInstall();
    WebStaticInstall();
    WebEditDateTimeInstall();
    WebDrawnInstall();
    WebTabControlInstall();
    WebMenuInstall();
    WebStatusBarInstall();
    WebToolBarInstall();
}
