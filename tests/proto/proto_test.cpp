// proto_test.cpp - the frame, bundle, codec and method-call parsers against
// hand-built messages: what each accepts, what each refuses, in both byte orders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/proto/records.h"
#include "session/util/mem.h"

namespace {

// Builds messages field by field in either byte order.
struct Msg {
    std::vector<uint8_t> b;
    bool sw = false;
    explicit Msg(bool swapped = false) : sw(swapped) {}
    Msg& U8(uint8_t v) { b.push_back(v); return *this; }
    Msg& U16(uint16_t v) { size_t n = b.size(); b.resize(n + 2); WirePutU16(&b[n], v, sw); return *this; }
    Msg& U32(uint32_t v) { size_t n = b.size(); b.resize(n + 4); WirePutU32(&b[n], v, sw); return *this; }
    Msg& U64(uint64_t v) { size_t n = b.size(); b.resize(n + 8); WirePutU64(&b[n], v, sw); return *this; }
    Msg& Str(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    Msg& Bytes(const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); return *this; }
    Msg& Head(uint32_t type, uint32_t flags = 0, uint32_t seq = 0) { return U32(flags | (seq << 24)).U32(type); }
    Msg& Item(uint32_t kind, uint32_t size, uint64_t value, uint32_t varRef) {
        return U32(kind).U32(size).U64(value).U32(varRef);
    }
    // Writes the length into the header word (keeps the flags).
    std::vector<uint8_t> Done() {
        uint32_t w = WireGetU32(b.data(), sw);
        WirePutU32(b.data(), (w & ~kHdrLenMask) | static_cast<uint32_t>(b.size()), sw);
        return b;
    }
};

std::vector<uint8_t> Answer(uint32_t type, uint32_t value, bool sw = false, uint32_t flags = 0) {
    return Msg(sw).Head(type, flags).U32(value).Done();
}

struct FrameCase {
    std::vector<uint8_t> bytes;
    size_t avail;     // 0 = the bytes' own size
    bool swapped;
    int expect;
    uint32_t type;
    const char* why;
};

TEST(Proto, FrameHeads) {
    std::vector<uint8_t> shortLen = {4, 0, 0, 0, 0xF2, 3, 0, 0};
    std::vector<uint8_t> longLen = Answer(1102, 0);
    longLen[0] = 200;
    std::vector<uint8_t> swappedAns = Answer(1010, 7, true);
    const FrameCase cases[] = {
        {Answer(1102, 5), 0, false, 0, 1102, "a 12-byte answer parses"},
        {shortLen, 0, false, kErrBadMessage, 0, "a length below the 8-byte header is refused"},
        {longLen, 0, false, kErrBadMessage, 0, "a length beyond the buffer is refused"},
        {Answer(1102, 5), 7, false, kErrBadMessage, 0, "fewer than 8 bytes held is refused"},
        {swappedAns, 0, true, 0, 1010, "a swapped header parses in a swapped session"},
        {swappedAns, 0, false, kErrBadMessage, 0, "a swapped header read straight has a length far too long"},
    };
    for (const FrameCase& c : cases) {
        FrameHead h = {};
        int rc = FrameParseHead(c.bytes.data(), c.avail ? c.avail : c.bytes.size(), c.swapped, &h);
        EXPECT_EQ(c.expect, rc) << c.why;
        if (rc == 0) {
            EXPECT_EQ(c.type, h.type) << c.why;
        }
    }
}

TEST(Proto, HeaderFlagsAndOrder) {
    std::vector<uint8_t> m = Answer(1102, 0, false, kHdrAckWanted | (3u << kHdrSeqShift));
    FrameHead h;
    ASSERT_EQ(0, FrameParseHead(m.data(), m.size(), false, &h));
    EXPECT_EQ(3u, h.seq);
    EXPECT_EQ(kHdrAckWanted, h.flags);
    struct { std::vector<uint8_t> m; int order; const char* why; } orders[] = {
        {Answer(1008, 0), 0, "accept in little-endian order"},
        {Answer(1009, 0, true), 1, "refuse byte-swapped"},
        {Answer(1011, 0, true), 1, "end-session byte-swapped"},
        {Answer(2401, 0), -1, "an object operation cannot open a session"},
    };
    for (auto& c : orders) EXPECT_EQ(c.order, FrameDetectOrder(c.m.data(), c.m.size())) << c.why;
}

std::vector<uint8_t> Bundle(const std::vector<std::vector<uint8_t>>& members, uint32_t count, bool sw = false) {
    Msg m(sw);
    m.Head(count, kHdrBundle);
    for (auto& x : members) m.Bytes(x);
    return m.Done();
}

TEST(Proto, BundleMembers) {
    std::vector<uint8_t> nested = Bundle({Answer(1102, 1)}, 1);
    std::vector<uint8_t> cut = Answer(1102, 1);
    cut[0] = 40;   // claims more than the bundle holds
    struct Case {
        std::vector<uint8_t> bundle;
        bool sw;
        int members;   // members taken before the end, or -1 when the walk fails
        const char* why;
    } cases[] = {
        {Bundle({Answer(2401, 1), Answer(2402, 2)}, 2), false, 2, "two members, nothing left over"},
        {Bundle({Answer(2401, 1, true), Answer(2402, 2, true)}, 2, true), true, 2, "the same, byte-swapped"},
        {Bundle({Answer(2401, 1), Answer(2402, 2)}, 3), false, -1, "a count above the members is refused"},
        {Bundle({Answer(2401, 1), Answer(2402, 2)}, 1), false, -1, "bytes left over after the count are refused"},
        {Bundle({Answer(2401, 1), cut}, 2), false, -1, "a member reaching past the bundle is refused"},
        {Bundle({nested}, 1), false, -1, "a bundle inside a bundle is refused"},
        {Bundle({}, 0), false, 0, "an empty bundle is walked without members"},
        {Bundle({}, 0xFFFFFF), false, -1, "a huge member count is refused"},
    };
    for (const Case& c : cases) {
        FrameHead h;
        ASSERT_EQ(0, FrameParseHead(c.bundle.data(), c.bundle.size(), c.sw, &h)) << c.why;
        BundleIter it;
        BundleBegin(&it, c.bundle.data(), h, c.sw);
        int n = 0, rc;
        const uint8_t* member;
        FrameHead mh;
        while ((rc = BundleNext(&it, &member, &mh)) == 1) {
            EXPECT_EQ(2401u + n, mh.type) << c.why;
            n++;
        }
        EXPECT_EQ(c.members, rc == 0 ? n : -1) << c.why;
    }
}

TEST(Proto, LzoBodies) {
    std::string body;
    for (int i = 0; i < 400; i++) body += "row " + std::to_string(i % 7) + ";";
    for (bool sw : {false, true}) {
        std::vector<uint8_t> plain = Msg(sw).Head(2410, 0, 2).Str(body).Done();
        MsgBuf packed = {}, unpacked = {};
        ASSERT_TRUE(MsgCompress(plain.data(), static_cast<uint32_t>(plain.size()), sw, &packed));
        EXPECT_LT(packed.used, plain.size());
        FrameHead h;
        ASSERT_EQ(0, FrameParseHead(packed.data, packed.used, sw, &h));
        EXPECT_EQ(kHdrCompressed, h.flags);
        EXPECT_EQ(2u, h.seq);
        ASSERT_EQ(0, MsgUncompress(packed.data, h, sw, &unpacked));
        ASSERT_EQ(plain.size(), unpacked.used);
        EXPECT_EQ(0, memcmp(plain.data(), unpacked.data, plain.size())) << "swapped " << sw;

        // Damaged streams and lying lengths are refused, never overrun.
        std::vector<uint8_t> bad(packed.data, packed.data + packed.used);
        WirePutU32(&bad[8], static_cast<uint32_t>(body.size() - 1), sw);
        EXPECT_EQ(kErrBadMessage, MsgUncompress(bad.data(), h, sw, &unpacked)) << "plain length too short";
        WirePutU32(&bad[8], 0x7FFFFFFF, sw);
        EXPECT_EQ(kErrBadMessage, MsgUncompress(bad.data(), h, sw, &unpacked)) << "plain length past the cap";
        FrameHead cutHead = h;
        cutHead.length = h.length - 10;
        WirePutU32(&bad[8], static_cast<uint32_t>(body.size()), sw);
        EXPECT_EQ(kErrBadMessage, MsgUncompress(bad.data(), cutHead, sw, &unpacked)) << "stream cut short";
        MsgBufFree(&packed);
        MsgBufFree(&unpacked);
    }
    // Short bodies stay plain.
    std::vector<uint8_t> small = Msg().Head(2410).Str(std::string(255, 'a')).Done();
    MsgBuf out = {};
    EXPECT_FALSE(MsgCompress(small.data(), static_cast<uint32_t>(small.size()), false, &out));
    MsgBufFree(&out);
}

TEST(Proto, BuffersGrowInSteps) {
    MsgBuf b = {};
    ASSERT_TRUE(MsgBufReserve(&b, kRecvBufStartSize));
    EXPECT_EQ(20480u + 1024u, b.size) << "20488 rounds up to whole steps";
    ASSERT_TRUE(MsgBufReserve(&b, 30000));
    EXPECT_EQ(30720u, b.size);
    EXPECT_FALSE(MsgBufReserve(&b, 1ull << 31)) << "far beyond a frame";
    EXPECT_EQ(30720u, b.size) << "a refused growth keeps the buffer";
    MsgBufFree(&b);
}

// A method call: head, hops, member name, arguments.
Msg CallHead(uint32_t argCount, uint32_t hopCount, const std::string& name) {
    Msg m;
    m.Head(2416).U32(77).U32(23).U32(5).U8(1).U8(0).U16(0).U32(static_cast<uint32_t>(name.size()))
        .U32(argCount).Item(kItemInt, 4, 0, 9).U32(hopCount);
    return m;
}

TEST(Proto, MethodCalls) {
    // Good call: one hop with one argument, two arguments (one named text).
    Msg good = CallHead(2, 1, "Add");
    good.U32(5).U32(1).Str("Items").Item(kItemInt, 4, 3, 0).Str("Add");
    good.Item(kItemInt, 4, 42, 1).U32(0);
    size_t itemAt = good.b.size();
    good.Item(kItemText, 5, 0, 2).U32(3).Str("key");
    size_t textAt = good.b.size();
    good.Str("hello");
    WirePutU64(&good.b[itemAt + kEviValue], textAt, false);
    std::vector<uint8_t> ok = good.Done();

    MethodCallRec rec;
    PropChainRec chain;
    ASSERT_EQ(0, DecodeMethodCall(ok.data(), ok.size(), false, &rec, &chain));
    EXPECT_EQ(77u, rec.handle);
    EXPECT_EQ(23u, rec.objectType);
    EXPECT_EQ(5u, rec.method);
    EXPECT_EQ(1, rec.noCheck);
    EXPECT_EQ(std::string("Add"), std::string(rec.name, rec.nameLength));
    EXPECT_EQ(9u, rec.result.varRef);
    ASSERT_EQ(2u, rec.argCount);
    EXPECT_EQ(42, rec.argNumbers[0]);
    EXPECT_EQ(1, rec.argPresent[0]);
    EXPECT_EQ(nullptr, rec.argNames[0]);
    EXPECT_EQ(std::string("hello"), std::string(static_cast<const char*>(rec.args[1].data), rec.args[1].size));
    EXPECT_EQ(std::string("key"), std::string(rec.argNames[1], rec.argNameLengths[1]));
    ASSERT_EQ(&chain, rec.chain);
    EXPECT_EQ(1u, chain.hopCount);
    EXPECT_EQ(3u, chain.args[0].value);

    struct Case { std::vector<uint8_t> m; const char* why; };
    std::vector<Case> bad;
    bad.push_back({CallHead(51, 0, "").Done(), "51 arguments are more than 50"});
    bad.push_back({CallHead(0, 11, "").Done(), "11 hops are more than 10"});
    bad.push_back({CallHead(0, 1, "").U32(1).U32(101).Str("x").Done(), "a hop with 101 arguments"});
    bad.push_back({CallHead(0, 0, "LongName").Str("Long").Done(), "the member name passes the end"});
    bad.push_back({CallHead(1, 0, "").Item(kItemText, 100, 20, 0).U32(0).Done(),
                   "an argument text reaching past the message"});
    bad.push_back({CallHead(1, 0, "").Item(kItemUtf8, 1, 0xFFFFFFF0u, 0).U32(0).Done(),
                   "an argument text offset far outside"});
    Msg highWord = CallHead(1, 0, "");
    highWord.Item(kItemText, 2, 0, 0).U32(0);
    WirePutU64(&highWord.b[highWord.b.size() - kEventItemSize - 4 + kEviValue], (1ull << 32) | 8, false);
    bad.push_back({highWord.Done(), "an argument text offset with a high word (its low word lies inside)"});
    bad.push_back({CallHead(1, 0, "").Item(kItemInt, 4, 1, 0).U32(0x7FFFFFFF).Done(),
                   "an argument name length past the end"});
    bad.push_back({CallHead(2, 0, "").Item(kItemInt, 4, 1, 0).U32(0).Done(), "the second argument is missing"});
    std::vector<uint8_t> cutHead = ok;
    cutHead.resize(40);
    bad.push_back({cutHead, "the message ends inside the head"});
    for (const Case& c : bad)
        EXPECT_EQ(kErrBadRequest, DecodeMethodCall(c.m.data(), c.m.size(), false, &rec, &chain)) << c.why;
    EXPECT_EQ(kErrBadRequest, DecodeMethodCall(ok.data(), ok.size(), false, &rec, nullptr))
        << "hops without a chain record to fill";
}

TEST(Proto, EventMessageAndItems) {
    struct Case { uint32_t version; bool sw; uint32_t head; const char* why; } cases[] = {
        {9404, false, 72, "current servers get the 56-byte record"},
        {9403, false, 68, "older servers get 52 bytes and a head of 68"},
        {9500, true, 72, "a swapped session gets swapped fields"},
    };
    for (const Case& c : cases) {
        MsgBuf b = {};
        EventRecord ev = {};
        ev.handle = 5;
        ev.eventId = 4;
        ev.text = "ab";
        ev.textLength = 2;
        ASSERT_TRUE(MsgBuildEvent(&b, &ev, c.version, 1, c.sw));
        EventItem it = {kItemText, 3, 0, "xyz", 7};
        ASSERT_EQ(0, MsgAppendEventItem(&b, &it, c.version, c.sw));
        WireReader r(b.data, b.used, c.sw);
        FrameHead h;
        ASSERT_EQ(0, FrameParseHead(b.data, b.used, c.sw, &h));
        EXPECT_EQ(kMsgEvent, h.type) << c.why;
        EXPECT_EQ(c.head + 2 + 20 + 3, h.length) << c.why;
        uint32_t count, textOff, evText;
        ASSERT_TRUE(r.U32At(kEvmItemCount, &count));
        EXPECT_EQ(1u, count) << c.why;
        ASSERT_TRUE(r.U32At(kEvmRecord + kEvrTextOffset, &evText));
        EXPECT_EQ(c.head, evText) << c.why;
        EventItem back;
        ASSERT_TRUE(DecodeEventItem(r, c.head + 2, &back)) << c.why;
        textOff = static_cast<uint32_t>(back.value);
        EXPECT_EQ(c.head + 2 + 20, textOff) << "the text sits right behind its item";
        EXPECT_EQ(0, memcmp("xyz", back.data, 3)) << c.why;
        EXPECT_EQ(7u, back.varRef) << c.why;
        MsgBufFree(&b);
    }
}

TEST(Proto, AnswerBuilders) {
    MsgBuf b = {};
    struct Case { bool built; uint32_t length; uint32_t type; const char* why; };
    std::vector<Case> cases;
    cases.push_back({MsgBuildAnswer(&b, 1010, 21847, 2, false), 12, 1010, "an error answer is 12 bytes"});
    cases.push_back({MsgBuildResultInt(&b, -4, 48, 0, false), 20, 1129, "a value result is 20 bytes"});
    cases.push_back({MsgBuildResultText(&b, "abc", 0, false), 13 + 3, 1130, "a text result is 13 + n"});
    cases.push_back({MsgBuildResultBytes(&b, "abcd", 4, 0, false), 17 + 4, 1154, "a byte result is 17 + n"});
    cases.push_back({MsgBuildPrtJobAnswer(&b, 0, 1, 2, 3, "err", 0, false), 32 + 4, 1147, "job answer with text"});
    cases.push_back({MsgBuildPrtJobAnswer(&b, 0, 1, 2, 3, nullptr, 0, false), 32, 1147, "job answer alone"});
    // Each builder leaves only its own message in the buffer, so check them one at a time.
    for (size_t i = 0; i < cases.size(); i++) EXPECT_TRUE(cases[i].built) << cases[i].why;
    ASSERT_TRUE(MsgBuildPrtJobAnswer(&b, 9, 1, 2, 3, "err", 0, false));
    WireReader r(b.data, b.used, false);
    uint32_t count, textLen;
    ASSERT_TRUE(r.U32At(kPjaCount, &count) && r.U32At(kPjaTextLength, &textLen));
    EXPECT_EQ(12u + 4 + 4, count) << "12 + 4 + the text with its NUL";
    EXPECT_EQ(4u, textLen);
    ASSERT_TRUE(MsgBuildResultBytes(&b, "abcd", 4, 3, true));
    FrameHead h;
    ASSERT_EQ(0, FrameParseHead(b.data, b.used, true, &h));
    EXPECT_EQ(21u, h.length);
    EXPECT_EQ(3u, h.seq) << "an answer carries its request's sequence";
    // A bundle of two answers walks back as two members.
    MsgBuf bundle = {}, one = {};
    ASSERT_TRUE(MsgBundleStart(&bundle, 1, false));
    ASSERT_TRUE(MsgBuildAnswer(&one, 1102, 0, 1, false));
    ASSERT_TRUE(MsgBundleAdd(&bundle, one.data, one.used, false));
    ASSERT_TRUE(MsgBundleAdd(&bundle, one.data, one.used, false));
    ASSERT_EQ(0, FrameParseHead(bundle.data, bundle.used, false, &h));
    EXPECT_EQ(kHdrBundle, h.flags);
    EXPECT_EQ(2u, h.type);
    EXPECT_EQ(8u + 24, h.length);
    MsgBufFree(&one);
    MsgBufFree(&bundle);
    MsgBufFree(&b);
}

// The destroyed-object list: Ovars are words, so a byte-swapped server reads
// each one in its own order, and the count is the byte count.
TEST(Proto, ResultWordsFollowSessionOrder) {
    const uint32_t ovars[] = {501, 0x01020304u, 0xFFFFFFFEu};
    struct Case { uint32_t count; bool sw; const char* why; } cases[] = {
        {3, false, "three Ovars in a little-endian session"},
        {3, true, "three Ovars in a byte-swapped session, each swapped"},
        {0, true, "an empty list is 17 bytes with n = 0"},
    };
    for (const Case& c : cases) {
        MsgBuf b = {};
        ASSERT_TRUE(MsgBuildResultWords(&b, ovars, c.count, 2, c.sw)) << c.why;
        FrameHead h;
        ASSERT_EQ(0, FrameParseHead(b.data, b.used, c.sw, &h)) << c.why;
        EXPECT_EQ(kMsgResultBytes, h.type) << c.why;
        EXPECT_EQ(17u + 4 * c.count, h.length) << c.why;
        EXPECT_EQ(2u, h.seq) << c.why;
        WireReader r(b.data, b.used, c.sw);
        uint32_t n = 0;
        ASSERT_TRUE(r.U32At(kResBytesCount, &n));
        EXPECT_EQ(4 * c.count, n) << c.why;
        for (uint32_t i = 0; i < c.count; i++) {
            uint32_t v = 0;
            ASSERT_TRUE(r.U32At(kResBytes + 4 * i, &v));
            EXPECT_EQ(ovars[i], v) << c.why << ", word " << i;
        }
        EXPECT_EQ(0, b.data[b.used - 1]) << "the closing NUL";
        MsgBufFree(&b);
    }
}

}  // namespace

TEST(MethodCallArgs, ByPositionAsNumberOrText) {
    const char kText[] = "42abc";
    const char kLong[] = "12345678901234567890";
    MethodCallRec call = {};
    call.argCount = 4;
    call.args[0] = EventItem{kItemText, 5, 0, kText, 0};
    call.args[1] = EventItem{8, 4, static_cast<uint64_t>(static_cast<uint32_t>(-7)), nullptr, 0};
    call.args[2] = EventItem{kItemText, 20, 0, kLong, 0};
    call.args[3] = EventItem{kItemNone, 0, 0, nullptr, 0};
    for (uint32_t i = 0; i < 4; ++i) call.argPresent[i] = 1;
    EXPECT_EQ(CallArgInt(&call, 0, -1), 42) << "a text's leading number";
    EXPECT_EQ(CallArgInt(&call, 1, -1), -7);
    EXPECT_EQ(CallArgInt(&call, 3, -1), -1) << "an empty item is not given";
    EXPECT_EQ(CallArgInt(&call, 9, -1), -1) << "beyond the count";
    EXPECT_FALSE(CallArgGiven(nullptr, 0));
    uint32_t length = 0;
    const char* text = CallArgText(&call, 1, &length);
    EXPECT_EQ(std::string(text, length), "-7") << "a number as text";
    text = CallArgText(&call, 0, &length);
    EXPECT_EQ(std::string(text, length), "42abc") << "a text as it came, not terminated";
    EXPECT_EQ(CallArgText(&call, 3, &length), nullptr);
    char out[8];
    EXPECT_EQ(CallArgCopy(&call, 2, out, sizeof out), 7u) << "cut to the room";
    EXPECT_STREQ(out, "1234567");
    EXPECT_EQ(CallArgCopy(&call, 3, out, sizeof out), 0u);
    EXPECT_STREQ(out, "");

    // A name is taken as given or not at all: never cut at its room or at a
    // NUL inside it, either of which would name another file.
    const char kNul[] = "a.pdf\0b";
    call.args[0] = EventItem{kItemText, 7, 0, kNul, 0};
    struct Row {
        uint32_t arg;
        int32_t answer;
        const char* name;
        const char* why;
    };
    const Row rows[] = {
        {0, kCallArgNameRefused, "", "a NUL inside the name"},
        {2, kCallArgNameRefused, "", "more than the room holds"},
        {1, 2, "-7", "a number as its text"},
        {3, 0, "", "not given"},
    };
    for (const Row& r : rows) {
        char name[8] = "junk";
        EXPECT_EQ(CallArgName(&call, r.arg, name, sizeof name), r.answer) << r.why;
        EXPECT_STREQ(name, r.name) << r.why;
    }
    call.args[0] = EventItem{kItemText, 5, 0, kNul, 0};
    char name[8];
    EXPECT_EQ(CallArgName(&call, 0, name, sizeof name), 5) << "the name before the NUL, given as such";
    EXPECT_STREQ(name, "a.pdf");
}
