// qovbars.js - the page side of the bars: tab controls (QovTabC and action 32)
// and menus (action 36, the menu bar and its popups).
//
// Tab controls: the client keeps the tabs; the page shows them as a jQuery UI
// tab strip whose tabs all show one shared panel ("C%d-1"), and reports a
// switch by the user as $CHANGE and $CLICK with the 1-based tab, once the
// client has asked for them (action 32 "dwid" 4 and 5).
//
// Menus: the client sends a window's whole bar ("dwid" 2) into the window's
// holder "C%dN", and a menu's popup list (action 19) which is made a jQuery
// UI menu and shown ("dwid" 1: at "t"/"l", or with "f" under the bar entry
// last clicked). A click on a bar entry or an item "M<number>F<window id>" is
// reported as an object event of the window with the number in "mn"; the
// client opens the popup or raises the menu's $CLICK. The client also sends
// a window's active shortcut keys ("dwid" 3, "keys": "vk,ctrl,shift,item"
// joined by ';'); a key that matches one, pressed in that window, is taken
// from the page (its default prevented, no control sees it) and reported as
// a click on the item with "sc" set.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kChange = 3, kClick = 4;
  var kEventKind = 32;
  var kMkShift = 4, kMkControl = 8;
  var kPosAtEnd = 1000;
  var TD = { select: 1, disable: 2, enable: 3, wantChange: 4, wantClick: 5, insert: 6, remove: 7, ask: 8,
             option: 20 };

  function queue(ev) {
    if (ev.id !== undefined && ev.ec === undefined) ev.ec = kEventKind;
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function byId(id) {
    return $(document.getElementById(String(id)));
  }

  function keyBits(e) {
    return e ? (e.shiftKey ? kMkShift : 0) | (e.ctrlKey ? kMkControl : 0) : 0;
  }

  function elementNumber(id) {
    return Number(String(id).replace(/^C/, ''));
  }

  // ---- Tab controls --------------------------------------------------------------------------

  function tabNav(el) {
    return el.children('ul').first();
  }

  // Every tab shows the shared panel.
  function pointTabsAtPanel(el) {
    var panel = '#' + el.attr('id') + '-1';
    tabNav(el).find('li > a').attr('href', panel);
  }

  function refreshTabs(el) {
    pointTabsAtPanel(el);
    if (el.data('uiTabs') || el.hasClass('ui-tabs')) el.tabs('refresh');
  }

  window.QovTabC = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    pointTabsAtPanel(el);
    el.tabs({
      active: 0,
      activate: function (e, ui) {
        if (el.data('qovTabQuiet')) return;
        var tab = ui.newTab.index() + 1;
        var num = elementNumber(o.id);
        if (el.data('qovTabChange')) queue({ id: num, et: kChange, ev: tab, em: keyBits(e) });
        if (el.data('qovTabClick')) queue({ id: num, et: kClick, ev: tab, em: keyBits(e) });
      }
    });
  };

  // Selects a tab without reporting it: the client chose it.
  function selectQuietly(el, pos) {
    el.data('qovTabQuiet', true);
    el.tabs('option', 'active', pos);
    el.data('qovTabQuiet', false);
  }

  function tabAction(m) {
    var el = byId(m.name);
    if (!el.length) return m.dwid === TD.ask ? { val: -1 } : undefined;
    var pos = Number(m.pos);
    var items = tabNav(el).children('li');
    switch (m.dwid) {
      case TD.select:
        if (pos >= 0 && pos < items.length) selectQuietly(el, pos);
        return undefined;
      case TD.disable:
        el.tabs('disable');
        return undefined;
      case TD.enable:
        el.tabs('enable');
        return undefined;
      case TD.wantChange:
        el.data('qovTabChange', true);
        return undefined;
      case TD.wantClick:
        el.data('qovTabClick', true);
        return undefined;
      case TD.insert: {
        var li = $('<li><a></a></li>');
        li.children('a').html(m.lab === undefined ? ' ' : String(m.lab));
        if (pos >= kPosAtEnd || pos >= items.length || pos < 0) tabNav(el).append(li);
        else items.eq(pos).before(li);
        refreshTabs(el);
        // The first tab of a control that had none is the selected one, as
        // natively (labels given anew delete every tab first).
        if (el.tabs('option', 'active') === false) selectQuietly(el, 0);
        return undefined;
      }
      case TD.remove:
        if (pos >= 0 && pos < items.length) {
          items.eq(pos).remove();
          refreshTabs(el);
        }
        return undefined;
      case TD.ask: {
        var active = el.tabs('option', 'active');
        return { val: typeof active === 'number' ? active : -1 };
      }
      case TD.option:
        el.tabs('option', JSON.parse(m.opt || '{}'));
        return undefined;
      default:
        return undefined;
    }
  }

  // ---- Menus -------------------------------------------------------------------------------

  var lastEntry = null;

  function menuElement(target) {
    var li = $(target).closest('li[id^="M"]');
    var m = li.length ? /^M([0-9]+)F([0-9]+)$/.exec(li.attr('id')) : null;
    return m ? { li: li, number: Number(m[1]), window: Number(m[2]) } : null;
  }

  function reportMenuClick(e, hit) {
    queue({ id: hit.window, et: kClick, ev: 0, em: keyBits(e), mn: hit.number });
  }

  function hidePopups() {
    $('.qovpopup').hide();
  }

  // Clicks on bar entries and popup items, wherever the lists are.
  $(document).on('click.qovmenu', '.fmenui > li, .qovpopup li', function (e) {
    var hit = menuElement(this);
    if (!hit) return;
    e.preventDefault();
    e.stopPropagation();
    if (hit.li.hasClass('ui-state-disabled')) return;
    if (hit.li.parent().hasClass('fmenui')) {
      lastEntry = hit.li;
    } else {
      if (hit.li.children('ul').length) return;   // a SubMenu's item opens its list
      hidePopups();
    }
    reportMenuClick(e, hit);
  });
  $(document).on('mousedown.qovmenu', function (e) {
    if (!$(e.target).closest('.qovpopup, .fmenui').length) hidePopups();
  });

  // Active shortcuts per window element id: [{ vk, ctrl, shift, number }].
  var shortcuts = {};

  function parseShortcuts(text) {
    var out = [];
    String(text || '').split(';').forEach(function (one) {
      var f = one.split(',');
      if (f.length === 4) out.push({ vk: Number(f[0]), ctrl: f[1] === '1', shift: f[2] === '1', number: Number(f[3]) });
    });
    return out;
  }

  // The window a key goes to: the one holding the focused element, else the
  // only window with shortcuts.
  function keyWindow() {
    var ids = Object.keys(shortcuts);
    var active = document.activeElement;
    for (var i = 0; i < ids.length; ++i) {
      var el = document.getElementById('C' + ids[i]);
      if (el && active && active !== document.body && el.contains(active)) return ids[i];
    }
    return ids.length === 1 ? ids[0] : null;
  }

  document.addEventListener('keydown', function (e) {
    if (e.altKey || e.metaKey) return;
    var wid = keyWindow();
    if (wid === null) return;
    var list = shortcuts[wid];
    for (var i = 0; i < list.length; ++i) {
      var k = list[i];
      if (k.vk !== e.keyCode || k.ctrl !== e.ctrlKey || k.shift !== e.shiftKey) continue;
      e.preventDefault();
      e.stopPropagation();
      hidePopups();
      queue({ id: Number(wid), et: kClick, ev: 0, em: keyBits(e), mn: k.number, sc: 1 });
      return;
    }
  }, true);

  function menuAction(m) {
    if (m.dwid === 3) {
      var wid = String(elementNumber(m.name));
      var keys = parseShortcuts(m.keys);
      if (keys.length) shortcuts[wid] = keys;
      else delete shortcuts[wid];
      return undefined;
    }
    if (m.dwid === 2) {
      var holder = byId(String(m.name) + 'N');
      holder.empty().append(m.html || '');
      return { val: 0 };
    }
    if (m.dwid !== 1) return { val: 0 };
    var list = byId(m.name);
    if (!list.length) return { val: 0 };
    if (m.mk || !list.hasClass('qovpopup')) {
      list.addClass('qovpopup');
      list.menu();
    }
    hidePopups();
    var place = { position: 'absolute', top: Number(m.t) || 0, left: Number(m.l) || 0 };
    if (m.f !== undefined && lastEntry && lastEntry.closest('body').length) {
      // Under the bar entry, in the window's holder.
      var entry = lastEntry.position();
      place.top = entry.top + lastEntry.outerHeight();
      place.left = entry.left;
    }
    list.css(place).show();
    return { val: 0 };
  }

  var actions = {
    [Act.kActTabs]: tabAction,
    [Act.kActMenu]: menuAction
  };

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) return actions[m.action](m);
    return general ? general(m) : undefined;
  };
})();
