// objwire_test.cpp - the create request and the object operations through the
// handlers the session dispatches to, with a test kind; answers are read from
// the send buffer (no link is open, so nothing leaves the process).
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objwire.h"
#include "session/session.h"

namespace {

std::vector<uint8_t> Msg(uint32_t type, std::initializer_list<uint32_t> words, const std::vector<uint8_t>& tail = {}) {
    std::vector<uint8_t> m;
    auto put = [&m](uint32_t v) { for (int i = 0; i < 4; ++i) m.push_back((v >> (8 * i)) & 0xFF); };
    put(0);
    put(type);
    for (uint32_t w : words) put(w);
    m.insert(m.end(), tail.begin(), tail.end());
    uint32_t n = static_cast<uint32_t>(m.size());
    memcpy(m.data(), &n, 4);
    return m;
}

int32_t Dispatch(const std::vector<uint8_t>& bytes) {
    SrvMsg m{bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 0, WireReader(bytes.data(), bytes.size(), false)};
    memcpy(&m.type, bytes.data() + 4, 4);
    if (m.type == kMsgCreate) return gSrvMsg1400s[kMsgCreate - kMsgRange1400First](&m);
    return gSrvMsg2400s[m.type - kMsgRange2400First](&m);
}

// The answer ProcessSrvMsg sent for a request: its type and first value.
std::pair<uint32_t, int32_t> Answered(const std::vector<uint8_t>& bytes) {
    SrvMsg m{bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 0, WireReader(bytes.data(), bytes.size(), false)};
    memcpy(&m.type, bytes.data() + 4, 4);
    gSendBuf.used = 0;
    ProcessSrvMsg(&m);
    uint32_t type = 0;
    int32_t value = 0;
    if (gSendBuf.used >= 12) {
        memcpy(&type, gSendBuf.data + 4, 4);
        memcpy(&value, gSendBuf.data + 8, 4);
    }
    return {type, value};
}

uint32_t gColour;
uint32_t TestGetProp(ObjectRecord*, uint32_t id) {
    if (id == kPidBgColor) throw std::bad_alloc();   // a value that cannot be held
    return id == kPidFgColor ? gColour : 0;
}
int32_t TestSetProp(ObjectRecord*, PropChange* req) {
    if (req->id == kPidFgColor) gColour = static_cast<uint32_t>(req->value);
    return 0;
}
int32_t TestDestroy(ObjectRecord* rec) {
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}
const ObjectOps kTestOps = {
    .destroy = TestDestroy,
    .getProp = TestGetProp,
    .setProp = TestSetProp,
};
ObjectRecord* TestCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = ObjectAllocRecord(kKindColor, sizeof(ObjectRecord) + 4, false);
    if (!rec) {
        *code = -6;
        return nullptr;
    }
    rec->ovar = cr->ovar;
    gColour = static_cast<uint32_t>(cr->fgColor.value);
    return rec;
}

TEST(ObjWire, CreateQueryChangeRegisterDestroy) {
    ObjectsInstallSessionHooks();
    RegisterObjectOps(kKindColor, &kTestOps);
    RegisterObjectCreator(kTypeColor, TestCreate);
    // Create: FgColor 0x102030 in the stream.
    std::vector<uint8_t> stream = {14, 0, 0x30, 0x20, 0x10, 0};
    int32_t handle = Dispatch(Msg(kMsgCreate, {kTypeColor, 0, 777, 0, 0, 6}, stream));
    ASSERT_NE(nullptr, ObjectFromHandle(static_cast<uint32_t>(handle))) << handle;
    EXPECT_EQ(-3, Dispatch(Msg(kMsgCreate, {42, 0, 1, 0, 0, 0}))) << "a type without a kind";
    EXPECT_EQ(kErrBadRequest, Dispatch(Msg(kMsgCreate, {kTypeColor, 0, 1, 0, 0, 100}, stream)))
        << "a stream size beyond the message";
    // Query FgColor (code 284): a 1129 result with the value at +12.
    EXPECT_EQ(kNoAnswer, Dispatch(Msg(kMsgObjPropQuery, {uint32_t(handle), 284, 0, 0, 0, 0, 0, 0, 0})));
    ASSERT_TRUE(ReplyPending());
    uint32_t type, value;
    memcpy(&type, gSendBuf.data + 4, 4);
    memcpy(&value, gSendBuf.data + 12, 4);
    EXPECT_EQ(1129u, type);
    EXPECT_EQ(0x102030u, value);
    ReplyReset();
    // A request whose handler runs out of memory is answered -6, and the
    // session serves the next one.
    std::pair<uint32_t, int32_t> held = Answered(Msg(kMsgObjPropQuery, {uint32_t(handle), 266, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(static_cast<uint32_t>(kMsgAnswer), held.first);
    EXPECT_EQ(kErrNoMemory, held.second);
    EXPECT_EQ(1129u, Answered(Msg(kMsgObjPropQuery, {uint32_t(handle), 284, 0, 0, 0, 0, 0, 0, 0})).first);
    // Change it (code 284), then the registration and an event.
    EXPECT_EQ(0, Dispatch(Msg(kMsgObjPropChange, {uint32_t(handle), 284, 0x445566, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(0x445566u, gColour);
    EXPECT_EQ(0, Dispatch(Msg(kMsgObjRegEvent, {uint32_t(handle), kEvChange, 0, 0, 0, 0, 0, 0})));
    ObjectRecord* rec = ObjectFromHandle(static_cast<uint32_t>(handle));
    ASSERT_TRUE(PostObjectEvent(rec, kEvChange, 32, 0, 5));
    EventRecord ev;
    ASSERT_TRUE(gHooks.eventTakeNext(&ev, nullptr, nullptr));
    EXPECT_EQ(777u, ev.ovar);
    EXPECT_EQ(0, Dispatch(Msg(kMsgObjUnregEvent, {uint32_t(handle), kEvChange})));
    EXPECT_FALSE(PostObjectEvent(rec, kEvChange, 32, 0, 5));
    // Destroy reports the Ovar; the handle is dead afterwards.
    uint32_t before = gDestCount;
    EXPECT_EQ(0, Dispatch(Msg(kMsgObjDestroy, {uint32_t(handle)})));
    ASSERT_EQ(before + 1, gDestCount);
    EXPECT_EQ(777u, gDestArray[before]);
    EXPECT_EQ(kErrNoObject, Dispatch(Msg(kMsgObjHide, {uint32_t(handle)})));
    EXPECT_EQ(kErrNoObject, Dispatch(Msg(kMsgObjPropQuery, {uint32_t(handle), 284, 0, 0, 0, 0, 0, 0, 0})));
    std::vector<uint8_t> shortShow = Msg(kMsgObjShow, {});
    EXPECT_EQ(kErrNoObject, Dispatch(shortShow)) << "a request too short for its handle names no object";
    RegisterObjectOps(kKindColor, nullptr);
    RegisterObjectCreator(kTypeColor, nullptr);
}

}  // namespace
