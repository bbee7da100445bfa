// codec_test.cpp - base64, MD5, RC4 and the sortable digit texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/util/base64.h"
#include "session/util/digits.h"
#include "session/util/md5.h"
#include "session/util/rc4.h"

namespace {

std::string Md5Hex(const std::string& s, size_t chunk) {
    Md5Context ctx;
    Md5Init(&ctx);
    for (size_t i = 0; i < s.size(); i += chunk) Md5Update(&ctx, s.data() + i, std::min(chunk, s.size() - i));
    uint8_t d[16];
    Md5Final(d, &ctx);
    char hex[33];
    for (int i = 0; i < 16; i++) snprintf(hex + 2 * i, 3, "%02x", d[i]);
    return hex;
}

}  // namespace

TEST(Md5, Rfc1321Vectors) {
    struct Case {
        const char* in;
        const char* digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Md5Hex(c.in, 1000), c.digest) << '"' << c.in << '"';
        EXPECT_EQ(Md5Hex(c.in, 7), c.digest) << "fed in 7-byte pieces: " << c.in;
    }
}

// RFC 6229's keystream for a 40-bit and a 128-bit key at offsets across the
// first 4 KB, and the classic short texts; a keystream fed in pieces must
// continue where the previous piece stopped.
TEST(Rc4, Rfc6229KeystreamAndKnownTexts) {
    struct Case {
        const char* key;
        size_t offset;
        const char* stream;
        const char* why;
    };
    const Case cases[] = {
        {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8", "40-bit key, first block"},
        {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919", "40-bit key, second block"},
        {"0102030405", 240, "28cb1132c96ce286421dcaadb8b69eae", "40-bit key at 240"},
        {"0102030405", 4080, "068326a2118416d21f9d04b2cd1ca050", "40-bit key at 4080"},
        {"0102030405", 4096, "ff25b58995996707e51fbdf08b34d875", "40-bit key at 4096"},
        {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97", "128-bit key, first block"},
        {"0102030405060708090a0b0c0d0e0f10", 240, "065902e4b620f6cc36c8589f66432f2b", "128-bit key at 240"},
        {"0102030405060708090a0b0c0d0e0f10", 4080, "ff38265c1642c1abe8d3c2fe5e572bf8", "128-bit key at 4080"},
    };
    auto fromHex = [](const char* hex) {
        std::string out;
        for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) out += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
        return out;
    };
    auto toHex = [](const uint8_t* p, size_t n) {
        std::string out;
        char two[3];
        for (size_t i = 0; i < n; i++) {
            snprintf(two, sizeof two, "%02x", p[i]);
            out += two;
        }
        return out;
    };
    for (const Case& c : cases) {
        std::string key = fromHex(c.key);
        std::vector<uint8_t> zeros(c.offset + 16, 0);
        Rc4State st;
        Rc4Init(&st, reinterpret_cast<const uint8_t*>(key.data()), key.size());
        // Odd pieces: the state carries i and j across calls.
        for (size_t at = 0; at < zeros.size(); at += 7)
            Rc4Crypt(&st, zeros.data() + at, zeros.data() + at, std::min<size_t>(7, zeros.size() - at));
        EXPECT_EQ(toHex(zeros.data() + c.offset, 16), c.stream) << c.why;
    }
    struct Text {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Text texts[] = {{"Key", "Plaintext", "bbf316e8d940af0ad3"},
                          {"Wiki", "pedia", "1021bf0420"},
                          {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"}};
    for (const Text& t : texts) {
        Rc4State st;
        Rc4Init(&st, reinterpret_cast<const uint8_t*>(t.key), strlen(t.key));
        std::vector<uint8_t> out(strlen(t.plain));
        Rc4Crypt(&st, reinterpret_cast<const uint8_t*>(t.plain), out.data(), out.size());
        EXPECT_EQ(toHex(out.data(), out.size()), t.cipher) << t.key;
        Rc4Init(&st, reinterpret_cast<const uint8_t*>(t.key), strlen(t.key));
        Rc4Crypt(&st, out.data(), out.data(), out.size());
        EXPECT_EQ(std::string(out.begin(), out.end()), t.plain) << "the same keystream deciphers";
    }
}

TEST(Base64, EncodeDecodeWithPaddingAndJunk) {
    struct Case {
        const char* plain;
        const char* coded;
    };
    const Case cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                          {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const Case& c : cases) {
        char out[16];
        size_t n = Base64Encode(c.plain, out, strlen(c.plain), true);
        EXPECT_EQ(n, Base64EncodedSize(strlen(c.plain)));
        EXPECT_STREQ(out, c.coded);
        char back[16];
        EXPECT_EQ(Base64Decode(c.coded, back, strlen(c.coded), true), strlen(c.plain));
        EXPECT_STREQ(back, c.plain);
    }
    char back[16];
    const char* junk = "Zm9v\r\nY*m\tFy";
    EXPECT_EQ(Base64Decode(junk, back, strlen(junk), true), 6u) << "characters outside the alphabet are skipped";
    EXPECT_STREQ(back, "foobar");
    const uint8_t binary[] = {0xFB, 0xFF, 0x00};
    char out[8];
    Base64Encode(binary, out, 3, true);
    EXPECT_STREQ(out, "+/8A");
}

// The expected fixed form, built independently: sign, 30 digits, '.', 30 digits.
static std::string Fixed(char sign, const std::string& intDigits, const std::string& fracDigits) {
    std::string fixed(1, sign);
    fixed.append(30 - intDigits.size(), '0').append(intDigits).append(".").append(fracDigits);
    return fixed.append(30 - fracDigits.size(), '0');
}

TEST(Digits, NumberTextToFixed) {
    struct Case {
        const char* in;
        char dp;
        std::string expect;
        const char* why;
    };
    const Case cases[] = {
        {"  0042.50", '.', Fixed('0', "42", "5"), "leading blanks and zeros skipped"},
        {"-17", '.', Fixed('-', "17", ""), "negative sign first"},
        {"3,25", ',', Fixed('0', "3", "25"), "comma as decimal point"},
        {"", '.', Fixed('0', "", ""), "empty is zero"},
        {"-0.00", '.', Fixed('0', "", ""), "minus zero sorts as zero"},
        {"12abc", '.', Fixed('0', "12", ""), "the number ends at other text"},
    };
    for (const Case& c : cases) {
        char out[kFixedNumberLength + 1];
        NumberTextToFixed(c.in, out, c.dp);
        EXPECT_EQ(out, c.expect) << c.why;
    }
    char a[63], b[63];
    NumberTextToFixed("9.5", a, '.');
    NumberTextToFixed("10", b, '.');
    EXPECT_LT(strcmp(a, b), 0) << "the fixed forms sort as the numbers do";

    // A long number never writes past the 62 characters and NUL.
    char guard[80];
    memset(guard, 'Z', sizeof guard);
    std::string huge(200, '7');
    huge += "." + std::string(200, '3');
    NumberTextToFixed(huge.c_str(), guard, '.');
    EXPECT_EQ(guard[62], 0);
    EXPECT_EQ(guard[63], 'Z') << "nothing written past the NUL";
    EXPECT_EQ(std::string(guard + 1, 30), std::string(30, '7'));

    FormattedNumberToFixed("(1,234.50)", a, "(#,###.##)", '.');
    EXPECT_EQ(a[0], '-') << "parentheses make a masked number negative";
    EXPECT_EQ(std::string(a + 27, 4), "1234") << "grouping marks are left out";
}

TEST(Digits, DatesTimesAndSignedIntegers) {
    struct Case {
        int kind;  // 0 date, 1 time, 2 date-time
        const char* text;
        const char* mask;
        const char* expect;
    };
    const Case cases[] = {
        {0, "12-31-99", nullptr, "19991231"},
        {0, "01-02-03", nullptr, "20030102"},
        {0, "31.12.2024", "dd.mm.yyyy", "20241231"},
        {0, "1-2-3", nullptr, "00000000"},
        {1, "23:59:58.75", nullptr, "23595875"},
        {1, "07:05", "hh:mm", "07050000"},
        {2, "2024061512300199", nullptr, "2024061512300199"},
        {2, "15/06/2024 12:30", "DD/MM/YYYY hh:mm", "2024061512300000"},
    };
    for (const Case& c : cases) {
        char out[17];
        if (c.kind == 0) DateTextToDigits(c.text, out, c.mask);
        else if (c.kind == 1) TimeTextToDigits(c.text, out, c.mask);
        else DateTimeTextToDigits(c.text, out, c.mask);
        EXPECT_STREQ(out, c.expect) << c.text;
    }
    char out[12] = {};
    EXPECT_EQ(IntToSignedDigits(out, -42), out + 11);
    EXPECT_EQ(std::string(out, 11), "-0000000042");
    IntToSignedDigits(out, INT32_MIN);
    EXPECT_EQ(std::string(out, 11), "-2147483648");
    IntToSignedDigits(out, 7);
    EXPECT_EQ(std::string(out, 11), "00000000007");
}
