// webcontrols.h - the web view's controls as a whole: WebObjectsInstall puts
// in the core's own kinds and every web control's row of the web kind table.
#pragma once

void WebObjectsInstall();
