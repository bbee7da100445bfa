// media.h - movies, animations and sounds: the Movie kind's entries the window
// layer calls, the sounds the server drives, and the file dialog they share
// (replaceable so that tests can answer it).
#pragma once

#include <windows.h>

#include <cstdint>

#include "objects/objcreate.h"

// The open-file dialog of a kind (FileDialogKind); true with the name chosen in
// gFileDlgName, false when cancelled.
typedef bool (*MediaFileDialogFn)(HWND owner, int kind);
// Null puts the real dialog back.
void MovieSetFileDialog(MediaFileDialogFn fn);
void SoundSetFileDialog(MediaFileDialogFn fn);

// ---- Movies --------------------------------------------------------------------------
ObjectRecord* MovieCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// MM_MCINOTIFY with MCI_NOTIFY_SUCCESSFUL arrived at wnd: the movie with that
// device id, in wnd or any of its panels, ends its play (when it is still
// playing: a pause handled after the end but before its notice stays) and rewinds.
void MovieOnNotify(HWND wnd, uint32_t deviceId);
// At shut-down: the clip the avivideo device still has open is closed.
void MovieCloseAll();
// The MCI device id behind a movie (0 for another kind), for tests and scripts.
uint32_t MovieDeviceId(ObjectRecord* rec);

// ---- Animations ----------------------------------------------------------------------
ObjectRecord* AnimateCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// The local copy of a served clip the animation has open, or null.
const char* AnimateTempFile(ObjectRecord* rec);

// ---- Sounds --------------------------------------------------------------------------
// 1124: a sound from a client file ('!'), the dialog (no name), a numbered
// server resource ('@', option 0) or a served file; options 0 and 3 only.
// The handle (of the registry's sound range), 0 when nothing was loaded.
int32_t SndLoad(const char* name, uint32_t nameLen, uint32_t option);
// 1126 plays the sound to its end and 1125 closes it: 0, or -1 for a handle
// that no load gave or that was closed.
int32_t SndPlay(uint32_t handle);
int32_t SndClose(uint32_t handle);
// The clean-up step: every sound closed.
void SndCloseAll();
uint32_t SoundCount();
