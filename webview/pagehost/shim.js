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
  window.__qovChanged = function () {
    return changes ? changes.takeRecords().length > 0 : true;
  };
  // The host delivers a posted string; what the page sent meanwhile (its
  // answer among it) is handed back at once, before the post is acknowledged.
  // No wake is scheduled for it (a timer the page would run for nothing after
  // each post).
  window.__qovDeliver = function (text) {
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
    return window.__qovDrain();
  };
  window.__qovDrain = function () {
    var out = outbox;
    outbox = [];
    return out;
  };
}

module.exports = { installWebViewShim };
