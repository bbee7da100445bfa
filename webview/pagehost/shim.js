// shim.js - runs in every page before its own scripts: a window.chrome.webview
// with the WebView2 page API the page files use (postMessage of strings, the
// "message" event), over an outbox the host drains.
'use strict';

// fullScreenPixels: a full screen's area, which the page's drawing is paced by.
function installWebViewShim(fullScreenPixels) {
  var listeners = [];
  var outbox = [];
  var wakePending = false;
  var delivering = false;   // what is posted meanwhile goes back with the delivery
  function wake() {
    if (wakePending || delivering) return;
    wakePending = true;
    setTimeout(function () {
      wakePending = false;
      if (outbox.length && typeof window.__qovWake === 'function') window.__qovWake();
    }, 0);
  }
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage: function (message) {
      outbox.push(typeof message === 'string' ? message : JSON.stringify(message));
      wake();
    },
    addEventListener: function (type, fn) {
      if (type === 'message' && listeners.indexOf(fn) < 0) listeners.push(fn);
    },
    removeEventListener: function (type, fn) {
      var i = listeners.indexOf(fn);
      if (type === 'message' && i >= 0) listeners.splice(i, 1);
    }
  };
  // Whether the document (its elements, attributes or text) changed since
  // the last asking: the host paces the page's pictures while the client's
  // posts keep changing it, never for the posts that only read or fetch.
  var changes = typeof MutationObserver === 'function' ? new MutationObserver(function () {}) : null;
  if (changes) changes.observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
  var postChanged = false;   // taken by a paced delivery, not yet asked for
  window.__qovChanged = function () {
    var changed = postChanged || (changes ? changes.takeRecords().length > 0 : true);
    postChanged = false;
    return changed;
  };
  // The browser lays out and draws the whole page after every post that
  // changed it, at a cost that grows with what the page holds (a window of
  // thousands of labels: some 30 ms a post), and the next post waits for it.
  // When the host asks (drawingPaced), the page's drawing is held while the
  // posts keep changing it: a changing post within kRunGapMs of the one
  // before starts a hold, and the page is drawn once the posts have paused
  // for kSettleMs, or every kHoldMaxMs while they go on (a larger page less
  // often); a single change (a caption, a check) is drawn at once. A hold is
  // a view transition whose update waits, with no element named for one
  // (nothing is captured or animated). Layout still answers whoever asks for
  // it, but a held page hits no element: the host has it drawn before it
  // replays the user's input (__qovDrawNow), and no hold starts for a while
  // after.
  var kRunGapMs = 33;
  var kSettleMs = 33;
  var kHoldMaxMs = 250;
  // A larger page costs more to draw and to picture: while posts run, a
  // full-screen page is drawn every kFullScreenHoldMs, a smaller one as much
  // more often as it is smaller, down to kHoldMaxMs.
  var kFullScreenHoldMs = 500;
  var kDrawnWaitMs = 2000;   // a held page that has not drawn by then (the browser stalled) is left to it
  var kHoldNameless = ':root { view-transition-name: none !important; }';
  var lastChangeAt = -Infinity;
  var noHoldUntil = 0;
  var hold = null;           // {at, ended, release, done}: the hold under way
  var ending = null;         // the last hold's end until the page has drawn after it
  var settleTimer = null;

  function endHold() {
    clearTimeout(settleTimer);
    var h = hold;
    if (!h) return Promise.resolve(0);
    hold = null;
    h.ended = true;
    if (h.release) h.release();
    return h.done;
  }

  function startHold(now) {
    var h = { at: now, ended: false, release: null, done: null };
    var sheet = new CSSStyleSheet();
    sheet.replaceSync(kHoldNameless);
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);
    var unname = function () {
      document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (x) { return x !== sheet; });
      return 0;
    };
    var transition;
    try {
      transition = document.startViewTransition(function () {
        return h.ended ? undefined : new Promise(function (resolve) { h.release = resolve; });
      });
    } catch (e) {
      unname();
      return;
    }
    // A transition the browser skips says so in its promises; the hold then
    // ends as usual.
    if (transition.ready) transition.ready.catch(function () {});
    if (transition.updateCallbackDone) transition.updateCallbackDone.catch(function () {});
    h.done = transition.finished.then(unname, unname);
    ending = h.done;
    h.done.then(function () { if (ending === h.done) ending = null; });
    hold = h;
  }

  function paceDrawing() {
    var now = performance.now();
    var longest = Math.max(kHoldMaxMs, kFullScreenHoldMs * (innerWidth * innerHeight) / fullScreenPixels);
    if (hold && now - hold.at >= longest) endHold();
    if (!hold && now - lastChangeAt < kRunGapMs && now >= noHoldUntil &&
        typeof document.startViewTransition === 'function' && document.visibilityState === 'visible') {
      startHold(now);
    }
    if (hold) {
      clearTimeout(settleTimer);
      settleTimer = setTimeout(endHold, kSettleMs);
    }
    lastChangeAt = now;
  }

  // Whether the page's drawing is held, or has not been drawn since a hold.
  window.__qovDrawingHeld = function () {
    return hold !== null || ending !== null;
  };
  // A hold that ended is not over until the page has drawn after it.
  window.__qovDrawNow = function () {
    noHoldUntil = performance.now() + kHoldMaxMs;
    endHold();
    if (!ending) return 0;
    return Promise.race([ending, new Promise(function (resolve) { setTimeout(resolve, kDrawnWaitMs, 0); })]);
  };

  // The host delivers a posted string; what the page sent meanwhile (its
  // answer among it) is handed back at once, before the post is acknowledged.
  // No wake is scheduled for it (a timer the page would run for nothing after
  // each post).
  window.__qovDeliver = function (text, drawingPaced) {
    var ev = { data: text, source: null };
    var done = false;
    if (changes) changes.takeRecords();   // the page's own changes before it are not the post's
    delivering = true;
    try {
      listeners.slice().forEach(function (fn) { fn(ev); });
      done = true;
    } finally {
      delivering = false;
      // A listener that threw leaves what was posted to the usual wake.
      if (!done && outbox.length) wake();
    }
    if (drawingPaced && changes) {
      var records = changes.takeRecords();
      if (records.length) {
        postChanged = true;
        paceDrawing();
      }
    }
    return window.__qovDrain();
  };
  window.__qovDrain = function () {
    var out = outbox;
    outbox = [];
    return out;
  };
}

module.exports = { installWebViewShim };
