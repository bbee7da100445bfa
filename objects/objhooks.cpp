// objhooks.cpp - the hook tables of the object model, empty until the session,
// the web-view mode, COM hosting and printing fill them.
#include "objects/objhooks.h"

ObjectHooks gObjectHooks;
WebObjectOps gWebObjectOps;
ComObjectHooks gComObjectHooks;
PrintObjectHooks gPrintObjectHooks;
