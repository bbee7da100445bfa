// shim.js - runs in every page before its own scripts: a window.chrome.webview
// with the WebView2 page API the page files use (postMessage of strings, the
// "message" event), over an outbox the host drains.
'use strict';

function installWebViewShim() {
  var listeners = [];
  var outbox = [];
  var wakePending = false;
  function wake() {
    if (wakePending) return;
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
  // The host delivers a posted string; what the page sent meanwhile (its
  // answer among it) is handed back at once, before the post is acknowledged.
  window.__qovDeliver = function (text) {
    var ev = { data: text, source: null };
    listeners.slice().forEach(function (fn) { fn(ev); });
    return window.__qovDrain();
  };
  window.__qovDrain = function () {
    var out = outbox;
    outbox = [];
    return out;
  };
}

module.exports = { installWebViewShim };
