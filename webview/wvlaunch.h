// wvlaunch.h - the page host as the default runtime: its parts, and starting it.
#pragma once

#include <cstddef>

// True when Node, the page-host files beside the program and Chromium are all
// there; else false with the first missing part named in missing.
bool WvPageHostPartsFound(char* missing, size_t size);
// Starts the page host once and answers its loopback port, or -1 when it could
// not be started (not tried again).
int WvPageHostStart();
// The started page host has ended: the next start starts a fresh one.
void WvPageHostForget();
