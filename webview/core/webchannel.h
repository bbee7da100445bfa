// webchannel.h - the page message channel: batches of action messages for one
// web view, queries that wait for the page's answer, incoming page messages and
// the fetch of waiting page events; and the choice of web view for an object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/objrecord.h"
#include "session/util/json.h"
#include "webview/core/pageactions.h"

constexpr uint32_t kMsgBatchSize = 10250;
constexpr uint32_t kMsgBatchLimit = 10240;     // a batch with its "]}" stays below this
constexpr uint32_t kMsgBatchSlack = 100;
constexpr uint32_t kWebOwnerQueueSize = 50;
constexpr int kReplyWaitTurns = 5;             // pump turns after the first, 10 ms apart
constexpr uint32_t kReplyWaitSleepMs = 10;
// At most this many events are fetched from one page per pump turn, so a page
// that always has another event cannot hold the client in the fetch loop.
constexpr int kEventsPerOwnerTurn = 32;
// The most creation messages one batch can hold: each is far longer than this
// share of the batch ("{ \"action\": 19" and its members).
constexpr uint32_t kBatchMadeMax = kMsgBatchLimit / 16;

struct MsgBatch {
    char data[kMsgBatchSize];
    uint32_t length;      // 0: no open batch
    void* owner;          // the web view the batch was opened for
    // The element ids of the objects whose creation messages the batch holds:
    // the objects the page has not made yet, named in the debug log when the
    // batch never reaches the page.
    uint32_t made[kBatchMadeMax];
    uint32_t madeCount;
};

extern MsgBatch gMsgBatch;
extern void* gCurWebView;
extern JsonValue* gWebReply;
extern ObjectRecord* gWebLoadedPages[kWebOwnerQueueSize];
extern uint32_t gWebLoadedCount;
extern ObjectRecord* gWebEventPages[kWebOwnerQueueSize];
extern uint32_t gWebEventCount;
extern bool gWebFetchAllowed;
// Lets the waits of work started inside a send's reply wait (a server request
// taken in its pump turn) fetch page events; returns the state to restore.
// Replies are matched by their numbers, so the outer send still gets its own.
bool WebViewFetchOpen();
void WebViewFetchRestore(bool earlier);
// The number of the latest post. Each post carries its own in the member "qn"
// of the posted object; the page answers with the same "qn", and a reply is
// taken only by the send that is waiting for that number.
extern uint32_t gWebQueryNumber;

// What the channel needs from the rest of the client. The program fills them
// from the host glue and the object model; tests fill them with a recording page.
struct WebChannelHooks {
    // WebViewPostMessage: 0 posted, negative refused, positive posted to a
    // page that is behind (carried out once it catches up, not waited for)
    int32_t (*postText)(void* host, const char* utf8);
    void (*pumpTurn)();                                       // one turn of the window pump
    void (*sleepMs)(uint32_t ms);
    void (*setThreadCodePage)(uint32_t codePage);             // read by the HTML control's content code
    void (*htmlControlLoadAll)(ObjectRecord* page);           // pending content of a loaded page
    void (*pageEventDispatch)(ObjectRecord* owner, JsonValue* event);
    // Record fields the object model owns.
    ObjectRecord* (*windowHostRecord)(ObjectRecord* webWindow);// the window whose web view shows it
    void* (*htmlControlHost)(ObjectRecord* htmlControl);
    ObjectRecord* (*htmlControlPage)(ObjectRecord* htmlControl);
    // Focus into a native HTML control's own page: the control becomes its
    // window's focused object, remembering the element (and its tab, when the
    // page gave one; -1 when not).
    void (*htmlControlFocus)(ObjectRecord* htmlControl, int32_t tab, const char* elementId);
    ObjectRecord* (*topWindow)(ObjectRecord* rec);            // ObjectTopWindow
    uint32_t (*sysColor)(uint32_t index);                     // gColorTable
    int32_t (*dateTimeFormat)(const ObjectRecord* rec);       // Format property of an EditDateTime
    const char* (*programDir)();                              // with its trailing '\'
    bool (*hostDown)(void* host);                             // not answering or gone (null: never)
    bool (*hostEnded)(void* host);                            // gone for good (null: never)
    // Something waits to go to the page (a batch began, a redraw was queued):
    // the platform flushes it once the client has nothing else to do, as a
    // native window paints when the program goes idle.
    void (*flushWhenIdle)();
    // A click on a menu element of a window: the menus' handler (the number
    // is a bar entry's base number or an item's number).
    bool (*menuPageClick)(ObjectRecord* window, uint32_t number, bool fromKey);
    // The keyboard goes to the host's view, as a native control's window
    // takes it when the control gets the focus (nothing when it has it).
    void (*keysToView)(void* host);
};
extern WebChannelHooks gWebHooks;

// Sends so far that failed (the host refused the post) or whose answer did not
// come within the reply wait; the object operations answer -52 when theirs did.
uint32_t WebViewFailedSends();
// The web view an object's messages go to is not answering or gone.
bool WebViewDownFor(ObjectRecord* rec);
// The host is not answering or gone. A batch it owns can no longer reach its
// page: it is dropped, and the debug log names the objects it would have made.
bool WebViewHostDown(void* host);

// ---- Outgoing ---------------------------------------------------------------------
void WebViewMsgEnd();
// WebViewMsgEnd for the creation message of an object (action 19): the batch
// notes the element, so that a batch the page never carries out names it.
void WebViewMsgEndMade(uint32_t elementId);
JsonValue* WebViewMsgQuery();
void WebViewMsgFlush();
// Asks for a flush of the batch and the queued redraws once the client is idle.
void WebViewFlushWhenIdle();
// A send is waiting for its answer (a pump turn now runs inside it).
bool WebViewSendWaiting();
JsonValue* WebViewMsgSend(bool wait);

// ---- Incoming ---------------------------------------------------------------------
// Sorts one page message: "action" 1 and 56 queue their owner; anything else
// is the reply of the waiting send whose number it carries, or is dropped (and
// noted in the debug log). A number that does not fit (an "action" or "qn"
// beyond its range, or not a whole number) gets the message dropped.
void WebViewMsgReceive(ObjectRecord* owner, const char* utf8, size_t length);
// A page message as the host delivers it (UTF-16, NUL-terminated): converted
// into a buffer of the size it needs and handed to WebViewMsgReceive.
void WebViewMessageArrived(ObjectRecord* owner, const uint16_t* text);
void WebViewProcessPending();
// The owner's page is asked for its events at the next serving, as if it had
// said that some wait: a poll takes what the page holds, whatever its notice.
void WebViewAskForEvents(ObjectRecord* owner);
JsonValue* WebViewJsonParse(const char* text, size_t length);
void WebViewJsonFree(JsonValue* value);

// ---- Owners and web views ----------------------------------------------------------
// A closed window or HTML control: its page notices are forgotten.
void WebViewForgetOwner(ObjectRecord* owner);
// A window's record moved (a form load's exchange): what the channel keeps
// for the old record (queued pages, late events, owners being served) is
// kept for the new one.
void WebViewOwnerMoved(ObjectRecord* from, ObjectRecord* to);
// A closing host: no longer current; a batch it owns is dropped.
void WebViewChannelHostClosing(void* host);
// Makes the host current. The open batch is flushed (with its wait) only when
// it belongs to another web view: consecutive messages for one view, creations
// among them, share a batch however often the current view was cleared between
// them. A failure of that flush is not the caller's to answer: it is the other
// view's, whose host is then down (its requests answer -52), and the log names
// the objects its page never made.
void WebViewSelectHost(void* host);
void WebViewSelectForObject(ObjectRecord* rec);
ObjectRecord* GetWebPageObject(ObjectRecord* rec);
// The host an object's messages go to, without changing the current one.
void* WebViewHostForObject(ObjectRecord* rec);
// A control of rec's page took the focus, or one of its windows came to the
// front: the keyboard goes to the view that shows it, so that the keys typed
// next reach the page, as they reach a native control that has the focus.
void WebViewTakeKeys(ObjectRecord* rec);
// Frees the reply and the buffers (end of run).
void WebChannelCleanup();
