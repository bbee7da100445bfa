// webobjglue.h - the cross build's services for the web-view objects.
#pragma once

// Fills the web-view objects' services from the session and the window layer
// and installs the web-view object operations into the object model.
void WebObjectsInstallNative();
