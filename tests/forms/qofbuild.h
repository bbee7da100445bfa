// qofbuild.h - the tests' own writer of QOF form files, made from the file
// layout's tables (header fields, 41-byte object rows, 48-byte resource rows,
// label records, 14/16-byte exec descriptors, the code area's text), and the
// creation-stream records the rows carry. It shares no code with the client's
// reader, so a reader fault cannot hide behind the same fault here. The layout
// it reports (Layout) lets tests mutate single fields of a valid file.
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

}  // namespace qofbuild
