// log.h - the client's logs: the debug log (switch "deb"), the message log
// "_msgs.log" (switch "dmsgs=") and the quiet-mode error log "_quiet.log".
#pragma once

#include <cstdint>

constexpr const char kMsgLogName[] = "_msgs.log";
constexpr const char kQuietLogName[] = "_quiet.log";
constexpr int kLogNameColumn = 19;  // names are padded with dots to this column

// Opens the debug log (created anew) and writes its banner; answers false when
// the file cannot be created.
bool DebugLogOpen(const char* path);
bool DebugLogIsOpen();
// One line "Name...............: text"; a no-op while the log is closed.
void DebugLogWrite(const char* name, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void DebugLogClose();

// Opens the message log at the given level (0 leaves it closed).
bool MsgLogOpen(int level);
int MsgLogLevel();
// "Send <length> Msg: <type>" or "Recv <length> Msg: <type>".
void MsgLogWrite(bool sent, uint32_t length, uint32_t type);
void MsgLogClose();

// Appends a time-stamped line to the quiet log.
void QuietLogWrite(const char* text);

// Formats the padded line form into out (for tests and the console).
void FormatLogLine(char* out, unsigned long outSize, const char* name, const char* text);
