// crstream.cpp - the creation record and DecodeFormCrStream: one object's
// creation stream (from a create request or a form file) read record by record
// into the fields the creators read.
#include "objects/crstream.h"

#include <cstddef>
#include <cstring>

#include "session/util/bytereader.h"

ObjectCreateRecord gObjectCreateRecord;

namespace {

// Record words of a creation stream.
constexpr uint16_t kWordTextBit = 0x8000;
constexpr uint16_t kWordNamed = 0xC000;
constexpr uint16_t kWordXml = 0xE000;
constexpr uint16_t kWordXmlLong = 0xF000;
constexpr char kItemSeparator = ';';            // between the pieces of an item text

enum FieldForm : uint8_t {
    kFormI32,       // int32 field
    kFormU16,       // uint16 field (value cut to 16 bits)
    kFormColor,     // CrColor field, value part
    kFormText,      // CrText field
    kFormFlag0,     // flag word 0 bit, set when non-zero
    kFormFlag0Off,  // flag word 0 bit, set when zero
    kFormFlag1,
    kFormFlag1Off,
};

struct FieldRow {
    uint16_t id;
    FieldForm form;
    uint32_t offset;  // offset of the field, or the bit for the flag forms
};

#define CRF(field) static_cast<uint32_t>(offsetof(ObjectCreateRecord, field))

// Property id -> field of the creation record. Ids not listed are still kept by
// id in values[] or texts[] for the kinds that read them.
const FieldRow kFieldTable[] = {
    {kPidBgColor, kFormColor, CRF(bgColor)},
    {kPidBorder, kFormFlag1, kCr1Border},
    {kPidBdrColor, kFormColor, CRF(bdrColor)},
    {kPidStyle, kFormI32, CRF(style)},
    {kPidDropId, kFormU16, CRF(dropId)},
    {kPidEnabled, kFormFlag0Off, kCrDisabled},
    {kPidFgColor, kFormColor, CRF(fgColor)},
    {kPidHeight, kFormI32, CRF(height)},
    {kPidHelpId, kFormI32, CRF(helpId)},
    {kPidLeft, kFormI32, CRF(left)},
    {kPidObjectId, kFormU16, CRF(objectId)},
    {kPidName, kFormText, CRF(name)},
    {kPidTabId, kFormI32, CRF(tabId)},
    {kPidText, kFormText, CRF(text)},
    {kPidTitle, kFormText, CRF(title)},
    {kPidTop, kFormI32, CRF(top)},
    {kPidVisible, kFormFlag0, kCrVisible},
    {kPidWidth, kFormI32, CRF(width)},
    {kPidZOrder, kFormU16, CRF(zOrder)},
    {kPidAppearance, kFormI32, CRF(appearance)},
    {kPidBackStyle, kFormI32, CRF(backStyle)},
    {kPidLoadObject, kFormFlag1Off, kCr1NoLoad},
    {kPidWinType, kFormI32, CRF(winType)},
    {kPidAutoRedraw, kFormI32, CRF(autoRedraw)},
    {kPidScrollBar, kFormI32, CRF(scrollBar)},
    {kPidWinPos, kFormI32, CRF(winPos)},
    {kPidGridAlign, kFormI32, CRF(gridAlign)},
    {kPidGridSizeH, kFormI32, CRF(gridSizeH)},
    {kPidGridSizeV, kFormI32, CRF(gridSizeV)},
    {kPidUnits, kFormI32, CRF(units)},
    {kPidAutoAct, kFormI32, CRF(autoAct)},
    {kPidSizeMode, kFormI32, CRF(sizeMode)},
    {kPidAutoVerb, kFormI32, CRF(autoVerb)},
    {kPidDisplayType, kFormI32, CRF(displayType)},
    {kPidClassId, kFormText, CRF(classId)},
    {kPidOLEDrop, kFormI32, CRF(oleDrop)},
    {kPidSourceDoc, kFormText, CRF(sourceDoc)},
    {kPidUpdateOpt, kFormI32, CRF(updateOpt)},
    {kPidStoreId, kFormI32, CRF(storeId)},
    {kPidHostName, kFormText, CRF(hostName)},
    {kPidOLETypeA, kFormI32, CRF(oleTypeA)},
    {kPidClsid, kFormText, CRF(clsid)},
    {kPidToolTip, kFormText, CRF(toolTip)},
    {kPidRightToLeft, kFormI32, CRF(rightToLeft)},
    {kPidAdviseKey, kFormI32, CRF(adviseKey)},
    {kPidRemServer, kFormText, CRF(remServer)},
    {kPidCauseValid, kFormFlag1, kCr1CauseValid},
    {kPidWindow, kFormI32, CRF(window)},
    {kPidVarPtr, kFormI32, CRF(varPtr)},
    {kPidVarType, kFormI32, CRF(varType)},
    {kPidWinBorder, kFormI32, CRF(winBorder)},
    {kPidInTaskbar, kFormI32, CRF(inTaskbar)},
    {kPidTopmost, kFormI32, CRF(topmost)},
    {kPidAutoScroll, kFormI32, CRF(autoScroll)},
    {kPidMinScrollH, kFormI32, CRF(minScrollH)},
    {kPidMinScrollV, kFormI32, CRF(minScrollV)},
    {kPidMdiBorder, kFormI32, CRF(mdiBorder)},
    {kPidMdiScroll, kFormI32, CRF(mdiScroll)},
    {kPidMdiTop, kFormI32, CRF(mdiTop)},
    {kPidMdiLeft, kFormI32, CRF(mdiLeft)},
    {kPidMdiHeight, kFormI32, CRF(mdiHeight)},
    {kPidMdiWidth, kFormI32, CRF(mdiWidth)},
    {kPidDock, kFormI32, CRF(dock)},
    {kPidMinWidth, kFormI32, CRF(minWidth)},
    {kPidRunName, kFormText, CRF(runName)},
    {kPidDockPadL, kFormI32, CRF(dockPadL)},
    {kPidDockPadT, kFormI32, CRF(dockPadT)},
    {kPidDockPadR, kFormI32, CRF(dockPadR)},
    {kPidDockPadB, kFormI32, CRF(dockPadB)},
    {kPidAnchor, kFormI32, CRF(anchor)},
    {kPidOsEventMask, kFormI32, CRF(osEventMask)},
    {kPidDestroyGlobal, kFormI32, CRF(destroyGlobal)},
    {kPidHelpTopic, kFormText, CRF(helpTopic)},
    {kPidUserData, kFormText, CRF(userData)},
    {kPidMinHeight, kFormI32, CRF(minHeight)},
    {kPidTheme, kFormText, CRF(theme)},
    {kPidRibDll, kFormText, CRF(ribDll)},
    {kPidRibName, kFormText, CRF(ribName)},
    {kPidRibMode, kFormI32, CRF(ribMode)},
    {kPidButtonType, kFormI32, CRF(buttonType)},
    {kPidWebClass, kFormText, CRF(webClass)},
    {kPidUseCss, kFormText, CRF(useCss)},
    {kPidDivisionId, kFormText, CRF(divisionId)},
    {kPidShowWebMenu, kFormI32, CRF(showWebMenu)},
    {kPidWebHeight, kFormText, CRF(webHeight)},
    {kPidWebPosition, kFormI32, CRF(webPosition)},
    {kPidWebWidth, kFormText, CRF(webWidth)},
    {kPidWebLeft, kFormText, CRF(webLeft)},
    {kPidWebTop, kFormText, CRF(webTop)},
    {kPidInnerHtml, kFormText, CRF(innerHtml)},
    {kPidCodePage, kFormI32, CRF(codePage)},
    {kPidWebMode, kFormI32, CRF(webMode)},
    {kPidWebObject, kFormI32, CRF(webObject)},
    {kPidContext, kFormI32, CRF(context)},
};

#undef CRF

const FieldRow* FindField(uint32_t id) {
    for (const FieldRow& row : kFieldTable)
        if (row.id == id) return &row;
    return nullptr;
}

uint8_t* FieldAt(ObjectCreateRecord* cr, uint32_t offset) {
    return reinterpret_cast<uint8_t*>(cr) + offset;
}

// A position or size beyond this many units either way is held there: far past
// any screen or page, and far enough inside the 32-bit range that the edges
// made of them, and the creators' sums, differences and scalings, cannot
// overflow (a wrapped edge did).
constexpr int32_t kCrCoordLimit = 1 << 24;

bool IsCoordinate(uint32_t id) {
    switch (id) {
    case kPidTop: case kPidLeft: case kPidWidth: case kPidHeight:
    case kPidX1: case kPidX2: case kPidY1: case kPidY2:
        return true;
    default:
        return false;
    }
}

uint32_t HoldCoord(uint32_t id, uint32_t value) {
    if (!IsCoordinate(id)) return value;
    int32_t v = static_cast<int32_t>(value);
    if (v > kCrCoordLimit) v = kCrCoordLimit;
    if (v < -kCrCoordLimit) v = -kCrCoordLimit;
    return static_cast<uint32_t>(v);
}

void StoreNumber(ObjectCreateRecord* cr, uint32_t id, uint32_t value) {
    value = HoldCoord(id, value);
    cr->values[id] = static_cast<int32_t>(value);
    cr->given[id] = 1;
    const FieldRow* f = FindField(id);
    if (!f) return;
    switch (f->form) {
    case kFormI32: {
        int32_t v = static_cast<int32_t>(value);
        memcpy(FieldAt(cr, f->offset), &v, sizeof v);
        break;
    }
    case kFormU16: {
        uint16_t v = static_cast<uint16_t>(value);
        memcpy(FieldAt(cr, f->offset), &v, sizeof v);
        break;
    }
    case kFormColor: {
        CrColor* c = reinterpret_cast<CrColor*>(FieldAt(cr, f->offset));
        c->object = nullptr;
        c->value = static_cast<int32_t>(value);
        break;
    }
    case kFormText:
        break;  // a number where a text belongs: kept by id only
    case kFormFlag0:
        cr->flags0 = value ? (cr->flags0 | f->offset) : (cr->flags0 & ~f->offset);
        break;
    case kFormFlag0Off:
        cr->flags0 = value ? (cr->flags0 & ~f->offset) : (cr->flags0 | f->offset);
        break;
    case kFormFlag1:
        cr->flags1 = value ? (cr->flags1 | f->offset) : (cr->flags1 & ~f->offset);
        break;
    case kFormFlag1Off:
        cr->flags1 = value ? (cr->flags1 & ~f->offset) : (cr->flags1 | f->offset);
        break;
    }
}

void StoreText(ObjectCreateRecord* cr, uint32_t id, const char* text, uint32_t length) {
    cr->texts[id].text = text;
    cr->texts[id].length = length;
    cr->given[id] = 1;
    const FieldRow* f = FindField(id);
    if (f && f->form == kFormText) {
        CrText* t = reinterpret_cast<CrText*>(FieldAt(cr, f->offset));
        t->text = text;
        t->length = length;
    }
}

}  // namespace

void CreateRecordReset(ObjectCreateRecord* cr) {
    memset(cr, 0, sizeof *cr);
    cr->bdrColor.value = cr->bgColor.value = cr->fgColor.value = -1;
    cr->rightToLeft = -1;
    cr->dock = 3;
    cr->anchor = 7;
    cr->destroyGlobal = 1;
    cr->autoRedraw = 1;
}

bool DecodeFormCrStream(const uint8_t* stream, size_t size, uint32_t fileVersion, uint32_t flag,
                        ObjectCreateRecord* cr) {
    CreateRecordReset(cr);
    cr->fileVersion = fileVersion;
    cr->decodeFlag = flag;
    ByteReader r(stream, size);
    size_t pos = 0;
    while (pos < r.Length()) {
        uint16_t word;
        if (!r.U16At(pos, &word)) return false;
        pos += 2;
        if (word < kWordTextBit) {
            uint32_t value;
            if (!r.U32At(pos, &value)) return false;
            pos += 4;
            if (word != 0 && word <= kPropIdLast) StoreNumber(cr, word, value);
        } else if (word < kWordNamed) {
            uint16_t length;
            if (!r.U16At(pos, &length)) return false;
            pos += 2;
            const uint8_t* text = r.PtrAt(pos, length);
            if (!text) return false;
            pos += length;
            uint32_t id = word - kWordTextBit;
            if (id != 0 && id <= kPropIdLast)
                StoreText(cr, id, reinterpret_cast<const char*>(text), length);
        } else {
            // Named property: the word carries the name's length with its NUL.
            uint32_t nameLength, dataLength;
            bool xml = word >= kWordXml;
            uint16_t low;
            if (!r.U16At(pos, &low)) return false;
            pos += 2;
            dataLength = low;
            if (word >= kWordXmlLong) {
                uint16_t high;
                if (!r.U16At(pos, &high)) return false;
                pos += 2;
                dataLength |= static_cast<uint32_t>(high) << 16;
                nameLength = word - kWordXmlLong;
            } else {
                nameLength = word - (xml ? kWordXml : kWordNamed);
            }
            // A name without room for its NUL, or without the NUL, is malformed.
            const uint8_t* name = r.PtrAt(pos, nameLength);
            if (nameLength == 0 || !name || name[nameLength - 1] != 0) return false;
            pos += nameLength;
            const uint8_t* data = r.PtrAt(pos, dataLength);
            if (!data) return false;
            pos += dataLength;
            if (cr->namedCount < kCrMaxNamed) {
                CrNamed& n = cr->named[cr->namedCount++];
                n.name = reinterpret_cast<const char*>(name);
                n.nameLength = nameLength - 1;
                n.data = data;
                n.length = dataLength;
                n.xml = xml;
            } else {
                cr->namedDropped++;
            }
        }
    }
    // The edges the creators place the rectangle by.
    cr->bottom = cr->top + cr->height;
    cr->right = cr->left + cr->width;
    return true;
}

int32_t CreateRecordValue(const ObjectCreateRecord* cr, uint32_t id, int32_t def) {
    if (id == 0 || id > kPropIdLast || !cr->given[id]) return def;
    return cr->values[id];
}

CrText CreateRecordText(const ObjectCreateRecord* cr, uint32_t id) {
    if (id == 0 || id > kPropIdLast) return CrText{nullptr, 0};
    return cr->texts[id];
}

void CreateRecordLineEnds(const ObjectCreateRecord* cr, int32_t ends[4]) {
    static const uint32_t kEndIds[4] = {kPidX1, kPidY1, kPidX2, kPidY2};
    bool pointsGiven = false;
    for (uint32_t id : kEndIds) pointsGiven = pointsGiven || cr->given[id];
    if (!pointsGiven) {
        ends[0] = cr->left, ends[1] = cr->top, ends[2] = cr->width, ends[3] = cr->height;
        return;
    }
    // A saved line leaves out the points that are 0.
    for (int i = 0; i < 4; ++i) ends[i] = CreateRecordValue(cr, kEndIds[i], 0);
}

CrText CreateRecordItemText(const ObjectCreateRecord* cr, uint32_t dataId, bool* skipFirst) {
    const CrText& t = cr->text.text ? cr->text : cr->title;
    bool holdsItems = false;
    for (uint32_t i = 0; t.text && i + 1 < t.length && !holdsItems; ++i) holdsItems = t.text[i] == kItemSeparator;
    CrText data = CreateRecordText(cr, dataId);
    *skipFirst = holdsItems || !data.text;
    return *skipFirst ? t : data;
}
