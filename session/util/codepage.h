// codepage.h - the client's character sets: the OEM and ANSI code pages, UTF-8
// and UTF-16, and the client character-set mode that the server chooses.
#pragma once

#include <cstddef>
#include <cstdint>

// The client character-set mode: 0 texts are UTF-8 already; 1 bytes 128-255 are
// one-byte characters sent as two-byte UTF-8; 2 the ANSI code page through the
// loaded character map; 401-65535 that Windows code page.
extern int gCharConvMode;
constexpr int kCharModeUtf8 = 0;
constexpr int kCharModeLatin1 = 1;
constexpr int kCharModeMap = 2;
constexpr int kCharModeFirstCodePage = 401;
constexpr int kCharModeLastCodePage = 65535;
// Sets the mode; answers the previous one, or -1 (mode unchanged) for a value
// outside the valid ones.
int SetCharConvMode(int mode);

// True when console text is in the OEM code page and must be converted at
// Win32 calls (the session's OEM option).
extern bool gOemConvert;

enum UtfResult {
    kUtfOk = 0,          // the whole source was converted
    kUtfSourceShort = 1, // the source ends inside a sequence
    kUtfTargetFull = 2,  // the target has no room for the next character
    kUtfIllegal = 3,     // an invalid sequence (strict conversions only)
};

// Converts UTF-8 to UTF-16, advancing both pointers past what was converted.
// Each sequence is checked whole before it is used: overlong forms, surrogate
// code points and values above U+10FFFF are illegal; lenient conversions turn
// them into U+FFFD and go on.
int Utf8ToUtf16(const uint8_t** src, const uint8_t* srcEnd, uint16_t** dst, uint16_t* dstEnd, bool lenient);
// The reverse: surrogate pairs are joined; a lone surrogate is illegal (U+FFFD
// when lenient); a high surrogate at the very end is a short source.
int Utf16ToUtf8(const uint16_t** src, const uint16_t* srcEnd, uint8_t** dst, uint8_t* dstEnd, bool lenient);

// True when the length is even and non-zero and the bytes hold UTF-16 text; a
// byte-order mark (FF FE or FE FF) sets *hasMark.
bool IsUtf16Text(const void* bytes, size_t length, bool* hasMark);

// Loads the map of bytes 128-255 to UTF-16 units that mode 2 uses: 128 units,
// little-endian (256 bytes). Answers 0, or -1 when the table is short.
int SetCharMapTable(const void* table, size_t length);

// With mode 2 or above converts length bytes of *text to UTF-8 in the shared
// conversion buffer and points *text at it; answers the new length. Modes 0
// and 1, or length 0, answer the length unchanged. Flag 1 means length is
// unknown and the text is NUL-terminated.
size_t AnsiToUtf8(const char** text, size_t length, int flag);
// Converts UTF-8 to the client character set into out (outSize bytes with the
// NUL); answers the length written. Characters the set lacks become '?'.
size_t Utf8ToAnsi(const char* text, size_t length, char* out, size_t outSize);

// The client set's bytes to UTF-8 as mode 1 writes them (bytes 128-255 as
// two-byte sequences) into out; answers the length, or the length needed when
// out is too small.
size_t Latin1ToUtf8(const char* text, size_t length, char* out, size_t outSize);

// An ANSI form of an OEM text for a Win32 call, in scratch buffer index (0-3),
// valid until the next call with the same index; the text itself when the OEM
// option is off. Null for a null text or no memory.
const char* OemToAnsiStr(const char* text, int index, int flags = 0);
// Converts in place from ANSI to OEM when the OEM option is on; answers text.
char* AnsiToOemStr(char* text);
char* AnsiToOemBuf(char* text, size_t n);

// Frees the shared conversion buffers.
void CodePageCleanup();
