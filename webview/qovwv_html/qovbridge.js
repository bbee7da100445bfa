// qovbridge.js - the page's end of the web-view channel: takes the client's
// messages (single or "msgs" batches, in order), answers every post exactly
// once (with the post's number), keeps the page's event queue and announces it
// with "action" 56. A key the client acts on (Tab, Enter, a menu key) holds
// the user's next keys back until the client has handled it: the page host
// asks QovInputSettled() after each key and replays the next input only once
// its answer (a promise while a key is held) resolves.
(function () {
  'use strict';
  var webview = window.chrome && window.chrome.webview;
  if (!webview) return;

  var Act = window.QovActions;   // the action codes (qovactions.js, generated)
  var kNoticeRepeatMs = 400;
  var kKeyHoldMaxMs = 2000;   // a client that never comes back lets the keys go
  var events = [];
  var noticeTimer = null;
  var posted = 0, given = 0;  // events queued and handed to the client so far
  var heldUntil = 0;          // the number of the held event; 0 none
  var settled = [];           // what waits for the held key to be handled

  // Only strings go over the channel.
  function post(obj) {
    webview.postMessage(JSON.stringify(obj));
  }

  // Announces waiting events, and again on a timer until they are fetched:
  // a notice can arrive while the client is busy and be served later.
  function announce() {
    if (!events.length) {
      if (noticeTimer) clearInterval(noticeTimer);
      noticeTimer = null;
      return;
    }
    post({ action: Act.kActEventsWaiting });
    if (!noticeTimer) noticeTimer = setInterval(announce, kNoticeRepeatMs);
  }

  function release() {
    heldUntil = 0;
    var waiting = settled;
    settled = [];
    waiting.forEach(function (fn) { fn(0); });
  }

  // A page event for the client: {name, ev, ...} as the client's event
  // records define; holdKeys: the user's next keys wait until it is handled.
  window.QovPostEvent = function (ev, holdKeys) {
    events.push(ev);
    posted++;
    if (holdKeys) heldUntil = posted;
    if (events.length === 1) announce();
  };
  window.QovInputSettled = function () {
    if (!heldUntil) return 0;
    return new Promise(function (resolve) {
      settled.push(resolve);
      setTimeout(function () { resolve(0); }, kKeyHoldMaxMs);
    });
  };
  window.QovPendingEvents = function () {
    return events.length;
  };

  function nextEvent() {
    // The client asks again only once it has handled what it took before.
    if (heldUntil && given >= heldUntil) release();
    if (!events.length) {
      announce();
      return {};
    }
    var ev = events.shift();
    given++;
    var out = { action: Act.kActPageEvent };
    for (var k in ev) if (k !== 'action') out[k] = ev[k];
    if (!events.length) announce();
    return out;
  }

  function carryOut(m) {
    if (m && m.action === Act.kActFetchEvent) return nextEvent();
    try {
      return window.QovRunAction(m);
    } catch (e) {
      if (window.console) console.error('action ' + (m && m.action), e);
      return undefined;
    }
  }

  // The answer to a post carries the post's number ("qn"), so the client
  // gives it to the query that is waiting for it and to no other.
  function numbered(reply, number) {
    var out = {};
    if (reply && typeof reply === 'object' && !Array.isArray(reply)) {
      for (var k in reply) if (k !== 'qn') out[k] = reply[k];
    }
    if (typeof number === 'number' && Math.floor(number) === number && number > 0) out.qn = number;
    return out;
  }

  webview.addEventListener('message', function (e) {
    var reply;
    var msg = null;
    try {
      msg = JSON.parse(typeof e.data === 'string' ? e.data : '');
    } catch (err) {
      msg = null;
    }
    var number;
    if (msg && typeof msg === 'object') {
      number = msg.qn;
      var list = Array.isArray(msg.msgs) ? msg.msgs : [msg];
      for (var i = 0; i < list.length; i++) {
        var r = carryOut(list[i]);
        if (r !== undefined) reply = r;
      }
    }
    // Exactly one answer per post, so the client's wait ends at once.
    post(numbered(reply, number));
  });

  post({ action: Act.kActPageLoaded });
})();
