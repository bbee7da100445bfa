// qovbars.js - the page side of the bars: tab controls (QovTabC and action 32)
// and menus (action 36, the menu bar and its popups).
//
// Tab controls: the client keeps the tabs; the page shows them as a jQuery UI
// tab strip whose tabs all show one shared panel ("C%d-1"), and reports a
// switch by the user as the native control does, once the client has asked
// for them (action 32 "dwid" 4 and 5): $CLICK with the 1-based tab being left
// (modifiers 0), then $CHANGE with the 1-based tab chosen.
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
//
// The keyboard reaches the bar as it reaches a native one: Alt (pressed and
// released alone) or F10 highlights the first entry, Alt with an entry's
// mnemonic (its underlined letter) opens that entry's popup; in the bar Left
// and Right move, Down, Up or Enter open, a mnemonic opens its entry; in a
// popup Up and Down move over the items, Enter or an item's mnemonic chooses
// it (the same click report as the mouse's), Right or Enter on an item with
// a SubMenu opens its list and Left or Escape closes it again, Left and Right
// elsewhere open the next entry's popup, Escape closes the popup back to the
// bar and, in the bar, leaves it. While the bar has the keyboard no control sees the keys. Alt
// with a letter no entry takes goes to the control that underlines it.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kChange = 3, kClick = 4;
  var kEventKind = 32;
  var kMkShift = 4, kMkControl = 8;
  var kPosAtEnd = 1000;
  var TD = { select: 1, disable: 2, enable: 3, wantChange: 4, wantClick: 5, insert: 6, remove: 7, ask: 8,
             option: 20 };

  function queue(ev, holdKeys) {
    if (ev.id !== undefined && ev.ec === undefined) ev.ec = kEventKind;
    if (window.QovPostEvent) window.QovPostEvent(ev, holdKeys);
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
    // A strip made without tabs has none selected (the widget would take
    // tab 0 that is not there, and keep the index -1 once tabs came); its
    // first tab is selected when it is inserted.
    el.tabs({
      active: tabNav(el).children('li').length ? 0 : false,
      activate: function (e, ui) {
        if (el.data('qovTabQuiet')) return;
        var num = elementNumber(o.id);
        if (el.data('qovTabClick')) queue({ id: num, et: kClick, ev: ui.oldTab.index() + 1, em: 0 });
        if (el.data('qovTabChange')) queue({ id: num, et: kChange, ev: ui.newTab.index() + 1, em: keyBits(e) });
      }
    });
  };

  // Ctrl+Tab (Ctrl+Shift+Tab backward) in a tab strip that has the focus
  // steps to the next tab as a click on it would; elsewhere it is a Tab.
  document.addEventListener('keydown', function (e) {
    if (e.key !== 'Tab' || !e.ctrlKey || e.altKey) return;
    var el = $(document.activeElement).closest('.ui-tabs');
    if (!el.length || !el.data('uiTabs')) return;
    var count = tabNav(el).children('li').length;
    var active = el.tabs('option', 'active');
    if (!count || typeof active !== 'number' || active < 0) return;
    e.preventDefault();
    e.stopPropagation();
    el.tabs('option', 'active', e.shiftKey ? (active + count - 1) % count : (active + 1) % count);
    tabNav(el).children('li').eq(el.tabs('option', 'active')).children('a').focus();
  }, true);

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
        var active = el.tabs('option', 'active');
        if (typeof active !== 'number' || active < 0) selectQuietly(el, 0);
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

  // holdKeys: chosen by a key; the keys after it wait for the client.
  function reportMenuClick(e, hit, holdKeys) {
    queue({ id: hit.window, et: kClick, ev: 0, em: keyBits(e), mn: hit.number }, holdKeys);
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
    leaveKeyboard();
    if (!$(e.target).closest('.qovpopup, .fmenui').length) hidePopups();
  });

  // A popup (or a SubMenu's list) that opens or closes under a pointer that
  // stays still gets mouseover and mouseout from the browser at its next frame,
  // a moment after the key that opened it; the menu widget would take them for
  // the user pointing and move the keyboard's highlight to the item under the
  // pointer, or clear it. As natively, only a pointer that moves points: those
  // events, at the place the pointer last moved to, are kept from the popups.
  var pointerAt = null;   // {x, y} of the last move, press or release; null none yet
  function notePointer(e) {
    pointerAt = { x: e.clientX, y: e.clientY };
  }
  function keepStillPointerOut(e) {
    if (!pointerAt || e.clientX !== pointerAt.x || e.clientY !== pointerAt.y) return;
    if ($(e.target).closest('.qovpopup').length) e.stopPropagation();
  }
  ['mousemove', 'mousedown', 'mouseup'].forEach(function (type) {
    document.addEventListener(type, notePointer, true);
  });
  ['mouseover', 'mouseout'].forEach(function (type) {
    document.addEventListener(type, keepStillPointerOut, true);
  });

  // ---- The menu bar by keyboard --------------------------------------------------------------

  var kVkAlt = 18, kVkF10 = 121, kVkEnter = 13, kVkEscape = 27;
  var kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40;
  // The bar that has the keyboard: {bar, entry (the highlighted li), popup
  // (the open list, once shown), list (the list the arrows move in: the
  // popup or a SubMenu's list opened in it), opening (its popup was asked
  // for)}; null none.
  var kbd = null;
  var altAlone = false;   // Alt is down and no other key came with it

  // The letter an entry's or item's text underlines, upper-case; '' none.
  function mnemonicOf(li) {
    var u = li.children('a').find('u').first();
    return u.length ? u.text().charAt(0).toUpperCase() : '';
  }

  // The bar of the window that holds the focus, else the only bar there is.
  function keyBar() {
    var bars = $('ul.fmenui:visible');
    var active = document.activeElement;
    var found = null;
    bars.each(function () {
      var win = document.getElementById('C' + String(this.id).replace(/^M/, ''));
      if (win && active && active !== document.body && win.contains(active)) found = $(this);
    });
    if (found) return found;
    return bars.length === 1 ? bars.first() : null;
  }

  function entriesOf(bar) {
    return bar.children('li[id^="M"]');
  }

  function highlightEntry(li) {
    kbd.bar.children('li').removeClass('qovkbd');
    kbd.entry = li;
    li.addClass('qovkbd');
  }

  function leaveKeyboard() {
    if (!kbd) return;
    kbd.bar.children('li').removeClass('qovkbd');
    if (kbd.popup) kbd.popup.hide();
    kbd = null;
  }

  function enterBar(bar) {
    var first = entriesOf(bar).first();
    if (!first.length) return false;
    kbd = { bar: bar, entry: null, popup: null, list: null, opening: false };
    highlightEntry(first);
    return true;
  }

  // The entry's popup, asked of the client as a click on the entry does; the
  // page shows it under the entry and the first item takes the highlight.
  function openEntry(e, li) {
    if (kbd.popup) kbd.popup.hide();
    kbd.popup = null;
    highlightEntry(li);
    var hit = menuElement(li);
    if (!hit || li.hasClass('ui-state-disabled')) return;
    lastEntry = li;
    kbd.opening = true;
    reportMenuClick(e, hit, true);
  }

  function stepEntry(e, step) {
    var all = entriesOf(kbd.bar);
    var at = all.index(kbd.entry);
    var next = all.eq((at + step + all.length) % all.length);
    if (kbd.popup || kbd.opening) openEntry(e, next);
    else highlightEntry(next);
  }

  function popupItems() {
    return kbd.list.children('li.ui-menu-item');
  }

  function activeItem() {
    var a = kbd.list.find('> li > .ui-state-active').first();
    return a.length ? a.parent() : $();
  }

  // The SubMenu below the highlighted item opens beside it, its first item
  // highlighted. (Opened here, not by the menu widget's own expand, whose
  // late highlight would undo a key pressed at once after.)
  function openSubMenu(li) {
    var sub = li.children('ul');
    if (!sub.length || li.hasClass('ui-state-disabled')) return false;
    sub.show().attr({ 'aria-hidden': 'false', 'aria-expanded': 'true' })
      .position({ my: 'left top', at: 'right top', of: li });
    kbd.list = sub;
    highlightItem(sub.children('li.ui-menu-item').first());
    return true;
  }

  // Back from a SubMenu's list to the item it hangs below.
  function closeSubMenu() {
    if (kbd.list[0] === kbd.popup[0]) return false;
    var item = kbd.list.parent();
    kbd.list.hide().attr({ 'aria-hidden': 'true', 'aria-expanded': 'false' });
    kbd.list = item.parent();
    highlightItem(item);
    return true;
  }

  function highlightItem(li) {
    if (li.length) kbd.popup.menu('focus', null, li);
  }

  function stepItem(step) {
    var all = popupItems();
    if (!all.length) return;
    var at = all.index(activeItem());
    highlightItem(all.eq(at < 0 ? (step > 0 ? 0 : all.length - 1) : (at + step + all.length) % all.length));
  }

  // An item chosen by Enter or its mnemonic: the mouse's click report. A
  // disabled item is not chosen, and the popup stays.
  function chooseItem(e, li) {
    if (openSubMenu(li)) return;
    var hit = menuElement(li);
    if (!hit || li.hasClass('ui-state-disabled') || li.children('ul').length) return;
    leaveKeyboard();
    hidePopups();
    reportMenuClick(e, hit, true);
  }

  function byMnemonic(list, key) {
    var found = $();
    list.each(function () {
      if (!found.length && mnemonicOf($(this)) === key) found = $(this);
    });
    return found;
  }

  function letterOf(e) {
    return e.keyCode >= 48 && e.keyCode <= 90 ? String.fromCharCode(e.keyCode) : '';
  }

  // A key while the bar has the keyboard; true when it was the bar's.
  function barKey(e) {
    var vk = e.keyCode;
    if (vk === kVkAlt || vk === kVkF10) {
      leaveKeyboard();
      return true;
    }
    if (kbd.popup && (vk === kVkEscape || vk === kVkLeft) && closeSubMenu()) return true;
    if (kbd.popup && vk === kVkRight && openSubMenu(activeItem())) return true;
    if (vk === kVkEscape) {
      if (kbd.popup || kbd.opening) {
        if (kbd.popup) kbd.popup.hide();
        kbd.popup = null;
        kbd.opening = false;
      } else {
        leaveKeyboard();
      }
      return true;
    }
    if (vk === kVkLeft || vk === kVkRight) {
      stepEntry(e, vk === kVkLeft ? -1 : 1);
      return true;
    }
    if (!kbd.popup) {
      if (vk === kVkDown || vk === kVkUp || vk === kVkEnter) {
        if (!kbd.opening) openEntry(e, kbd.entry);
        return true;
      }
      var entry = byMnemonic(entriesOf(kbd.bar), letterOf(e));
      if (entry.length) openEntry(e, entry);
      return true;
    }
    if (vk === kVkDown || vk === kVkUp) {
      stepItem(vk === kVkDown ? 1 : -1);
      return true;
    }
    if (vk === kVkEnter) {
      var active = activeItem();
      if (active.length) chooseItem(e, active);
      return true;
    }
    var item = byMnemonic(popupItems(), letterOf(e));
    if (item.length) chooseItem(e, item);
    return true;
  }

  // Alt with a letter no bar entry takes: the first shown, enabled control
  // of the window whose underlined letter it is, as natively: a tab is
  // selected (reported as a click on it, the focus left where it is), a
  // button pressed, a check box or radio button clicked, each taking the
  // focus.
  function controlHotKey(key) {
    var active = document.activeElement;
    var win = active && active !== document.body ? $(active).closest('.qovform') : $();
    var scope = win.length ? win : $(document.body);
    var hit = null;
    scope.find('u').each(function () {
      if (hit || $(this).text().charAt(0).toUpperCase() !== key || !$(this).is(':visible')) return;
      var u = $(this);
      var tab = u.closest('.ui-tabs-nav li');
      if (tab.length) {
        if (!tab.hasClass('ui-state-disabled')) hit = tab.children('a');
        return;
      }
      var button = u.closest('button');
      if (button.length) {
        if (!button.prop('disabled')) hit = button;
        return;
      }
      var label = u.closest('label[for]');
      var input = label.length ? $(document.getElementById(label.attr('for'))) : $();
      if (input.length && !input.prop('disabled')) hit = input;
    });
    if (!hit) return false;
    if (!hit.closest('.ui-tabs-nav').length) hit[0].focus();
    hit[0].click();
    return true;
  }

  // The character of a key the bar took is the bar's too.
  var charTaken = false;
  function takeKey(e) {
    e.preventDefault();
    e.stopPropagation();
    charTaken = true;
  }
  document.addEventListener('keypress', function (e) {
    if (!charTaken) return;
    charTaken = false;
    e.preventDefault();
    e.stopPropagation();
  }, true);

  document.addEventListener('keydown', function (e) {
    var vk = e.keyCode;
    charTaken = false;
    if (vk !== kVkAlt) altAlone = false;
    if (kbd && !kbd.bar.closest('body').length) kbd = null;
    if (kbd) {
      if (vk !== kVkAlt && barKey(e)) takeKey(e);
      if (vk === kVkAlt) altAlone = true;
      return;
    }
    if (vk === kVkAlt) {
      altAlone = !e.ctrlKey && !e.shiftKey;
      return;
    }
    var key = e.altKey && !e.ctrlKey ? letterOf(e) : '';
    var bar = key ? keyBar() : null;
    var entry = bar ? byMnemonic(entriesOf(bar), key) : $();
    if (entry.length) {
      takeKey(e);
      kbd = { bar: bar, entry: entry, popup: null, list: null, opening: false };
      openEntry(e, entry);
      return;
    }
    if (key && controlHotKey(key)) {
      takeKey(e);
      return;
    }
    if (vk === kVkF10 && !e.altKey && !e.ctrlKey && !e.shiftKey) {
      bar = keyBar();
      if (bar && enterBar(bar)) takeKey(e);
    }
  }, true);

  // Alt released with no other key: the bar takes the keyboard, or gives it back.
  document.addEventListener('keyup', function (e) {
    if (e.keyCode !== kVkAlt || !altAlone) return;
    altAlone = false;
    if (kbd) {
      leaveKeyboard();
      return;
    }
    var bar = keyBar();
    if (bar) enterBar(bar);
  }, true);

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
    // Opened by the keyboard: the list takes the keys, its first item highlighted.
    if (kbd && kbd.opening && lastEntry && kbd.entry && lastEntry[0] === kbd.entry[0]) {
      kbd.opening = false;
      kbd.popup = list;
      kbd.list = list;
      highlightItem(list.children('li.ui-menu-item').first());
    }
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
