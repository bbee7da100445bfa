// wvlaunch.h - the page host as the default runtime: its parts, starting it,
// and removing what the hosts it started left behind.
#pragma once

#include <cstddef>

// True when Node, the page-host files beside the program and Chromium are all
// there; else false with the first missing part named in missing.
bool WvPageHostPartsFound(char* missing, size_t size);
// Starts the page host once and answers its loopback port, or -1 when it could
// not be started (not tried again).
int WvPageHostStart();
// The started page host has ended: the next start starts a fresh one, and the
// session folders of the started hosts that are gone are removed.
void WvPageHostForget();
// At the client's end: the session folders of the started hosts that are gone
// are removed (those still running remove their own).
void WvPageHostsCleanup();
// A file URL on any drive ("file:///C:/…") as the URL of the file's Unix
// path, which the page host's browser opens; false (out untouched) for any
// other URL or a path with no Unix form.
bool WvFileUrlToUnix(const wchar_t* url, wchar_t* out, size_t size);
