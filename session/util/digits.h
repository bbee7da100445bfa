// digits.h - sortable digit texts of numbers, dates and times, compared as
// plain text by the list sorts.
#pragma once

#include <cstdint>

constexpr int kFixedNumberLength = 62;  // sign, 30 digits, '.', 30 digits

// The 62-character sortable form of a number text (dest holds 63 bytes): sign
// ('-' or '0'), 30 integer digits right-aligned, '.', 30 fraction digits.
// Leading blanks and zeros are skipped; digits beyond 30 on either side are
// dropped (the highest integer digits, the lowest fraction digits).
void NumberTextToFixed(const char* text, char* dest, char decimalPoint);
// The same form for a number text written under an edit mask: the mask's
// literal characters and grouping marks are left out, a '-' or a '(' anywhere
// makes the number negative.
void FormattedNumberToFixed(const char* text, char* dest, const char* mask, char decimalPoint);

// Eight digits YYYYMMDD of a date laid out by mask (default "mm-dd-yy"; y year,
// m month, d day). "00000000" when the text is shorter than the mask. Two-digit
// years below 50 are taken as 20xx, the others as 19xx.
void DateTextToDigits(const char* text, char* dest, const char* mask);
// Eight digits hhmmssxx of a time (default mask "hh:mm:ss.xx"; x hundredths).
void TimeTextToDigits(const char* text, char* dest, const char* mask);
// Sixteen digits YYYYMMDDhhmmssxx of a date-time (default mask
// "YYYYMMDDhhmmssxx"; Y year, M month, D day, h hour, m minute, s second).
void DateTimeTextToDigits(const char* text, char* dest, const char* mask);

// Writes "-" or "0" and ten digits of the magnitude of value; answers the
// position after them (dest holds at least 11 bytes; no NUL is written).
char* IntToSignedDigits(char* dest, int32_t value);

// Exactly four digits of n (a negative number as '-' and three digits), or
// eight (the magnitude); the lowest digits when n has more. Answers the
// position after them (no NUL is written).
char* PutDec4(char* out, long n);
char* PutDec8(char* out, long n);
