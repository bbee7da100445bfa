// writefake.h - objects the form writer reads in host tests: each a kind, a
// parent, property values and texts, references and sub-objects, served
// through the writer's table of object functions; a save context over them,
// and a sample form of every area (menus with items, a sub-menu reference,
// events with code and CALLs, user code, resources).
#pragma once

#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "forms/formwrite.h"
#include "objects/objtables.h"
#include "session/util/mem.h"

inline void GuardedFreeBytes(void* p) { GuardedFree(p); }

namespace writefake {

struct FakeObject {
    explicit FakeObject(uint8_t k) : kind(k) {}
    uint8_t kind;
    FakeObject* parent = nullptr;
    std::map<uint32_t, int32_t> values;
    std::map<uint32_t, std::string> texts;
    std::map<uint32_t, FakeObject*> refs;
    std::vector<FakeObject*> subs;
};

inline FakeObject* As(void* o) { return static_cast<FakeObject*>(o); }
inline uint8_t KindOf(void* o) { return As(o)->kind; }
inline bool GetProp(void* o, uint32_t id, FormPropValue* out) {
    FakeObject* f = As(o);
    auto v = f->values.find(id);
    out->value = v != f->values.end() ? v->second : (id == 198 ? 3 : id == 226 ? 7 : 0);
    auto t = f->texts.find(id);
    static std::string empty;
    const std::string& s = t != f->texts.end() ? t->second : empty;
    out->text = s.data();
    out->length = static_cast<uint32_t>(s.size());
    return true;
}
inline void* ParentOf(void* o) { return As(o)->parent; }
inline void* Reference(void* o, uint32_t id) {
    auto r = As(o)->refs.find(id);
    return r != As(o)->refs.end() ? r->second : nullptr;
}
inline uint32_t SubCount(void* o) { return static_cast<uint32_t>(As(o)->subs.size()); }
inline void* SubAt(void* o, uint32_t i) { return i < As(o)->subs.size() ? As(o)->subs[i] : nullptr; }
inline const char* ControlClass(void*) { return "Some.Control"; }

inline const FormObjectSource kSource = {KindOf, GetProp, ParentOf, Reference, SubCount, SubAt, ControlClass};

const uint8_t kGuid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
inline bool FixedGuid(uint8_t out[16]) {
    memcpy(out, kGuid, 16);
    return true;
}

inline void SetCode(FormEventItem* ev, const std::string& code) {
    GuardedFree(ev->code);
    ev->code = static_cast<char*>(GuardedAlloc(code.size() + 1));
    memcpy(ev->code, code.c_str(), code.size() + 1);
    ev->codeLength = static_cast<uint32_t>(code.size());
}

inline FormResource* MakeResource(uint32_t number, const char* name, uint16_t kind, uint16_t flags,
                                  const std::vector<uint8_t>& data) {
    auto* r = static_cast<FormResource*>(LocalAllocZero(offsetof(FormResource, data) + data.size() + 1));
    r->number = number;
    snprintf(r->name, sizeof r->name, "%s", name);
    r->kind = kind;
    r->flags = flags;
    r->size = static_cast<uint32_t>(data.size());
    if (!data.empty()) memcpy(r->data, data.data(), data.size());
    return r;
}

// A save context (large: kept on the heap) over fake objects.
struct Form {
    Form() : holder(new FormSaveContext()), ctx(*holder) {
        memset(&ctx, 0, sizeof ctx);
        ctx.source = &kSource;
    }
    ~Form() {
        FormSaveContextFree(&ctx);
        FormResChainFree(owned);
        delete holder;
    }
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    FormSaveEntry& Add(FakeObject* o, const char* name, FakeObject* parent = nullptr) {
        o->parent = parent;
        FormSaveEntry& e = ctx.entries[ctx.entryCount++];
        snprintf(e.name, sizeof e.name, "%s", name);
        e.kind = o->kind;
        e.object = o;
        return e;
    }
    // Sets the code of event id of an entry (its event list built first).
    void Event(FormSaveEntry& e, uint32_t id, const std::string& code) {
        FormEntryBuildEvents(&e);
        for (uint32_t k = 0; k < e.eventCount; ++k)
            if (e.events[k].eventId == id) SetCode(&e.events[k], code);
    }
    void Resources(FormResource* chain) {
        owned = chain;
        ctx.resources = chain;
    }
    FormSaveContext* holder;
    FormSaveContext& ctx;
    FormResource* owned = nullptr;
};

// The sample: a window; a sub-menu Opts with one item; a menu Bar whose
// second item opens Opts; two buttons (one named with '#'); an edit.
struct Sample {
    FakeObject win{kKindWindow}, opts{kKindSubMenu}, optItem{kKindMenuItem}, bar{kKindMenu};
    FakeObject barItem1{kKindMenuItem}, barItem2{kKindMenuItem};
    FakeObject ok{kKindButton}, cancel{kKindButton}, edit{kKindEditText};
    Form form;
    std::string userCode = "Setup:\r\n RETURN\r\n";
    Sample() {
        win.texts[30] = "Sample form";
        win.values[15] = 200;
        win.values[35] = 320;
        opts.texts[29] = "Options";
        optItem.texts[29] = "Wrap";
        opts.subs = {&optItem};
        bar.subs = {&barItem1, &barItem2};
        barItem1.texts[29] = "&File";
        barItem2.texts[29] = "&Options";
        barItem2.refs[283] = &opts;
        ok.texts[30] = "OK";
        ok.values[15] = 24;
        ok.values[35] = 80;
        cancel.texts[30] = "Cancel";
        edit.texts[29] = "Ann";
        snprintf(form.ctx.formName, sizeof form.ctx.formName, "Sample");
        FormSaveEntry& w = form.Add(&win, "SampleWin");
        form.Add(&opts, "Opts", &win);
        form.Add(&bar, "Bar", &win);
        FormSaveEntry& okE = form.Add(&ok, "OkBtn", &win);
        FormSaveEntry& cancelE = form.Add(&cancel, "#Cancel", &win);
        form.Add(&edit, "NameEdit", &win);
        form.Event(w, 0, "\tCALL\tSetup\r\n MESSAGE \"more\"");
        form.Event(okE, 4, " MESSAGE &objname.Text\r\n RETURN");
        form.Event(cancelE, 4, "CALL DoIt");
        form.ctx.userCode = userCode.c_str();
        form.ctx.userCodeLength = static_cast<uint32_t>(userCode.size());
        FormResource* icon = MakeResource(1001, "AppIcon", 1, 2, {0, 0, 1, 0});
        icon->next = MakeResource(2001, "Logo", 3, 0, {'B', 'M', 1, 2});
        form.Resources(icon);
    }
};

}  // namespace writefake
