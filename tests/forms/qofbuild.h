// qofbuild.h - the tests' own writer of QOF form files, made from the file
// layout's tables (header fields, 41-byte object rows, 48-byte resource rows,
// label records, 14/16-byte exec descriptors, the code area's text), and the
// creation-stream records the rows carry. It shares no code with the client's
// reader, so a reader fault cannot hide behind the same fault here. The layout
// it reports (Layout) lets tests mutate single fields of a valid file; its
// parser (Parse) checks files the client wrote against the same tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qofbuild {

// A creation stream: u16 id + u32 value, or 0x8000 + id, u16 length and text.
struct Stream {
    std::vector<uint8_t> bytes;
    Stream& Int(uint16_t id, int32_t value) {
        Put16(id);
        Put32(static_cast<uint32_t>(value));
        return *this;
    }
    Stream& Text(uint16_t id, const std::string& text) {
        Put16(static_cast<uint16_t>(0x8000 | id));
        Put16(static_cast<uint16_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    void Put16(uint16_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void Put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
};

// Property ids the tests write.
enum : uint16_t {
    kIdBorder = 4, kIdHeight = 15, kIdLeft = 18, kIdName = 24, kIdText = 29, kIdTitle = 30, kIdTop = 31, kIdVisible = 33,
    kIdWidth = 35, kIdWinType = 53, kIdWindow = 158, kIdWinBorder = 184, kIdInTaskbar = 185,
    kIdMdiScroll = 191, kIdImageList = 270, kIdSubMenu = 283,
};

struct Object {
    std::string name;       // stored as given, truncated to 31 characters
    uint8_t kind;
    Stream stream;
};
struct Resource {
    uint32_t number;
    std::string name;
    uint16_t kind;
    uint16_t flags;
    std::vector<uint8_t> data;
};
// One event with code (or, with an empty code, a CALL of the label).
struct Event {
    std::string label;
    uint16_t objectIndex;
    uint32_t eventId;
    std::string code;
};
struct Form {
    uint32_t version = 5;
    uint32_t flags = 0x1;
    uint32_t writerBuild = 10601;
    std::string formName;
    std::vector<Object> objects;
    std::vector<Resource> resources;
    std::vector<Event> events;
    std::string userCode;
    std::vector<uint8_t> ole;
};

// Where the areas landed, for mutations.
struct Layout {
    uint32_t objTable, stream, resTable, resData, labels, descs, ole, code;
    uint32_t descSize;
    std::vector<uint32_t> codeOffsets;   // of each event's code, relative to the code area
};

inline void Set32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Set16(std::vector<uint8_t>& f, size_t at, uint16_t v) {
    f[at] = static_cast<uint8_t>(v);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
    return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}
inline void PutName(std::vector<uint8_t>& f, size_t at, const std::string& name) {
    size_t n = name.size() < 31 ? name.size() : 31;
    memcpy(&f[at], name.data(), n);
}

inline const char* KindName(uint8_t kind) {
    static const char* const names[] = {
        "None", "Button", "CheckBox", "CheckGrp", "DataList", "Dialog", "EditText", "Icon", "Menu", "MRegion",
        "Movie", "Pict", "ComboBox", "Radio", "RadioGrp", "StatText", "SubMenu", "Timer", "Color", "Font",
        "GroupBox", "Progress", "HScrollBar", "VScrollBar", "FloatMenu", "Window", "Shape", "TabControl",
        "Slider", "Collection", "Line", "Container", "Control", "Automation", "Variant", "ImageList",
        "ListView", "TreeView", "StatusBar", "StatusPanel", "ToolBar", "ToolButton", "Splitter", "Panel",
        "EditNumber", "EditDateTime", "LabelText", "Animate", "MenuItem", "RichEditText", "NetObject",
        "NetControl", "HtmlControl"};
    return kind <= 52 ? names[kind] : "None";
}
inline bool IsSubObject(uint8_t kind) { return kind == 39 || kind == 41 || kind == 48; }

// The code area: declarations, the fixed event declarations, and with events
// the GOTO line, each handler and the user code up to the #S target.
inline std::string CodeArea(const Form& form, std::vector<uint32_t>* codeOffsets) {
    std::string code;
    for (const Object& o : form.objects) {
        if (IsSubObject(o.kind)) continue;
        std::string name = o.name.substr(0, 31);
        name.resize(32, ' ');
        code += name + KindName(o.kind) + "\r\n";
    }
    code += "#EventType \tForm \t4\r\n#EventResult \tForm \t11\r\n#EventObjId \tForm \t8\r\n"
            "#EventChar \tDim \t1\r\n#EventMod \tForm \t4\r\n\r\n";
    if (!form.events.empty()) {
        code += " GOTO #S\r\n";
        for (const Event& e : form.events) {
            codeOffsets->push_back(0);
            if (e.code.empty()) continue;
            code += e.label + "\r\n";
            codeOffsets->back() = static_cast<uint32_t>(code.size());
            code += e.code;
            code += "\r\n@  \tRETURN\r\n\r\n";
        }
        code += form.userCode;
        code += "#S\r\n";
    }
    return code;
}

inline std::vector<uint8_t> Build(const Form& form, Layout* layout = nullptr) {
    Layout l = {};
    uint32_t count = static_cast<uint32_t>(form.objects.size());
    l.objTable = 300;
    l.stream = 300 + 41 * count;
    uint32_t streamSize = 0;
    for (const Object& o : form.objects) streamSize += static_cast<uint32_t>(o.stream.bytes.size());
    l.resTable = l.stream + streamSize;
    uint32_t resCount = static_cast<uint32_t>(form.resources.size());
    l.resData = l.resTable + 48 * resCount;
    uint32_t resSize = 0;
    for (const Resource& r : form.resources) resSize += static_cast<uint32_t>(r.data.size());
    l.labels = l.resData + resSize;
    std::vector<uint8_t> labels;
    std::vector<uint32_t> labelOffsets;
    for (const Event& e : form.events) {
        labelOffsets.push_back(static_cast<uint32_t>(labels.size()));
        labels.insert(labels.end(), 4, 0);
        labels.push_back(static_cast<uint8_t>(e.label.size()));
        labels.insert(labels.end(), e.label.begin(), e.label.end());
    }
    l.descs = l.labels + static_cast<uint32_t>(labels.size());
    l.descSize = form.version == 1 ? 14 : 16;
    uint32_t descCount = static_cast<uint32_t>(form.events.size());
    l.ole = l.descs + l.descSize * descCount;
    l.code = l.ole + static_cast<uint32_t>(form.ole.size());
    std::string code = CodeArea(form, &l.codeOffsets);

    std::vector<uint8_t> f(l.code + code.size(), 0);
    memcpy(&f[0], "QOVF", 4);
    Set32(f, 4, form.version);
    Set32(f, 8, form.flags);
    Set32(f, 12, l.objTable);
    Set32(f, 16, count);
    Set32(f, 20, l.stream);
    Set32(f, 24, streamSize);
    Set32(f, 28, l.resTable);
    Set32(f, 32, resCount);
    Set32(f, 36, l.resData);
    Set32(f, 40, resSize);
    Set32(f, 44, l.labels);
    Set32(f, 48, static_cast<uint32_t>(labels.size()));
    Set32(f, 52, l.descs);
    Set32(f, 56, descCount);
    Set32(f, 60, l.code);
    Set32(f, 64, static_cast<uint32_t>(code.size()));
    PutName(f, 68, form.formName);
    Set32(f, 100, l.ole);
    Set32(f, 104, static_cast<uint32_t>(form.ole.size()));
    uint32_t top = 0;
    for (const Object& o : form.objects) top += IsSubObject(o.kind) ? 0 : 1;
    Set32(f, 108, top);
    if (!form.userCode.empty()) {
        size_t at = code.rfind(form.userCode + "#S\r\n");
        Set32(f, 128, l.code + static_cast<uint32_t>(at));
        Set32(f, 132, static_cast<uint32_t>(form.userCode.size()));
    }
    Set32(f, 136, form.writerBuild);

    uint32_t streamAt = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const Object& o = form.objects[i];
        size_t row = l.objTable + 41 * i;
        PutName(f, row, IsSubObject(o.kind) && o.name.empty() ? "-" : o.name);
        f[row + 32] = o.kind;
        Set32(f, row + 33, streamAt);
        Set32(f, row + 37, static_cast<uint32_t>(o.stream.bytes.size()));
        if (!o.stream.bytes.empty()) memcpy(&f[l.stream + streamAt], o.stream.bytes.data(), o.stream.bytes.size());
        streamAt += static_cast<uint32_t>(o.stream.bytes.size());
    }
    uint32_t dataAt = 0;
    for (uint32_t i = 0; i < resCount; ++i) {
        const Resource& r = form.resources[i];
        size_t row = l.resTable + 48 * i;
        Set32(f, row, r.number);
        PutName(f, row + 4, r.name);
        Set16(f, row + 36, r.kind);
        Set16(f, row + 38, r.flags);
        Set32(f, row + 40, dataAt);
        Set32(f, row + 44, static_cast<uint32_t>(r.data.size()));
        if (!r.data.empty()) memcpy(&f[l.resData + dataAt], r.data.data(), r.data.size());
        dataAt += static_cast<uint32_t>(r.data.size());
    }
    if (!labels.empty()) memcpy(&f[l.labels], labels.data(), labels.size());
    for (uint32_t i = 0; i < descCount; ++i) {
        const Event& e = form.events[i];
        size_t d = l.descs + l.descSize * i;
        Set16(f, d, static_cast<uint16_t>(labelOffsets[i]));
        if (form.version == 1) {
            Set16(f, d + 2, static_cast<uint16_t>(e.eventId));
            Set16(f, d + 4, e.objectIndex);
            Set32(f, d + 6, l.codeOffsets[i]);
            Set32(f, d + 10, static_cast<uint32_t>(e.code.size()));
        } else {
            Set16(f, d + 2, e.objectIndex);
            Set32(f, d + 4, e.eventId);
            Set32(f, d + 8, l.codeOffsets[i]);
            Set32(f, d + 12, static_cast<uint32_t>(e.code.size()));
        }
    }
    if (!form.ole.empty()) memcpy(&f[l.ole], form.ole.data(), form.ole.size());
    memcpy(&f[l.code], code.data(), code.size());
    if (layout) *layout = l;
    return f;
}

// The window row's stream: a visible window at (left, top) of width x height pixels.
inline Stream WindowStream(const std::string& title, int32_t left, int32_t top, int32_t width, int32_t height,
                           bool visible = true) {
    Stream s;
    s.Int(kIdLeft, left).Int(kIdTop, top).Int(kIdWidth, width).Int(kIdHeight, height).Text(kIdTitle, title);
    if (visible) s.Int(kIdVisible, 1);
    return s;
}
// A control's stream: parent index, rectangle, text, visible.
inline Stream ControlStream(const std::string& text, int32_t left, int32_t top, int32_t width, int32_t height,
                            uint32_t parent = 0) {
    Stream s;
    s.Int(kIdLeft, left).Int(kIdTop, top).Int(kIdWidth, width).Int(kIdHeight, height).Int(kIdVisible, 1);
    if (parent) s.Int(kIdWindow, static_cast<int32_t>(parent));
    if (!text.empty()) s.Text(kIdText, text);
    return s;
}

// A form of the text, list and menu kinds: buttons, edits, a combo box, a list
// view, a tree view, a group box, a label and a menu with two items of the
// texts given.
inline Form AddressForm(const std::string& saveItem, const std::string& exitItem) {
    Form form;
    form.formName = "Address";
    form.objects.push_back({"AddrWin", 25, WindowStream("Address entry", 60, 60, 420, 300)});
    form.objects.push_back({"Frame", 20, ControlStream("Person", 5, 5, 400, 120)});
    form.objects.push_back({"NameLbl", 15, ControlStream("Name", 15, 25, 60, 20)});
    form.objects.push_back({"NameEdit", 6, ControlStream("Ada", 80, 25, 200, 22)});
    form.objects.push_back({"CityCombo", 12, ControlStream("", 80, 55, 200, 120)});
    form.objects.push_back({"People", 36, ControlStream("", 5, 130, 200, 100)});
    form.objects.push_back({"Groups", 37, ControlStream("", 210, 130, 195, 100)});
    form.objects.push_back({"OkBtn", 1, ControlStream("OK", 240, 240, 80, 26)});
    form.objects.push_back({"CancelBtn", 1, ControlStream("Cancel", 325, 240, 80, 26)});
    form.objects.push_back({"MainMenu", 8, ControlStream("&File", 0, 0, 0, 0)});
    form.objects.push_back({"-", 48, ControlStream(saveItem, 0, 0, 0, 0)});
    form.objects.push_back({"-", 48, ControlStream(exitItem, 0, 0, 0, 0)});
    form.resources.push_back({2001, "Logo", 3, 0, {'B', 'M', 'x'}});
    return form;
}

// A small form of every area: a window, two buttons with a handler each (one a
// CALL), an edit, a resource of each image kind, user code.
inline Form SampleForm() {
    Form form;
    form.formName = "Sample";
    form.objects.push_back({"SampleWin", 25, WindowStream("Sample form", 40, 40, 320, 200)});
    form.objects.push_back({"OkBtn", 1, ControlStream("OK", 10, 10, 80, 24)});
    form.objects.push_back({"NameEdit", 6, ControlStream("", 10, 50, 160, 22)});
    form.objects.push_back({"CancelBtn", 1, ControlStream("Cancel", 100, 10, 80, 24)});
    form.resources.push_back({1001, "AppIcon", 1, 0x2, {0, 0, 1, 0, 1, 0}});
    form.resources.push_back({2001, "Logo", 3, 0x0, {'B', 'M', 1, 2, 3, 4, 5, 6}});
    form.events.push_back({"Click_OkBtn", 1, 4, " MESSAGE OkBtn.Text ;&OBJNAME\r\n"});
    form.events.push_back({"DoCancel", 3, 4, ""});
    form.userCode = "DoCancel:\r\n RETURN\r\n";
    return form;
}

// ---- Parsing --------------------------------------------------------------------
// The reverse of Build, from the same tables: every area where the layout puts
// it (each offset the sum of the areas before it), the rows, records, labels,
// descriptors and the code area's text. Used to check what the client's writer
// produced field by field, without the client's reader.
struct Record {
    uint16_t word;          // the record's first u16
    uint32_t id;            // property id (or the name length + 1 of a named record)
    bool text;
    uint32_t value;         // number records
    std::string data;       // text and named records (named: "name=value")
};
struct ParsedRow {
    std::string name;
    uint8_t kind;
    uint32_t streamOff, streamSize;
    std::vector<uint8_t> stream;
};
struct ParsedDesc {
    uint16_t labelOff, objectIndex;
    uint32_t eventId, codeOff, codeLength;
    std::string label;      // the label record's text
    std::string code;       // code length bytes at the code offset of the code area
};
struct Parsed {
    bool ok = false;
    std::string why;        // the first layout rule the file breaks
    uint32_t version = 0, flags = 0, count = 0, streamOff = 0, streamSize = 0, resTable = 0, resCount = 0;
    uint32_t resData = 0, resDataSize = 0, labels = 0, labelSize = 0, descs = 0, descCount = 0;
    uint32_t code = 0, codeSize = 0, ole = 0, oleSize = 0, topCount = 0, userCodeOff = 0, userCodeSize = 0;
    uint32_t writerBuild = 0;
    std::string formName;
    std::vector<uint8_t> guid;
    std::vector<ParsedRow> rows;
    std::vector<Resource> resources;
    std::vector<ParsedDesc> descList;
    std::string codeArea;
};

inline uint16_t Get16(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>(f[at] | (f[at + 1] << 8));
}
inline std::string FixedName(const std::vector<uint8_t>& f, size_t at) {
    std::string s;
    for (size_t i = 0; i < 32 && f[at + i]; ++i) s += static_cast<char>(f[at + i]);
    return s;
}

// The records of one creation stream; *ok false when a record runs past the end.
inline std::vector<Record> Records(const std::vector<uint8_t>& s, bool* ok) {
    std::vector<Record> out;
    *ok = true;
    size_t p = 0;
    while (p < s.size()) {
        if (p + 2 > s.size()) { *ok = false; break; }
        Record r = {};
        r.word = Get16(s, p);
        p += 2;
        if (r.word < 0x8000) {
            if (p + 4 > s.size()) { *ok = false; break; }
            r.id = r.word;
            r.value = Get32(s, p);
            p += 4;
        } else if (r.word < 0xC000) {
            if (p + 2 > s.size()) { *ok = false; break; }
            uint32_t n = Get16(s, p);
            p += 2;
            if (p + n > s.size()) { *ok = false; break; }
            r.id = r.word - 0x8000u;
            r.text = true;
            r.data.assign(s.begin() + static_cast<long>(p), s.begin() + static_cast<long>(p + n));
            p += n;
        } else {
            uint32_t base = r.word >= 0xF000 ? 0xF000u : r.word >= 0xE000 ? 0xE000u : 0xC000u;
            if (p + 2 > s.size()) { *ok = false; break; }
            uint32_t n = Get16(s, p);
            p += 2;
            if (base == 0xF000) {
                if (p + 2 > s.size()) { *ok = false; break; }
                n |= static_cast<uint32_t>(Get16(s, p)) << 16;
                p += 2;
            }
            r.id = r.word - base;
            if (r.id == 0 || p + r.id + n > s.size() || s[p + r.id - 1] != 0) { *ok = false; break; }
            r.data.assign(s.begin() + static_cast<long>(p), s.begin() + static_cast<long>(p + r.id - 1));
            r.data += "=";
            r.data.append(s.begin() + static_cast<long>(p + r.id), s.begin() + static_cast<long>(p + r.id + n));
            r.text = true;
            p += r.id + n;
        }
        out.push_back(r);
    }
    return out;
}

inline const Record* FindRecord(const std::vector<Record>& recs, uint32_t id) {
    for (const Record& r : recs)
        if (r.word < 0xC000 && r.id == id) return &r;
    return nullptr;
}

inline Parsed Parse(const std::vector<uint8_t>& f) {
    Parsed p;
    auto fail = [&](const char* why) {
        p.why = why;
        return p;
    };
    if (f.size() < 300 || memcmp(f.data(), "QOVF", 4) != 0) return fail("header");
    p.version = Get32(f, 4);
    p.flags = Get32(f, 8);
    if (Get32(f, 12) != 300) return fail("object table offset");
    p.count = Get32(f, 16);
    p.streamOff = Get32(f, 20);
    p.streamSize = Get32(f, 24);
    p.resTable = Get32(f, 28);
    p.resCount = Get32(f, 32);
    p.resData = Get32(f, 36);
    p.resDataSize = Get32(f, 40);
    p.labels = Get32(f, 44);
    p.labelSize = Get32(f, 48);
    p.descs = Get32(f, 52);
    p.descCount = Get32(f, 56);
    p.code = Get32(f, 60);
    p.codeSize = Get32(f, 64);
    p.formName = FixedName(f, 68);
    p.ole = Get32(f, 100);
    p.oleSize = Get32(f, 104);
    p.topCount = Get32(f, 108);
    p.guid.assign(f.begin() + 112, f.begin() + 128);
    p.userCodeOff = Get32(f, 128);
    p.userCodeSize = Get32(f, 132);
    p.writerBuild = Get32(f, 136);
    for (size_t i = 140; i < 300; ++i)
        if (f[i]) return fail("reserved bytes");
    if (p.streamOff != 300 + 41 * p.count) return fail("stream offset");
    if (p.resTable != p.streamOff + p.streamSize) return fail("resource table offset");
    if (p.resData != p.resTable + 48 * p.resCount) return fail("resource data offset");
    if (p.labels != p.resData + p.resDataSize) return fail("label offset");
    if (p.descs != p.labels + p.labelSize) return fail("descriptor offset");
    if (p.ole != p.descs + 16 * p.descCount) return fail("OLE offset");
    if (p.code != p.ole + p.oleSize) return fail("code offset");
    if (static_cast<uint64_t>(p.code) + p.codeSize != f.size()) return fail("file end");
    uint32_t at = 0;
    for (uint32_t i = 0; i < p.count; ++i) {
        size_t row = 300 + 41 * i;
        ParsedRow r;
        r.name = FixedName(f, row);
        r.kind = f[row + 32];
        r.streamOff = Get32(f, row + 33);
        r.streamSize = Get32(f, row + 37);
        if (r.streamOff != at) return fail("row stream offset");
        at += r.streamSize;
        if (at > p.streamSize) return fail("row stream size");
        r.stream.assign(f.begin() + p.streamOff + r.streamOff, f.begin() + p.streamOff + at);
        p.rows.push_back(r);
    }
    if (at != p.streamSize) return fail("form stream size");
    uint32_t dataAt = 0;
    for (uint32_t i = 0; i < p.resCount; ++i) {
        size_t row = p.resTable + 48 * i;
        Resource r;
        r.number = Get32(f, row);
        r.name = FixedName(f, row + 4);
        r.kind = Get16(f, row + 36);
        r.flags = Get16(f, row + 38);
        if (Get32(f, row + 40) != dataAt) return fail("resource data offset column");
        uint32_t n = Get32(f, row + 44);
        if (dataAt + n > p.resDataSize) return fail("resource size");
        r.data.assign(f.begin() + p.resData + dataAt, f.begin() + p.resData + dataAt + n);
        dataAt += n;
        p.resources.push_back(r);
    }
    if (dataAt != p.resDataSize) return fail("resource data size");
    p.codeArea.assign(f.begin() + p.code, f.end());
    for (uint32_t i = 0; i < p.descCount; ++i) {
        size_t d = p.descs + 16 * i;
        ParsedDesc e;
        e.labelOff = Get16(f, d);
        e.objectIndex = Get16(f, d + 2);
        e.eventId = Get32(f, d + 4);
        e.codeOff = Get32(f, d + 8);
        e.codeLength = Get32(f, d + 12);
        if (e.labelOff + 5u > p.labelSize || Get32(f, p.labels + e.labelOff) != 0) return fail("label record");
        uint8_t n = f[p.labels + e.labelOff + 4];
        if (e.labelOff + 5u + n > p.labelSize) return fail("label text");
        e.label.assign(f.begin() + p.labels + e.labelOff + 5, f.begin() + p.labels + e.labelOff + 5 + n);
        if (e.codeLength) {
            if (static_cast<uint64_t>(e.codeOff) + e.codeLength > p.codeSize) return fail("event code");
            e.code = p.codeArea.substr(e.codeOff, e.codeLength);
        }
        p.descList.push_back(e);
    }
    if (p.userCodeSize && (p.userCodeOff < p.code || p.userCodeOff + p.userCodeSize > f.size()))
        return fail("user code");
    p.ok = true;
    return p;
}

}  // namespace qofbuild
