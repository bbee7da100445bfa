// digits.cpp - sortable digit texts of numbers, dates and times.
#include "session/util/digits.h"

#include <cctype>
#include <cstring>

namespace {

constexpr int kSideDigits = 30;
constexpr int kPivotYear = 50;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Writes the fixed form from separated integer and fraction digit runs.
void WriteFixed(bool negative, const char* intDigits, int intLen, const char* fracDigits, int fracLen, char* dest) {
    while (intLen > 0 && *intDigits == '0') {
        intDigits++;
        intLen--;
    }
    if (intLen > kSideDigits) {
        intDigits += intLen - kSideDigits;
        intLen = kSideDigits;
    }
    if (fracLen > kSideDigits) fracLen = kSideDigits;
    dest[0] = negative ? '-' : '0';
    memset(dest + 1, '0', kSideDigits - intLen);
    memcpy(dest + 1 + kSideDigits - intLen, intDigits, intLen);
    dest[1 + kSideDigits] = '.';
    memcpy(dest + 2 + kSideDigits, fracDigits, fracLen);
    memset(dest + 2 + kSideDigits + fracLen, '0', kSideDigits - fracLen);
    dest[kFixedNumberLength] = 0;
}

// Collects the digits of a number text into bounded runs. With a mask, only the
// characters that are digits, the sign or the decimal point count; without one
// the number ends at the first other character after its digits.
void ParseNumber(const char* text, char decimalPoint, bool masked, char* dest) {
    char intDigits[kSideDigits * 2 + 1];
    char fracDigits[kSideDigits + 1];
    int intLen = 0, fracLen = 0;
    bool negative = false, inFraction = false, started = false;
    const char* p = text ? text : "";
    while (*p == ' ' || *p == '\t') p++;
    for (; *p; p++) {
        char c = *p;
        if (IsDigit(c)) {
            started = true;
            if (inFraction) {
                if (fracLen < kSideDigits) fracDigits[fracLen++] = c;
            } else {
                // Keep only the lowest digits that fit; skip leading zeros.
                if (intLen == 0 && c == '0') continue;
                if (intLen == kSideDigits * 2) {
                    memmove(intDigits, intDigits + 1, intLen - 1);
                    intLen--;
                }
                intDigits[intLen++] = c;
            }
        } else if (c == decimalPoint && !inFraction) {
            inFraction = true;
            started = true;
        } else if (c == '-' || (masked && c == '(')) {
            negative = true;
        } else if (c == '+' && !started) {
            continue;
        } else if (!masked && started) {
            if (c == ' ') continue;
            break;
        }
    }
    bool zero = intLen == 0;
    for (int i = 0; i < fracLen && zero; i++) zero = fracDigits[i] == '0';
    WriteFixed(negative && !zero, intDigits, intLen, fracDigits, fracLen, dest);
}

struct FieldMap {
    char letter;
    int offset;  // position in the output digits
    int width;   // output width of the field
};

// Lays the digits of text under mask into the output fields. A run of one mask
// letter takes as many text characters; characters under other mask letters are
// skipped. Fields the mask lacks stay "0".
void MaskToDigits(const char* text, const char* mask, const FieldMap* fields, int fieldCount, char* dest,
                  int destLen, int yearField) {
    memset(dest, '0', destLen);
    dest[destLen] = 0;
    if (!text || !mask) return;
    size_t textLen = strlen(text), maskLen = strlen(mask);
    if (textLen < maskLen) return;
    for (size_t i = 0; i < maskLen;) {
        char letter = mask[i];
        size_t run = 1;
        while (i + run < maskLen && mask[i + run] == letter) run++;
        int f = -1;
        for (int k = 0; k < fieldCount; k++)
            if (fields[k].letter == letter) f = k;
        if (f >= 0) {
            char digits[8];
            int n = 0;
            for (size_t k = 0; k < run && n < 8; k++) {
                char c = text[i + k];
                if (IsDigit(c)) digits[n++] = c;
            }
            const FieldMap& fm = fields[f];
            if (f == yearField && n == 2) {
                int yy = (digits[0] - '0') * 10 + (digits[1] - '0');
                const char* century = yy < kPivotYear ? "20" : "19";
                memcpy(dest + fm.offset, century, 2);
                memcpy(dest + fm.offset + 2, digits, 2);
            } else {
                int take = n < fm.width ? n : fm.width;
                memcpy(dest + fm.offset + fm.width - take, digits + n - take, take);
            }
        }
        i += run;
    }
}

const FieldMap kDateFields[] = {{'y', 0, 4}, {'m', 4, 2}, {'d', 6, 2}};
const FieldMap kTimeFields[] = {{'h', 0, 2}, {'m', 2, 2}, {'s', 4, 2}, {'x', 6, 2}};
const FieldMap kDateTimeFields[] = {{'Y', 0, 4}, {'M', 4, 2}, {'D', 6, 2}, {'h', 8, 2},
                                    {'m', 10, 2}, {'s', 12, 2}, {'x', 14, 2}};

// Date masks are read without case (the default is lower case), so "MM-DD-YYYY"
// works as well.
void LowerMask(const char* mask, char* out, size_t cap) {
    size_t i = 0;
    for (; mask[i] && i + 1 < cap; i++) out[i] = static_cast<char>(tolower(static_cast<unsigned char>(mask[i])));
    out[i] = 0;
}

}  // namespace

void NumberTextToFixed(const char* text, char* dest, char decimalPoint) {
    ParseNumber(text, decimalPoint, false, dest);
}

void FormattedNumberToFixed(const char* text, char* dest, const char* mask, char decimalPoint) {
    (void)mask;
    ParseNumber(text, decimalPoint, true, dest);
}

void DateTextToDigits(const char* text, char* dest, const char* mask) {
    char lower[64];
    LowerMask(mask && *mask ? mask : "mm-dd-yy", lower, sizeof lower);
    MaskToDigits(text, lower, kDateFields, 3, dest, 8, 0);
}

void TimeTextToDigits(const char* text, char* dest, const char* mask) {
    char lower[64];
    LowerMask(mask && *mask ? mask : "hh:mm:ss.xx", lower, sizeof lower);
    MaskToDigits(text, lower, kTimeFields, 4, dest, 8, -1);
}

void DateTimeTextToDigits(const char* text, char* dest, const char* mask) {
    MaskToDigits(text, mask && *mask ? mask : "YYYYMMDDhhmmssxx", kDateTimeFields, 7, dest, 16, 0);
}

char* IntToSignedDigits(char* dest, int32_t value) {
    int64_t v = value;
    *dest++ = v < 0 ? '-' : '0';
    uint64_t mag = static_cast<uint64_t>(v < 0 ? -v : v);
    for (int i = 9; i >= 0; i--) {
        dest[i] = static_cast<char>('0' + mag % 10);
        mag /= 10;
    }
    return dest + 10;
}

char* PutDec4(char* out, long n) {
    unsigned long m = n < 0 ? 0ul - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
    int digits = 4;
    if (n < 0) {
        *out++ = '-';
        digits = 3;
    }
    for (int i = digits - 1; i >= 0; i--, m /= 10) out[i] = static_cast<char>('0' + m % 10);
    return out + digits;
}

char* PutDec8(char* out, long n) {
    unsigned long m = n < 0 ? 0ul - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
    for (int i = 7; i >= 0; i--, m /= 10) out[i] = static_cast<char>('0' + m % 10);
    return out + 8;
}
