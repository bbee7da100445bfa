// webctlcommon.h - helpers the web controls share: method arguments as text,
// the theme a creation takes, mnemonics, and a creator's refusal.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

// A method argument as text (pointer into the request and its length); null
// when it is not given or not a text.
const char* WebArgTextRef(const MethodCallRec* call, uint32_t i, uint32_t* length);
// The creation's Theme, else its window's: the window's goes into the creation
// record, from which the header takes its strings.
void WebApplyTheme(ObjectCreateRecord* cr, const ObjectRecord* top);
// The first mnemonic ('&' followed by a character other than '&') of a text.
uint8_t WebMnemonicOf(const char* text);
// A creator that ran out of memory after its record was made: the kind's own
// fields freed, the record too when the creator allocated it; null, code -6.
ObjectRecord* WebCreateRefused(ObjectRecord* rec, bool allocated, void (*destroy)(ObjectRecord*), int32_t* code);
