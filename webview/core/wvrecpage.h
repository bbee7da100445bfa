// wvrecpage.h - the recording page: an in-process stand-in for a page that
// records what the client posts, answers chosen action codes after a chosen
// number of pump turns (or never), and injects page messages of its own. The
// unit tests drive the channel through it, and the recording runtime backend
// delivers its messages from a window procedure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ObjectRecord;

constexpr int kRecNever = -1;
// The answer is handed over inside the post, as the page host's runtime does
// once the page has acknowledged it.
constexpr int kRecInPost = -2;

struct RecPost {
    void* host;
    std::string text;
    uint32_t number;       // the query number the text carries ("qn"), 0 when none
};

struct RecAnswer {
    int action;            // the action code answered
    std::string reply;     // the page's reply text
    int delayTurns;        // pump turns before it arrives; kRecNever: never
};

struct RecDelivery {
    ObjectRecord* owner;
    std::string text;
    int turnsLeft;
};

struct RecPage {
    std::vector<RecPost> posts;
    std::vector<RecAnswer> answers;          // first row that matches the action wins
    std::vector<RecDelivery> pending;
    std::vector<std::string> events;         // queued page events, handed out by action 15
    void* host;                              // the host this page belongs to
    ObjectRecord* owner;
    int pumpTurns;
    void* user;                              // the backend's connection
    void (*deliver)(RecPage* page, ObjectRecord* owner, const char* utf8);
};

// Resets the page; deliver receives every message the page sends.
void RecPageInit(RecPage* page, void* host, ObjectRecord* owner,
                 void (*deliver)(RecPage* page, ObjectRecord* owner, const char* utf8));
// A message that carries only its action code, as the page sends it.
std::string RecActionMessage(int action);
void RecPageAnswer(RecPage* page, int action, const char* reply, int delayTurns);
// A message the page sends by itself, after delayTurns pump turns.
void RecPageInject(RecPage* page, const char* text, int delayTurns);
// Queues a page event (the members of an "action" 8 reply) and announces it
// with "action" 56 the way the page files do.
void RecPageQueueEvent(RecPage* page, const char* members);
// The client posts a text: recorded; the last action in it is answered, with
// the text's query number echoed in the reply as the page files do.
int32_t RecPagePost(RecPage* page, const char* utf8);
// One pump turn: messages whose delay ran out are delivered, in order.
void RecPagePumpTurn(RecPage* page);
// The action codes of a posted text, batches unwrapped, in order.
std::vector<int> RecActionsOf(const std::string& text);
