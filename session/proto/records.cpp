// records.cpp - decoding of EventItem, MethodCallRec and PropChainRec from server
// messages, and building of the event message with its items.
#include "session/proto/records.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/util/strutil.h"

bool ItemIsText(uint32_t kind) { return kind == kItemText || kind == kItemText8 || kind == kItemUtf8; }

bool DecodeEventItem(const WireReader& r, size_t off, EventItem* item) {
    EventItem it = {};
    if (!r.U32At(off + kEviKind, &it.kind) || !r.U32At(off + kEviSize, &it.size) ||
        !r.U64At(off + kEviValue, &it.value) || !r.U32At(off + kEviVarRef, &it.varRef))
        return false;
    if (ItemIsText(it.kind)) {
        if (it.size == 0) {
            it.data = "";
        } else {
            // The text's offset is the whole 64-bit value: one with a high word
            // lies past any message and is refused, never cut to its low word.
            CheckedSize end(it.value);
            end.Add(it.size);
            if (!end.Fits(r.Length())) return false;
            it.data = r.PtrAt(end.Size() - it.size, it.size);
            if (!it.data) return false;
        }
    }
    *item = it;
    return true;
}

// Reads a counted name at off; false when it passes the message or the cap.
static bool ReadName(const WireReader& r, size_t off, uint32_t len, const char** name) {
    if (len > kMcMaxNameLength) return false;
    if (len == 0) {
        *name = nullptr;
        return r.Has(off, 0);
    }
    *name = reinterpret_cast<const char*>(r.PtrAt(off, len));
    return *name != nullptr;
}

static void NoteNumber(MethodCallRec* rec, uint32_t i) {
    const EventItem& a = rec->args[i];
    rec->argPresent[i] = a.kind != kItemNone;
    rec->argNumbers[i] = a.kind == kItemInt ? static_cast<int32_t>(a.value) : 0;
}

// The head shared by 2416 and 2417: handle, type, method, no-check byte, name
// length, argument count and result item.
static int DecodeCallHead(const WireReader& r, MethodCallRec* rec) {
    memset(rec, 0, sizeof(*rec));
    if (!r.U32At(kOpHandle, &rec->handle) || !r.U32At(kMcType, &rec->objectType) ||
        !r.U32At(kMcMethod, &rec->method) || !r.U8At(kMcNoCheck, &rec->noCheck) ||
        !r.U32At(kMcNameLength, &rec->nameLength) || !r.U32At(kMcArgCount, &rec->argCount))
        return kErrBadRequest;
    if (rec->argCount > kMcMaxArgs || rec->nameLength > kMcMaxNameLength) return kErrBadRequest;
    if (!DecodeEventItem(r, kMcResult, &rec->result)) return kErrBadRequest;
    return 0;
}

// The arguments behind the member name, each {item, u32 name length, name}.
static int DecodeCallArgs(const WireReader& r, size_t at, MethodCallRec* rec) {
    for (uint32_t i = 0; i < rec->argCount; i++) {
        uint32_t nameLen;
        if (!DecodeEventItem(r, at, &rec->args[i]) || !r.U32At(at + kEventItemSize, &nameLen))
            return kErrBadRequest;
        at += kEventItemSize + 4;
        if (!ReadName(r, at, nameLen, &rec->argNames[i])) return kErrBadRequest;
        rec->argNameLengths[i] = nameLen;
        at += nameLen;
        NoteNumber(rec, i);
    }
    return 0;
}

int DecodeMethodCall(const uint8_t* msg, size_t len, bool swapped, MethodCallRec* rec, PropChainRec* chain) {
    WireReader r(msg, len, swapped);
    if (DecodeCallHead(r, rec) != 0) return kErrBadRequest;
    uint32_t hopCount;
    if (!r.U32At(kMcHopCount, &hopCount) || hopCount > kMcMaxHops) return kErrBadRequest;
    size_t at = kMcHops;
    if (hopCount) {
        if (!chain) return kErrBadRequest;
        memset(chain, 0, sizeof(*chain));
        uint32_t hopArgs = 0;
        for (uint32_t h = 0; h < hopCount; h++) {
            PropChainHop& hop = chain->hops[h];
            if (!r.U32At(at, &hop.nameLength) || !r.U32At(at + 4, &hop.argCount)) return kErrBadRequest;
            if (hop.argCount > kMcMaxHopArgs - hopArgs) return kErrBadRequest;
            if (!ReadName(r, at + 8, hop.nameLength, &hop.name)) return kErrBadRequest;
            at += 8 + hop.nameLength;
            for (uint32_t a = 0; a < hop.argCount; a++) {
                if (!DecodeEventItem(r, at, &chain->args[hopArgs + a])) return kErrBadRequest;
                at += kEventItemSize;
            }
            hopArgs += hop.argCount;
        }
        chain->hopCount = hopCount;
        rec->chain = chain;
    }
    if (!ReadName(r, at, rec->nameLength, &rec->name)) return kErrBadRequest;
    return DecodeCallArgs(r, at + rec->nameLength, rec);
}

int DecodeOlePropCall(const uint8_t* msg, size_t len, bool swapped, MethodCallRec* rec, uint32_t* dispId,
                      EventItem* value) {
    WireReader r(msg, len, swapped);
    if (DecodeCallHead(r, rec) != 0) return kErrBadRequest;
    if (!r.U32At(kOpDispId, dispId) || !DecodeEventItem(r, kOpValue, value)) return kErrBadRequest;
    if (!ReadName(r, kOpName, rec->nameLength, &rec->name)) return kErrBadRequest;
    // A property's own arguments (an indexed property) follow its name as a
    // method's do; there is no chain (+52 holds the DISPID).
    return DecodeCallArgs(r, kOpName + rec->nameLength, rec);
}

bool MsgBuildEvent(MsgBuf* buf, const EventRecord* ev, uint32_t serverVersion, uint32_t seq, bool swapped) {
    bool old = serverVersion < kEventNewLayoutVersion;
    uint32_t head = old ? kEventMsgHeadOld : kEventMsgHead;
    uint32_t textLen = ev->text ? ev->textLength : 0;
    CheckedSize total(head);
    total.Add(textLen);
    if (!total.Fits(kMsgMaxLength) || !MsgBufReserve(buf, total.value)) return false;
    uint8_t* p = buf->data;
    memset(p, 0, head);
    WirePutU32(p, FrameWord(head, seq, 0), swapped);
    WirePutU32(p + 4, kMsgEvent, swapped);
    uint8_t* e = p + kEvmRecord;
    WirePutU32(e + kEvrHandle, ev->handle, swapped);
    WirePutU32(e + kEvrOvar, ev->ovar, swapped);
    WirePutU32(e + kEvrObjectId, ev->objectId, swapped);
    WirePutU32(e + kEvrEventId, static_cast<uint32_t>(ev->eventId), swapped);
    e[kEvrKind] = ev->kind;
    e[kEvrUrgent] = ev->urgent;
    WirePutU16(e + kEvrModifiers, ev->modifiers, swapped);
    WirePutU32(e + kEvrValue, static_cast<uint32_t>(ev->value), swapped);
    WirePutU32(e + kEvrExtra, static_cast<uint32_t>(ev->extra), swapped);
    WirePutU32(e + kEvrTextLength, textLen, swapped);
    WirePutU32(e + kEvrTextOffset, textLen ? head : 0, swapped);
    if (!old) WirePutU32(e + kEvrItemCount, 0, swapped);
    if (textLen) memcpy(p + head, ev->text, textLen);
    buf->used = static_cast<uint32_t>(total.value);
    MsgSetLength(buf, swapped);
    return true;
}

int MsgAppendEventItem(MsgBuf* buf, const EventItem* item, uint32_t serverVersion, bool swapped) {
    uint32_t textLen = ItemIsText(item->kind) && item->data ? item->size : 0;
    CheckedSize need(buf->used);
    need.Add(kEventItemSize).Add(textLen);
    if (!need.Fits(kMsgMaxLength) || !MsgBufReserve(buf, need.value)) return 1;
    uint8_t* p = buf->data + buf->used;
    uint32_t textOff = buf->used + kEventItemSize;
    uint64_t value = textLen ? textOff : item->value;
    WirePutU32(p + kEviKind, item->kind, swapped);
    WirePutU32(p + kEviSize, item->size, swapped);
    WirePutU64(p + kEviValue, value, swapped);
    WirePutU32(p + kEviVarRef, item->varRef, swapped);
    if (textLen) memcpy(p + kEventItemSize, item->data, textLen);
    buf->used = static_cast<uint32_t>(need.value);
    MsgSetLength(buf, swapped);
    if (WireGetU32(buf->data + 4, swapped) == kMsgEvent) {
        uint32_t n = WireGetU32(buf->data + kEvmItemCount, swapped) + 1;
        WirePutU32(buf->data + kEvmItemCount, n, swapped);
        // The newer record repeats the count at its own +36.
        if (serverVersion >= kEventNewLayoutVersion)
            WirePutU32(buf->data + kEvmRecord + kEvrItemCount, n, swapped);
    }
    return 0;
}

// ---- Method-call arguments ------------------------------------------------------------------

bool CallArgGiven(const MethodCallRec* call, uint32_t i) {
    return call && i < call->argCount && i < kMcMaxArgs && call->argPresent[i] && call->args[i].kind != kItemNone;
}

int32_t CallArgInt(const MethodCallRec* call, uint32_t i, int32_t def) {
    if (!CallArgGiven(call, i)) return def;
    const EventItem& a = call->args[i];
    if (!ItemIsText(a.kind)) return static_cast<int32_t>(a.value);
    char num[16] = {};
    uint32_t n = a.size < sizeof num - 1 ? a.size : static_cast<uint32_t>(sizeof num - 1);
    if (a.data) memcpy(num, a.data, n);
    return static_cast<int32_t>(strtol(num, nullptr, 10));
}

const char* CallArgText(const MethodCallRec* call, uint32_t i, uint32_t* length) {
    static char number[16];
    *length = 0;
    if (!CallArgGiven(call, i)) return nullptr;
    const EventItem& a = call->args[i];
    if (ItemIsText(a.kind)) {
        *length = a.data ? a.size : 0;
        return a.data ? static_cast<const char*>(a.data) : "";
    }
    *length = static_cast<uint32_t>(snprintf(number, sizeof number, "%d", static_cast<int32_t>(a.value)));
    return number;
}

uint32_t CallArgCopy(const MethodCallRec* call, uint32_t i, char* out, size_t outSize) {
    if (!outSize) return 0;
    uint32_t length = 0;
    const char* text = CallArgText(call, i, &length);
    uint32_t n = text ? (length < outSize - 1 ? length : static_cast<uint32_t>(outSize - 1)) : 0;
    if (n) memcpy(out, text, n);
    out[n] = 0;
    return n;
}

int32_t CallArgName(const MethodCallRec* call, uint32_t i, char* out, size_t outSize) {
    if (!outSize) return kCallArgNameRefused;
    out[0] = 0;
    uint32_t length = 0;
    const char* text = CallArgText(call, i, &length);
    if (!text) return 0;
    if (!NameIsWhole(text, length, outSize - 1)) return kCallArgNameRefused;
    memcpy(out, text, length);
    out[length] = 0;
    return static_cast<int32_t>(length);
}
