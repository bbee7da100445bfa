// olestorage.cpp - the OLE storage of a form: the lock bytes that put a
// compound file on a region of an open file or on a memory block, saving a
// window's Containers and Controls into a form file's OLE area, the saved
// storage a form load copies its objects from, and the temporary file kept for
// forms saved as XML.
#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <new>
#include <vector>

#include "session/util/olestore.h"
#include "com/olecontainer.h"
#include "com/oleinternal.h"
#include "objects/objrecord.h"
#include "session/config.h"
#include "session/util/mem.h"

OleStoreInfo gFormOleTemp;

namespace {

// The class of a form's OLE area, written on its root storage.
const CLSID kFormOleClass = {0x63045ADA, 0x547D, 0x4B5D, {0xBF, 0xD7, 0xF3, 0xF6, 0x57, 0x02, 0xED, 0xC0}};
constexpr DWORD kStorageMode = STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kOpenMode = STGM_TRANSACTED | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kLocksSupported = LOCK_WRITE | LOCK_EXCLUSIVE | LOCK_ONLYONCE;
constexpr char kTempPrefix[] = "QOV";

// A compound file's bytes: a region of an open file from its base offset on,
// or a private copy of a memory block that cannot grow past its size. Reads
// and writes report the counts they really moved; every offset is first cut
// to the region (session/util/olestore.h).
class CQovLockBytes final : public OneFace<ILockBytes, IID_ILockBytes> {
public:
    CQovLockBytes(HANDLE file, uint32_t base, uint32_t size) : file_(file), base_(base), size_(size) {}
    bool CopyBlock(const uint8_t* data, uint32_t size) {
        try {
            block_.assign(data, data + size);
        } catch (...) {
            return false;
        }
        size_ = capacity_ = size;
        memoryMode_ = true;
        return true;
    }
    STDMETHODIMP ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG n, ULONG* read) override;
    STDMETHODIMP WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG n, ULONG* written) override;
    STDMETHODIMP Flush() override { return S_OK; }
    STDMETHODIMP SetSize(ULARGE_INTEGER size) override {
        if (memoryMode_ && !LockBytesSizeFits(size.QuadPart, capacity_)) return E_FAIL;
        if (size.QuadPart >= kLockBytesOffsetLimit) return STG_E_MEDIUMFULL;
        size_ = static_cast<uint32_t>(size.QuadPart);
        return S_OK;
    }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return S_OK; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return S_OK; }
    STDMETHODIMP Stat(STATSTG* st, DWORD) override {
        if (!st) return E_POINTER;
        memset(st, 0, sizeof *st);
        st->type = STGTY_LOCKBYTES;
        st->cbSize.QuadPart = size_;
        SYSTEMTIME now;
        GetSystemTime(&now);
        SystemTimeToFileTime(&now, &st->mtime);
        st->ctime = st->atime = st->mtime;
        st->grfLocksSupported = kLocksSupported;
        return S_OK;
    }
    uint32_t Size() const { return size_; }

private:
    HANDLE file_;
    uint32_t base_;
    uint32_t size_;
    uint32_t capacity_ = 0;
    bool memoryMode_ = false;
    std::vector<uint8_t> block_;
};

STDMETHODIMP CQovLockBytes::ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG n, ULONG* read) {
    if (read) *read = 0;
    uint32_t count = LockBytesReadCount(offset.QuadPart, n, size_);
    if (count == 0) return S_OK;
    if (!buffer) return E_POINTER;
    if (memoryMode_) {
        memcpy(buffer, block_.data() + offset.QuadPart, count);
        if (read) *read = count;
        return S_OK;
    }
    uint32_t pos;
    if (!LockBytesFilePos(base_, offset.QuadPart, count, &pos)) return S_OK;
    if (SetFilePointer(file_, static_cast<LONG>(pos), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return E_FAIL;
    // A region cut short by the end of the file reads what is there.
    DWORD got = 0;
    if (!ReadFile(file_, buffer, count, &got, nullptr)) return E_FAIL;
    if (read) *read = got;
    return S_OK;
}

STDMETHODIMP CQovLockBytes::WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG n, ULONG* written) {
    if (written) *written = 0;
    if (n == 0) return S_OK;
    if (!buffer) return E_POINTER;
    if (memoryMode_) {
        uint32_t count = LockBytesWriteCount(offset.QuadPart, n, size_);
        if (count) memcpy(block_.data() + offset.QuadPart, buffer, count);
        if (written) *written = count;
        return S_OK;
    }
    uint32_t pos;
    if (!LockBytesFilePos(base_, offset.QuadPart, n, &pos)) return STG_E_MEDIUMFULL;
    if (SetFilePointer(file_, static_cast<LONG>(pos), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return E_FAIL;
    DWORD put = 0;
    if (!WriteFile(file_, buffer, n, &put, nullptr)) return E_FAIL;
    if (written) *written = put;
    // A file region grows with what is written past its end.
    uint64_t end = offset.QuadPart + put;
    if (end > size_) size_ = static_cast<uint32_t>(end);
    return S_OK;
}

CQovLockBytes* NewLockBytes(const OleStoreInfo* where) {
    CQovLockBytes* b = new (std::nothrow) CQovLockBytes(static_cast<HANDLE>(where->file), where->base, where->size);
    if (!b) return nullptr;
    b->AddRef();
    // A memory block's base, like a file's, is where the region begins.
    if (where->memory && !b->CopyBlock(where->memory + where->base, where->size)) {
        b->Release();
        return nullptr;
    }
    return b;
}

// Saves every object; false when one could not be saved. An object that
// cannot save itself at all (E_NOTIMPL: Wine's browser, script control, media
// player and HTML editor) keeps its class with an empty state, from which the
// load makes it new.
bool SaveEachIn(ObjectRecord* container) {
    bool ok = true;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        CGenObject* g = OleObjectOf(c);
        if (g) {
            HRESULT hr = GenObjSave(g);
            if (FAILED(hr) && hr != E_NOTIMPL) ok = false;
        } else if (c->kind == kKindPanel && !ObjectIsWebView(c)) {
            if (!SaveEachIn(c)) ok = false;
        }
    }
    return ok;
}

}  // namespace

ILockBytes* LockBytesCreate(const OleStoreInfo* where) { return where ? NewLockBytes(where) : nullptr; }

IStorage* FormSavedStorage(CQovFormOleSupport* f, const OleStoreInfo* store) {
    if (!f || !store) return nullptr;
    if (f->saved) return f->saved;
    if (!store->memory && (!store->file || store->file == INVALID_HANDLE_VALUE)) return nullptr;
    ILockBytes* bytes = NewLockBytes(store);
    if (!bytes) return nullptr;
    IStorage* stg = nullptr;
    if (FAILED(StgOpenStorageOnILockBytes(bytes, nullptr, kOpenMode, nullptr, 0, &stg))) {
        bytes->Release();
        return nullptr;
    }
    f->savedBytes = bytes;
    f->saved = stg;
    return stg;
}

IStorage* OleFormSavedStorage(ObjectRecord* window, const OleStoreInfo* store) {
    return FormSavedStorage(OleFormOf(window), store);
}

void OleFormReleaseStorage(ObjectRecord* window) {
    CQovFormOleSupport* f = OleFormOf(window);
    if (!f) return;
    ReleaseAndClear(f->saved);
    ReleaseAndClear(f->savedBytes);
}

bool OleFormSaveEach(ObjectRecord* window) { return !window || !OleFormOf(window) || SaveEachIn(window); }

int OleFormSaveObjects(ObjectRecord* window, HANDLE file, uint32_t base, uint32_t* size) {
    CQovFormOleSupport* f = OleFormOf(window);
    if (!f) return 1;
    // A form written without an object's state could not be loaded again.
    bool saved = OleFormSaveEach(window);
    OleStoreInfo where = {file, nullptr, base, size ? *size : 0, 0};
    CQovLockBytes* bytes = NewLockBytes(&where);
    if (!bytes) return 0;
    IStorage* stg = nullptr;
    if (FAILED(StgCreateDocfileOnILockBytes(bytes, kStorageMode, 0, &stg))) {
        bytes->Release();
        return 0;
    }
    HRESULT hr = f->root ? f->root->CopyTo(0, nullptr, nullptr, stg) : E_FAIL;
    if (SUCCEEDED(hr)) {
        stg->Commit(STGC_DEFAULT);
        WriteClassStg(stg, kFormOleClass);
        hr = stg->Commit(STGC_DEFAULT);
    }
    stg->Release();
    if (size) *size = bytes->Size();
    bytes->Release();
    return saved && SUCCEEDED(hr) ? 1 : 0;
}

void OleFormSaveToTemp(ObjectRecord* window) {
    if (!(gClientModeFlags & 1)) return;
    gFormOleTemp.size = 0;
    gFormOleTemp.base = 0;
    gFormOleTemp.memory = nullptr;
    if (!gFormOleTemp.file) {
        char folder[MAX_PATH], name[MAX_PATH];
        HANDLE h = INVALID_HANDLE_VALUE;
        if (GetTempPathA(MAX_PATH, folder) && GetTempFileNameA(folder, kTempPrefix, 0, name))
            h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        // The handle stays open for the process: the file goes when it ends.
        gFormOleTemp.file = h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    if (!gFormOleTemp.file) return;
    uint32_t size = 0;
    if (!OleFormSaveObjects(window, static_cast<HANDLE>(gFormOleTemp.file), 0, &size)) size = 0;
    gFormOleTemp.size = size;
}

bool OleFormAreaBytes(ObjectRecord* window, uint8_t** data, uint32_t* size) {
    *data = nullptr;
    *size = 0;
    if (!OleFormOf(window)) return true;
    // The form writer builds the file in memory: the storage is written to a
    // temporary file first and its bytes taken from there.
    char folder[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, kTempPrefix, 0, name)) return false;
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    uint32_t n = 0;
    bool ok = OleFormSaveObjects(window, h, 0, &n) != 0;
    if (ok && n) {
        *data = static_cast<uint8_t*>(GuardedAlloc(n));
        DWORD got = 0;
        ok = *data && SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && ReadFile(h, *data, n, &got, nullptr) &&
             got == n;
        if (ok) *size = n;
    }
    CloseHandle(h);
    if (!ok) {
        GuardedFree(*data);
        *data = nullptr;
    }
    return ok;
}
