// pagecontrol.h - the tests' client of the page host's control connection: one
// JSON command a line, one JSON answer a line, over loopback TCP. Shared by the
// scripted server's page steps and the GoogleTest cases.
#pragma once

#include <string>

// The file the page host writes its control port into: the setting
// QOV_PAGEHOST_CONTROL_FILE (a Unix path; the Windows build reads it through
// drive Z:).
constexpr const char kPageControlFileSetting[] = "QOV_PAGEHOST_CONTROL_FILE";

// Connects, waiting up to waitMs for the port file; false with the reason.
bool PageControlOpen(int waitMs, std::string* error);
void PageControlClose();
bool PageControlIsOpen();
// Sends one command (a JSON object without its line end) and reads the answer
// line; false when the link failed (the answer's own "ok" is the caller's).
bool PageControlCommand(const std::string& json, std::string* answer, int timeoutMs);
// Whether an answer says "ok": true.
bool PageControlOk(const std::string& answer);
// A JSON string literal of text (quotes, backslashes and control characters escaped).
std::string PageControlQuote(const std::string& text);
