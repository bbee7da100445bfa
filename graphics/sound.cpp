// sound.cpp - the sounds the server asks for (1124 load, 1125 close, 1126
// play): a client file name or the sound's bytes in a movable global block,
// kept under a handle of the registry's sound range and played synchronously.
#include <windows.h>

#include <mmsystem.h>

#include <cstdlib>
#include <cstring>

#include "graphics/gfxcommon.h"
#include "graphics/media.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/handles.h"
#include "session/util/strutil.h"

namespace {

enum SoundOption : uint32_t { kSndOptionPlain = 0, kSndOptionMci = 3 };
// How a sound is played: a client file through sndPlaySoundA, a client file
// through the MCI "waveaudio" device, or the sound's own bytes from memory.
enum SoundMode : uint8_t { kSndModeFile = 0, kSndModeMciFile = 1, kSndModeMemory = 2 };
constexpr char kResourceMark = '@';
constexpr char kWaveDevice[] = "waveaudio";
constexpr uint32_t kLoadFailed = 0;
constexpr int32_t kSoundDone = 0;
constexpr size_t kMaxNameBytes = MAX_PATH;

struct SoundRecord {
    uint8_t mode;
    HGLOBAL memory;
};

bool DefaultDialog(HWND owner, int kind) { return FileDialog(owner, kind); }
MediaFileDialogFn gSoundDialog = DefaultDialog;

// A movable global block holding a copy of bytes; null without memory.
HGLOBAL GlobalCopy(const void* bytes, size_t n) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, n ? n : 1);
    if (!g) return nullptr;
    void* p = GlobalLock(g);
    if (!p) {
        GlobalFree(g);
        return nullptr;
    }
    if (n) memcpy(p, bytes, n);
    GlobalUnlock(g);
    return g;
}

// A server file or resource fetched whole into a global block.
HGLOBAL FetchedCopy(uint8_t* data, uint32_t size, int rc) {
    if (rc != 0 || !data) {
        if (data) CacheFreeData(data);
        return nullptr;
    }
    HGLOBAL g = GlobalCopy(data, size);
    CacheFreeData(data);
    return g;
}

// "@N": the server's sound resource number N; null when N is not a number.
HGLOBAL FetchResource(const char* digits) {
    char* end = nullptr;
    unsigned long number = strtoul(digits, &end, 10);
    if (!digits[0] || !end || *end || number > UINT32_MAX) return nullptr;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    int rc = CacheFetchResource("", kFetchSound, 0, static_cast<uint32_t>(number), &data, &size);
    return FetchedCopy(data, size, rc);
}

HGLOBAL FetchServerFile(const char* name) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    int rc = CacheFetch(name, kFetchFile, &data, &size);
    return FetchedCopy(data, size, rc);
}

// A client file must open for reading; its name is what is kept.
HGLOBAL ClientFileName(const char* path) {
    if (!path[0]) return nullptr;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    CloseHandle(f);
    return GlobalCopy(path, strlen(path) + 1);
}

SoundRecord* SoundOf(uint32_t handle) { return static_cast<SoundRecord*>(HandleLookup(kHandleSound, handle)); }

void SoundFree(SoundRecord* s) {
    HandleRemoveRecord(kHandleSound, s);
    if (s->memory) GlobalFree(s->memory);
    LocalFreeMem(s);
}

// A file through MCI "waveaudio": opened, played to its end and closed.
void PlayThroughMci(const char* path) {
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = kWaveDevice;
    open.lpstrElementName = path;
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open)))
        return;
    MCI_PLAY_PARMS play = {};
    mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&play));
    mciSendCommandA(open.wDeviceID, MCI_CLOSE, MCI_WAIT, 0);
}

}  // namespace

void SoundSetFileDialog(MediaFileDialogFn fn) { gSoundDialog = fn ? fn : DefaultDialog; }

int32_t SndLoad(const char* name, uint32_t nameLen, uint32_t option) {
    if (option != kSndOptionPlain && option != kSndOptionMci) return kLoadFailed;
    // A name is used as given or not at all: one holding a NUL, cut there,
    // would load another file; one longer than a path is no file.
    if (!NameIsWhole(name, nameLen, kMaxNameBytes - 1)) {
        DebugLogWrite("SndLoad", "the sound's name holds a NUL or passes %u characters: refused",
                      static_cast<unsigned>(kMaxNameBytes - 1));
        return kLoadFailed;
    }
    const size_t n = nameLen;
    char path[kMaxNameBytes];
    if (n) memcpy(path, name, n);
    path[n] = '\0';
    SoundRecord* s = static_cast<SoundRecord*>(LocalAllocZero(sizeof(SoundRecord)));
    if (!s) return kLoadFailed;
    uint8_t clientMode = option == kSndOptionMci ? kSndModeMciFile : kSndModeFile;
    if (option == kSndOptionPlain && path[0] == kResourceMark) {
        s->memory = FetchResource(path + 1);
        s->mode = kSndModeMemory;
    } else if (n == 0) {
        if (gSoundDialog(gMainWindowWnd, kFileDialogWave)) s->memory = ClientFileName(gFileDlgName);
        s->mode = clientMode;
    } else if (path[0] == kClientPathMark) {
        s->memory = ClientFileName(path + 1);
        s->mode = clientMode;
    } else {
        s->memory = FetchServerFile(path);
        s->mode = kSndModeMemory;
    }
    uint32_t handle = s->memory ? HandleNew(kHandleSound, s) : 0;
    if (!handle) {
        SoundFree(s);
        return kLoadFailed;
    }
    return static_cast<int32_t>(handle);
}

int32_t SndPlay(uint32_t handle) {
    SoundRecord* s = SoundOf(handle);
    if (!s || !s->memory) return kErrNoSound;
    // The media library is loaded first: without it the sound is not played.
    if (!SysLibNeed(kSysLibMedia)) return kErrNoMemory;
    // Playing waits for the sound's end; the block stays locked only meanwhile,
    // and is unlocked only when the handle still names the same sound.
    HGLOBAL memory = s->memory;
    uint8_t mode = s->mode;
    const char* p = static_cast<const char*>(GlobalLock(memory));
    if (!p) return kErrNoSound;
    switch (mode) {
    case kSndModeFile: sndPlaySoundA(p, SND_SYNC | SND_NODEFAULT); break;
    case kSndModeMciFile: PlayThroughMci(p); break;
    default: sndPlaySoundA(p, SND_SYNC | SND_NODEFAULT | SND_MEMORY); break;
    }
    if (SoundOf(handle) == s) GlobalUnlock(memory);
    return kSoundDone;
}

int32_t SndClose(uint32_t handle) {
    SoundRecord* s = SoundOf(handle);
    if (!s) return kErrNoSound;
    SoundFree(s);
    return kSoundDone;
}

void SndCloseAll() {
    while (uint32_t n = HandleCount(kHandleSound)) SoundFree(static_cast<SoundRecord*>(HandleRecordAt(kHandleSound, n - 1)));
}

uint32_t SoundCount() { return HandleCount(kHandleSound); }

void SoundInstall() {
    gHooks.sndLoad = SndLoad;
    gHooks.sndClose = SndClose;
    gHooks.sndPlay = SndPlay;
}
