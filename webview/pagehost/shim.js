// shim.js - runs in every page before its own scripts: a window.chrome.webview
// with the WebView2 page API the page files use (postMessage of strings, the
// "message" event), over an outbox the host drains.
'use strict';

function installWebViewShim() {
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
  // thousands of labels: some 30 ms a frame), and the next post waits for it.
  // Where that pays, the page's drawing is held while the posts keep
  // changing it: a changing post within kRunGapMs of the one before starts a
  // hold when the page's frames have been costly (kCostlyFrameMs, each of the
  // kCostlyFrames latest measured after a change), never on a page whose
  // frames are cheap, where a hold would only cost it pictures (and its user
  // the changes as they come). A hold is a view transition
  // whose update waits, with no element named for one (nothing is captured or
  // animated); the host ends it when the posts pause and at its pace
  // (__qovRelease), and before the user's input is replayed (__qovDrawNow).
  // Ending it skips the transition, which gives the page back at once: hit
  // tests, styles and the view transition state read as on a page never held.
  // A post that runs a server's script ends the hold before it is delivered,
  // so what the script reads is the page as drawn.
  var kRunGapMs = 33;
  var kCostlyFrameMs = 8;
  var kCostlyFrames = 3;   // a frame slowed by something else (a task between) does not make a page costly
  var kNoHoldAfterInputMs = 250;   // the user's input keeps the page drawn as it changes for a while
  var kHoldNameless = ':root { view-transition-name: none !important; }';
  var lastChangeAt = -Infinity;
  var noHoldUntil = 0;
  var hold = null;           // {sheet, transition, release}: the hold under way
  var frameCosts = [];       // the latest frames measured after a change, in ms
  var measuring = false;
  var runScript = null;      // matches a post that runs a server's script

  function endHold() {
    var h = hold;
    if (!h) return;
    hold = null;
    try { h.transition.skipTransition(); } catch (e) { /* already over */ }
    document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (x) { return x !== h.sheet; });
    if (h.release) h.release();
  }

  function startHold() {
    var h = { sheet: new CSSStyleSheet(), transition: null, release: null };
    h.sheet.replaceSync(kHoldNameless);
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([h.sheet]);
    try {
      h.transition = document.startViewTransition(function () {
        return hold !== h ? undefined : new Promise(function (resolve) { h.release = resolve; });
      });
    } catch (e) {
      document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (x) { return x !== h.sheet; });
      return;
    }
    // A skipped transition says so in its promises; nothing waits on them.
    var ignore = function () {};
    h.transition.ready.catch(ignore);
    h.transition.updateCallbackDone.catch(ignore);
    h.transition.finished.catch(ignore);
    hold = h;
  }

  // The main thread's share of the next frame: from its animation callbacks
  // to the first task after it, which runs once style, layout and paint are
  // done. A hold started meanwhile makes the frame one of many changes, not
  // measured.
  function measureFrame() {
    if (measuring || typeof MessageChannel !== 'function') return;
    measuring = true;
    requestAnimationFrame(function () {
      var at = performance.now();
      var channel = new MessageChannel();
      channel.port1.onmessage = function () {
        measuring = false;
        if (hold) return;
        frameCosts.push(performance.now() - at);
        if (frameCosts.length > kCostlyFrames) frameCosts.shift();
      };
      channel.port2.postMessage(0);
    });
  }

  function framesCostly() {
    return frameCosts.length === kCostlyFrames && Math.min.apply(Math, frameCosts) >= kCostlyFrameMs;
  }

  function paceDrawing() {
    var now = performance.now();
    if (!hold && now - lastChangeAt < kRunGapMs && now >= noHoldUntil && framesCostly() &&
        typeof document.startViewTransition === 'function' && document.visibilityState === 'visible') {
      startHold();
    }
    if (!hold) measureFrame();
    lastChangeAt = now;
  }

  function runsScript(text) {
    if (!runScript) {
      if (!window.QovActions) return false;
      runScript = new RegExp('"action"\\s*:\\s*' + window.QovActions.kActRunScript + '(?![0-9])');
    }
    return runScript.test(text);
  }

  // Whether the page's drawing is held, and whether the next post may hold it.
  window.__qovDrawingHeld = function () {
    return hold !== null;
  };
  // A page one costly frame away from holding may hold by the next post.
  window.__qovMayHold = function () {
    return hold !== null || frameCosts.some(function (ms) { return ms >= kCostlyFrameMs; });
  };
  // The host's end of a hold: the posts paused, or the page is due to be drawn.
  window.__qovRelease = function () {
    endHold();
    return 0;
  };
  // The user's input is replayed next: the page is given back, and no hold
  // starts for a while.
  window.__qovDrawNow = function () {
    noHoldUntil = performance.now() + kNoHoldAfterInputMs;
    endHold();
    return 0;
  };

  // The host delivers a posted string; what the page sent meanwhile (its
  // answer among it) is handed back at once, before the post is acknowledged.
  // No wake is scheduled for it (a timer the page would run for nothing after
  // each post).
  window.__qovDeliver = function (text, drawingPaced) {
    var ev = { data: text, source: null };
    var done = false;
    if (hold && runsScript(text)) endHold();
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
