// qovevents.js - the events the page reports for the client's objects: the
// subscriptions of action 6 (and their end, action 41), script events (50),
// the focus (14, reported back as 99995; a window named: no control keeps
// it), the checked state (39 is general), push-button cancel mode (43),
// file-input options (45) and chosen files (99984), and the keys the client
// handles itself: Tab and Shift+Tab (99996, 99997), Enter (99987) and
// Escape (99986).
//
// Event values follow the native controls: a push button's $CLICK carries 0;
// a $KEYPRESS the character typed, with Shift 0x100, Ctrl 0x200, Alt 0x400;
// a check box or radio button reports $CHANGE and then $CLICK, each with its
// new checked state (1 or 0); "em" carries the Win32 MK_ bits of the keys and
// buttons held (MK_SHIFT 4, MK_CONTROL 8; a plain click 0), mouse events
// also the button (MK_LBUTTON 1, MK_RBUTTON 2, MK_MBUTTON 16) and "ev"
// x * 10000 + y in pixels inside the element.
//
// The options of action 6, as this page reads them:
//   "prec" 1  the click is the object's own: it does not bubble on to the
//             click handlers of the elements around it (a panel's $CLICK).
//   "sp" 3    the event comes from the control's value part: reported on the
//             element's "change" rather than on its mouse click.
//   "ap" 1    mouse positions are taken relative to the slider's handle.
//   "mm" 1    mouse moves are reported (at most one per animation frame).
//   "lte" 1   a list label: its rows report their own clicks (99982), so
//             nothing is bound on the label itself.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kChange = 3, kClick = 4, kDblClick = 6, kKeyPress = 10, kMouseDown = 13, kMouseUp = 14, kMouseMove = 15;
  var kKeyShift = 0x100, kKeyCtrl = 0x200, kKeyAlt = 0x400;   // a $KEYPRESS's modifiers
  var kScriptEvent = 99975, kFilesChosen = 99984, kCancelKey = 99986, kEnterKey = 99987, kFocus = 99995,
      kTab = 99996, kShiftTab = 99997;
  var kPositionScale = 10000;
  var kMkLeft = 1, kMkRight = 2, kMkShift = 4, kMkControl = 8, kMkMiddle = 16;

  var kEventKind = 32;   // "ec" of an object event: the kind byte the native controls post

  // holdKeys: a key the client acts on; the user's next keys wait for it.
  function queue(ev, holdKeys) {
    if (ev.id !== undefined && ev.ec === undefined) ev.ec = kEventKind;
    if (window.QovPostEvent) window.QovPostEvent(ev, holdKeys);
  }

  function byId(id) {
    return $(document.getElementById(String(id)));
  }

  function keyBits(e) {
    return (e.shiftKey ? kMkShift : 0) | (e.ctrlKey ? kMkControl : 0);
  }

  function buttonBits(e) {
    var b = { 0: kMkLeft, 1: kMkMiddle, 2: kMkRight }[e.button] || 0;
    return b | keyBits(e);
  }

  function position(el, e, handle) {
    var box = (handle && handle.length ? handle : el).offset() || { left: 0, top: 0 };
    var x = Math.max(0, Math.round(e.pageX - box.left)), y = Math.max(0, Math.round(e.pageY - box.top));
    return Math.min(x, kPositionScale - 1) * kPositionScale + Math.min(y, kPositionScale - 1);
  }

  function isCheck(el) {
    return el.is('input[type=checkbox], input[type=radio]');
  }

  // Subscriptions by element id: event number -> options.
  var subs = {};

  function checkState(el) {
    return el.prop('checked') ? 1 : 0;
  }

  function handlerFor(id, en) {
    var el = byId('C' + id);
    var ns = '.qovev' + en;
    var opts = subs[id][en];
    switch (en) {
      case kClick:
      case kChange:
        if (isCheck(el)) {
          // One handler for both: $CHANGE, then $CLICK, with the new state.
          if (el.data('qovCheckBound')) return;
          el.data('qovCheckBound', true);
          el.on('click.qovcheck', function (e) {
            var v = checkState(el);
            queue({ id: id, et: kChange, ev: v, em: keyBits(e) });
            queue({ id: id, et: kClick, ev: v, em: keyBits(e) });
            e.stopPropagation();
          });
          return;
        }
        if (el.is('select')) {
          // A choice in a drop-down: $CHANGE, then $CLICK, each with the
          // 1-based item, as the native combo box reports them.
          if (el.data('qovSelectBound')) return;
          el.data('qovSelectBound', true);
          el.on('change.qovselect', function (e) {
            var v = el[0].selectedIndex + 1;
            if (subs[id] && subs[id][kChange]) queue({ id: id, et: kChange, ev: v, em: keyBits(e) });
            if (subs[id] && subs[id][kClick]) queue({ id: id, et: kClick, ev: v, em: keyBits(e) });
          });
          return;
        }
        if (en === kChange && el.is('input[type=text], input[type=password], input:not([type]), textarea')) {
          // An edit reports each change of its text as it is typed, as the
          // native edit does; the client's own changes report nothing.
          el.on('input' + ns, function (e) {
            queue({ id: id, et: kChange, ev: 0, em: keyBits(e) });
          });
          return;
        }
        if (en === kChange || opts.sp === 3) {
          el.on('change' + ns, function (e) {
            queue({ id: id, et: en, ev: 0, em: keyBits(e) });
          });
          return;
        }
        el.on('click' + ns, function (e) {
          if (el.prop('disabled')) return;
          queue({ id: id, et: kClick, ev: 0, em: keyBits(e) });
          if (opts.prec) e.stopPropagation();
        });
        return;
      case kKeyPress:
        // Each character typed, as the native controls report it: its code
        // and the keys held (Shift 0x100, Ctrl 0x200, Alt 0x400).
        el.on('keypress' + ns, function (e) {
          var code = e.which || e.charCode || 0;
          if (!code) return;
          var held = (e.shiftKey ? kKeyShift : 0) | (e.ctrlKey ? kKeyCtrl : 0) | (e.altKey ? kKeyAlt : 0);
          queue({ id: id, et: kKeyPress, ev: code, em: held });
        });
        return;
      case kDblClick:
        el.on('dblclick' + ns, function (e) {
          queue({ id: id, et: kDblClick, ev: 0, em: keyBits(e) });
        });
        return;
      case kMouseDown:
      case kMouseUp:
        el.on((en === kMouseDown ? 'mousedown' : 'mouseup') + ns, function (e) {
          var handle = opts.ap ? el.find('.ui-slider-handle') : null;
          queue({ id: id, et: en, ev: position(el, e, handle), em: buttonBits(e) });
        });
        return;
      case kMouseMove: {
        var waiting = false;
        el.on('mousemove' + ns, function (e) {
          if (waiting) return;
          waiting = true;
          var ev = position(el, e, opts.ap ? el.find('.ui-slider-handle') : null);
          var em = keyBits(e) | (e.buttons & 1 ? kMkLeft : 0);
          window.requestAnimationFrame(function () {
            waiting = false;
            queue({ id: id, et: kMouseMove, ev: ev, em: em });
          });
        });
        return;
      }
      default:
        // Other events are the controls' own; nothing to bind here.
        return;
    }
  }

  function subscribe(m) {
    var id = Number(m.id);
    if (!(id > 0) || typeof m.en !== 'number') return;
    subs[id] = subs[id] || {};
    if (subs[id][m.en]) {
      subs[id][m.en] = m;
      return;
    }
    subs[id][m.en] = m;
    if (m.lte) return;
    handlerFor(id, m.en);
  }

  function unsubscribe(m) {
    var id = Number(m.id);
    if (!subs[id] || !subs[id][m.en]) return;
    delete subs[id][m.en];
    var el = byId('C' + id);
    el.off('.qovev' + m.en);
    if ((m.en === kClick || m.en === kChange) && isCheck(el) && !subs[id][kClick] && !subs[id][kChange]) {
      el.off('click.qovcheck');
      el.removeData('qovCheckBound');
    }
    if ((m.en === kClick || m.en === kChange) && el.is('select') && !subs[id][kClick] && !subs[id][kChange]) {
      el.off('change.qovselect');
      el.removeData('qovSelectBound');
    }
  }

  // The element that takes the keyboard focus for an object: the element
  // itself when it can, else its first input (a slider: its handle).
  function focusTarget(m) {
    var el = byId(m.name);
    if (m.sld) return el.find('.ui-slider-handle').first();
    if (el.is('input, button, select, textarea, a, [tabindex]')) return el;
    var inner = el.find('input, button, select, textarea').first();
    return inner.length ? inner : el;
  }

  var scriptHandlers = {};

  var actions = {
    [Act.kActSubscribe]: function (m) {
      subscribe(m);
    },
    [Act.kActFocus]: function (m) {
      // A window named: it is in front with none of its controls focused, so
      // the element that has the focus (another window's control) loses it
      // and the keys typed next reach no control until Tab.
      if (byId(m.name).is('.qovfrm, .ui-dialog-content')) {
        var active = document.activeElement;
        if (active && active !== document.body && active.blur) active.blur();
        return {};
      }
      var t = focusTarget(m);
      if (t.length) t[0].focus();
      return {};
    },
    [Act.kActUnsubscribe]: function (m) {
      unsubscribe(m);
    },
    [Act.kActCancelMode]: function (m) {
      var el = byId(m.name);
      if (m.rem) el.removeClass('qovcancelmode');
      else el.addClass('qovcancelmode');
      return {};
    },
    [Act.kActFileOptions]: function (m) {
      var el = byId(m.name);
      if (m.typ !== undefined) el.attr('accept', String(m.typ));
      if (m.mult !== undefined) el.prop('multiple', !!m.mult);
    },
    [Act.kActJqEvent]: function (m) {
      var el = byId(m.name);
      if (!el.length || typeof m.eStr !== 'string' || !m.eStr) return undefined;
      var key = m.name + ' ' + m.eStr + ' ' + (m.sel || '');
      var target = m.sel ? el.find(String(m.sel)) : el;
      if (scriptHandlers[key]) {
        target.off(m.eStr, scriptHandlers[key]);
        delete scriptHandlers[key];
      }
      if (m.se) {
        scriptHandlers[key] = function (e) {
          queue({ name: m.name, et: kScriptEvent, edata: m.eStr + (e && e.target && e.target.id ? ':' + e.target.id : '') });
        };
        target.on(m.eStr, scriptHandlers[key]);
      }
      return undefined;
    }
  };

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) return actions[m.action](m);
    return general ? general(m) : undefined;
  };

  // The file input of a file button ("C<n>F") reports what was chosen.
  window.qovWebNamespace = window.qovWebNamespace || {};
  window.qovWebNamespace.fileEvt = function (inputId) {
    var input = document.getElementById(String(inputId));
    if (!input) return;
    var files = Array.prototype.slice.call(input.files || []);
    queue({
      name: String(inputId).replace(/F$/, ''),
      et: kFilesChosen,
      em: files.length,
      ev: files.map(function (f) { return f.name; }),
      v1: files.map(function (f) { return f.type || ''; }),
      v2: files.map(function (f) { return f.size; })
    });
  };

  // The focus moved to one of the client's elements (or into one).
  function ownerId(node) {
    for (var n = node; n && n !== document; n = n.parentNode) {
      var m = /^C([0-9]+)$/.exec(n.id || '');
      if (m) return Number(m[1]);
    }
    return 0;
  }

  $(document).on('focusin.qov', function (e) {
    var id = ownerId(e.target);
    if (id) queue({ name: 'C' + id, et: kFocus });
  });

  // The client's tab order decides where Tab goes; the keys typed after it
  // wait until the focus has moved there.
  $(document).on('keydown.qov', function (e) {
    if (e.key === 'Tab') {
      e.preventDefault();
      queue({ name: '', et: e.shiftKey ? kShiftTab : kTab }, true);
    } else if (e.key === 'Enter') {
      if ($(e.target).is('textarea')) return;
      e.preventDefault();
      queue({ name: '', et: kEnterKey }, true);
    } else if (e.key === 'Escape') {
      queue({ name: '', et: kCancelKey }, true);
    }
  });
})();
