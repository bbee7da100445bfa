// webbutton.h - push buttons, check boxes and radio buttons in the web view:
// their record, creation, texts and values, properties, methods, and the
// group chains of check boxes and radio buttons.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct WebButtonRecord {
    ObjectRecord hdr;
    uint16_t style;            // WebButtonStyle bits
    uint8_t mnemonic;
    uint8_t alignText;
    uint32_t groupId;
    ObjectRecord* nextInGroup; // group chain in TabId order
    ObjectRecord* prevInGroup;
    uint32_t iconRef;
    uint32_t pictureRef;
    char* cmdNote;
    char* caption;
    char* altText;
    char* imageUrl;
    uint32_t state;            // push button: ButtonState; check box: Switch; radio: 0
};

enum WebButtonStyle : uint16_t {
    kBtnDefault = 0x0001, kBtnCancel = 0x0002, kBtnTriState = 0x0008, kBtnShield = 0x0010, kBtnPushLike = 0x0020,
    kBtnType1 = 0x0040, kBtnType2 = 0x0080, kBtnCancelMode = 0x0100, kBtnFileInput = 0x0800,
    kBtnTriStateValue2 = 0x1000,
};

inline WebButtonRecord* WebButton(ObjectRecord* rec) { return reinterpret_cast<WebButtonRecord*>(rec); }

ObjectRecord* WebButtonCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                              int32_t* code);
// An image reference of the creation record (Picture: kind 3, Icon: kind 1
// images) as an image URL into url; false when there is none.
bool WebResolvePictureRef(const ObjectCreateRecord* cr, char* url, size_t urlSize, char* alt, size_t altSize);
bool WebResolveIconRef(const ObjectCreateRecord* cr, char* url, size_t urlSize, char* alt, size_t altSize);
// The source a push button's Picture or Icon is shown by, from its image URL
// and the page's base URL (empty: none): an empty URL or one of more than
// 300 bytes is not shown (false); a '!' URL goes without its mark and a URL with a scheme
// ("http://", "data:") as it stands; any other name goes behind the base URL
// and a '/' when the whole stays under 300 bytes, else as it stands.
bool WebButtonImageSource(const char* url, const char* base, char* out, size_t outSize);
int32_t WebButtonSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                         bool* commonWrite);
int32_t WebButtonGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebButtonMethod(ObjectRecord* rec, MethodCallRec* call);
void WebButtonDestroy(ObjectRecord* rec);
// Links every check box and radio button of group g of the control's window
// into one chain in TabId order.
void WebRadioChainBuild(ObjectRecord* rec, uint32_t group);
void WebRadioChainUnlink(ObjectRecord* rec);
// Registers the creator, the operations and the property handlers of kinds 1, 2 and 13.
void WebButtonInstall();
