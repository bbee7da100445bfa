// comevents.cpp - events of COM objects: what the event sink of an Automation
// object hands on becomes an event of that object when the server registered
// it, its arguments (in parameter order) converted into the registration's
// item templates by the rules of result values.
#include <string>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/varconv.h"
#include "objects/events.h"
#include "objects/objrecord.h"

namespace {

void PostComEvent(ObjectRecord* owner, DISPID id, DISPPARAMS* params) {
    uint32_t eventId = static_cast<uint32_t>(id);
    if (!ObjectIsLive(owner)) return;
    EventReg* reg = EventFindReg(owner, eventId);
    if (!reg) return;
    uint32_t argCount = params ? params->cArgs : 0;
    uint32_t n = reg->itemCount < kEventRegItems ? reg->itemCount : kEventRegItems;
    if (n > argCount) n = argCount;
    EventItem items[kEventRegItems] = {};
    std::string texts[kEventRegItems];
    for (uint32_t i = 0; i < n; ++i) {
        items[i] = reg->items[i];
        // rgvarg holds the last parameter first.
        const VARIANT* arg = &params->rgvarg[argCount - 1 - i];
        bool appendAnyway = false;
        if (VariantToItem(&items[i], arg, &texts[i], &appendAnyway) != 0 && !appendAnyway) {
            // A value that does not convert leaves the variable as the server sent it.
            items[i] = reg->items[i];
            items[i].size = ItemIsText(items[i].kind) ? 0 : items[i].size;
            items[i].data = ItemIsText(items[i].kind) ? "" : nullptr;
        }
    }
    PostEventItems(owner, eventId, kEventKindDefault, items, n);
}

}  // namespace

void ComEventsInstall() { gAutoEventPost = PostComEvent; }
