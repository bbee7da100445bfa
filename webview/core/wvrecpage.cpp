// wvrecpage.cpp - the recording page: posts recorded, answers by action code
// after a number of pump turns, page events queued and handed out one by one.
#include "webview/core/wvrecpage.h"

#include <json.h>

#include "session/util/json.h"
#include "webview/core/pageactions.h"

void RecPageInit(RecPage* page, void* host, ObjectRecord* owner,
                 void (*deliver)(RecPage* page, ObjectRecord* owner, const char* utf8)) {
    *page = RecPage();
    page->host = host;
    page->owner = owner;
    page->deliver = deliver;
}

void RecPageAnswer(RecPage* page, int action, const char* reply, int delayTurns) {
    page->answers.push_back({action, reply, delayTurns});
}

std::string RecActionMessage(int action) {
    return "{\"action\":" + std::to_string(action) + "}";
}

void RecPageInject(RecPage* page, const char* text, int delayTurns) {
    page->pending.push_back({page->owner, text, delayTurns});
}

void RecPageQueueEvent(RecPage* page, const char* members) {
    page->events.push_back(members);
    RecPageInject(page, RecActionMessage(kActEventsWaiting).c_str(), 0);
}

// The integer member name of the object itself; -1 when it has none.
static int64_t TopInt(const json_value* v, const char* name) {
    if (!v || v->type != json_object) return -1;
    for (unsigned i = 0; i < v->u.object.length; i++)
        if (std::string(v->u.object.values[i].name) == name && v->u.object.values[i].value->type == json_integer)
            return v->u.object.values[i].value->u.integer;
    return -1;
}

// The action code of one message; -1 when it has none or one beyond an int.
static int ActionOf(const json_value* v) {
    int64_t action = TopInt(v, "action");
    return action >= INT32_MIN && action <= INT32_MAX ? static_cast<int>(action) : -1;
}

// The query number of a posted text, 0 when it carries none.
static uint32_t NumberOf(const std::string& text) {
    JsonValue* value = JsonParse(text.data(), text.size());
    int64_t n = TopInt(reinterpret_cast<const json_value*>(value), "qn");
    JsonFree(value);
    return n > 0 && n <= UINT32_MAX ? static_cast<uint32_t>(n) : 0;
}

// A reply object as the page files send it: the post's number echoed first.
static std::string Numbered(const std::string& reply, uint32_t number) {
    if (!number || reply.empty() || reply[0] != '{') return reply;
    std::string member = "\"qn\":" + std::to_string(number);
    return "{" + member + (reply.size() > 1 && reply[1] == '}' ? "" : ",") + reply.substr(1);
}

std::vector<int> RecActionsOf(const std::string& text) {
    std::vector<int> out;
    JsonValue* value = JsonParse(text.data(), text.size());
    const json_value* v = reinterpret_cast<const json_value*>(value);
    if (!v) return out;
    const json_value* msgs = nullptr;
    if (v->type == json_object)
        for (unsigned i = 0; i < v->u.object.length; i++)
            if (std::string(v->u.object.values[i].name) == "msgs") msgs = v->u.object.values[i].value;
    if (msgs && msgs->type == json_array) {
        for (unsigned i = 0; i < msgs->u.array.length; i++) out.push_back(ActionOf(msgs->u.array.values[i]));
    } else {
        out.push_back(ActionOf(v));
    }
    JsonFree(value);
    return out;
}

int32_t RecPagePost(RecPage* page, const char* utf8) {
    uint32_t number = NumberOf(utf8);
    page->posts.push_back({page->host, utf8, number});
    std::vector<int> actions = RecActionsOf(utf8);
    if (actions.empty()) return 0;
    int last = actions.back();
    if (last == kActFetchEvent) {
        if (page->events.empty()) {
            page->pending.push_back({page->owner, Numbered("{}", number), 0});
        } else {
            std::string event = "{\"action\":";
            event += std::to_string(kActPageEvent) + "," + page->events.front() + "}";
            page->pending.push_back({page->owner, Numbered(event, number), 0});
            page->events.erase(page->events.begin());
        }
        return 0;
    }
    for (const RecAnswer& a : page->answers) {
        if (a.action != last) continue;
        if (a.delayTurns == kRecInPost) {
            if (page->deliver) page->deliver(page, page->owner, Numbered(a.reply, number).c_str());
        } else if (a.delayTurns != kRecNever) {
            page->pending.push_back({page->owner, Numbered(a.reply, number), a.delayTurns});
        }
        break;
    }
    return 0;
}

void RecPagePumpTurn(RecPage* page) {
    page->pumpTurns++;
    // Taken out first: a delivery may post again and queue new answers.
    std::vector<RecDelivery> due;
    for (size_t i = 0; i < page->pending.size();) {
        if (page->pending[i].turnsLeft <= 0) {
            due.push_back(page->pending[i]);
            page->pending.erase(page->pending.begin() + static_cast<long>(i));
        } else {
            page->pending[i].turnsLeft--;
            i++;
        }
    }
    for (const RecDelivery& d : due)
        if (page->deliver) page->deliver(page, d.owner, d.text.c_str());
}
