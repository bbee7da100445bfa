// qovbars.js - the page side of the bars: tab controls (QovTabC and action 32)
// and menus (action 36, the menu bar and its popups).
//
// Tab controls: the client keeps the tabs; the page shows them as a jQuery UI
// tab strip whose tabs all show one shared panel ("C%d-1"), and reports a
// switch by the user as $CHANGE and $CLICK with the 1-based tab, once the
// client has asked for them (action 32 "dwid" 4 and 5).
(function () {
  'use strict';

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

  var actions = {
    32: tabAction
  };

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) return actions[m.action](m);
    return general ? general(m) : undefined;
  };
})();
