// qovservices.js - the page services the client's CLIENT object asks for:
// screen, browser and window facts, printing, style sheets and scripts
// (action 37), session storage and cookies (48), and the values of elements
// chosen by a selector (51 set, 52 get).
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kFactsScreen = 1, kFactsPrint = 2, kFactsStyleSheet = 4, kFactsLocation = 5, kFactsWindow = 6,
    kFactsScript = 7;
  var kSelCss = 1, kSelProp = 2, kSelVal = 3, kSelHtml = 4, kSelText = 5;

  function text(v) {
    if (v === undefined || v === null) return '';
    return String(v);
  }

  function screenFacts() {
    var s = window.screen || {};
    var n = window.navigator || {};
    return {
      availHeight: s.availHeight, availWidth: s.availWidth, colorDepth: s.colorDepth, height: s.height,
      pixelDepth: s.pixelDepth, width: s.width, appCodeName: n.appCodeName, appName: n.appName,
      appVersion: n.appVersion, cookieEnabled: n.cookieEnabled ? 1 : 0, language: n.language,
      platform: n.platform, product: n.product, userAgent: n.userAgent
    };
  }

  function windowFacts() {
    return {
      innerHeight: window.innerHeight, innerWidth: window.innerWidth, outerHeight: window.outerHeight,
      outerWidth: window.outerWidth, pageXOffset: Math.round(window.pageXOffset),
      pageYOffset: Math.round(window.pageYOffset), screenX: window.screenX, screenY: window.screenY
    };
  }

  function addStyleSheet(url) {
    $('<link rel="stylesheet">').attr('href', text(url)).appendTo('head');
  }

  function addScript(url) {
    var el = document.createElement('script');
    el.src = text(url);
    document.head.appendChild(el);
    return { val: 1 };
  }

  var facts = {};
  facts[kFactsScreen] = screenFacts;
  // Printing opens the browser's dialog, which holds the page: it starts
  // after the answer has gone.
  facts[kFactsPrint] = function () { setTimeout(function () { window.print(); }, 0); return { val: 0 }; };
  facts[kFactsStyleSheet] = function (m) { addStyleSheet(m.url); return undefined; };
  facts[kFactsLocation] = function () { return { msg: text(window.location.href) }; };
  facts[kFactsWindow] = windowFacts;
  facts[kFactsScript] = function (m) { return addScript(m.url); };

  function cookieValue(key) {
    var parts = document.cookie ? document.cookie.split('; ') : [];
    for (var i = 0; i < parts.length; i++) {
      var at = parts[i].indexOf('=');
      if (decodeURIComponent(parts[i].slice(0, at)) === key) return decodeURIComponent(parts[i].slice(at + 1));
    }
    return '';
  }

  function storage(m) {
    var set = m.skey !== undefined;
    if (m.cook) {
      if (!set) return { val: cookieValue(text(m.gkey)) };
      document.cookie = encodeURIComponent(text(m.skey)) + '=' + encodeURIComponent(text(m.sval)) + '; path=/';
      return { val: 1 };
    }
    try {
      if (!set) {
        var v = window.sessionStorage.getItem(text(m.gkey));
        return { val: v === null ? '' : v };
      }
      window.sessionStorage.setItem(text(m.skey), text(m.sval));
      return { val: 1 };
    } catch (e) {
      return { val: set ? 0 : '' };
    }
  }

  function selectorSet(m) {
    var el = $(text(m.sel));
    var v = text(m.val);
    switch (m.dwid) {
      case kSelCss: el.css(text(m.nam), v); break;
      case kSelProp: el.prop(text(m.nam), v); break;
      case kSelVal: el.val(v); break;
      case kSelHtml: el.html(v); break;
      case kSelText: el.text(v); break;
      default: el.attr(text(m.nam), v);
    }
    return undefined;
  }

  function selectorGet(m) {
    var el = $(text(m.sel));
    if (!el.length) return { val: '' };
    switch (m.dwid) {
      case kSelCss: return { val: text(el.css(text(m.nam))) };
      case kSelProp: return { val: text(el.prop(text(m.nam))) };
      case kSelVal: return { val: text(el.val()) };
      case kSelHtml: return { val: text(el.html()) };
      case kSelText: return { val: text(el.text()) };
      default: return { val: text(el.attr(text(m.nam))) };
    }
  }

  var actions = {
    [Act.kActPageFacts]: function (m) { var f = facts[m.dwid]; return f ? f(m) : undefined; },
    [Act.kActStorage]: storage,
    [Act.kActSelectorSet]: selectorSet,
    [Act.kActSelectorGet]: selectorGet
  };

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) return actions[m.action](m);
    return general ? general(m) : undefined;
  };
})();
