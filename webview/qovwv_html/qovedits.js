// qovedits.js - the page side of the text-entry controls: the constructors
// QovEdit (edit text), QovEditNum (number field with a jQuery UI spinner),
// QovEditDate (jQuery UI datepicker) and QovDlist (the select made a
// drop-down), their actions (21 edit, 31 number, 27 date, 16 combo box), and
// the clicks on a list label's items (99982).
//
// The client formats what it sends and converts what it reads; the page only
// holds the typed text. What the options of the constructors and of "dwid" 7
// do here:
//   "ae" 1   auto-enter: a field typed full (its maxlength) moves the focus on
//            (reported as Tab, 99996, so the client's tab order decides).
//   "ot" 1   overtype: a typed character replaces the one after the caret.
//   "sa" 1   select all: the whole text is selected when the field gets the focus.
//   "ro" 1   read-only.
//   number:  "udic" the spinner's step, "udmi"/"udmx" its limits (used when
//            the maximum is above the minimum), "updn" 1 puts the arrows on the
//            left, "am" 1 lets a '-' be typed, "fd" the decimals the spinner
//            writes, "dd" the integer digits that may be typed (0 any), "dc"
//            the decimal character shown, "dpi" kept for the client.
// Dates cross as "YYYYMMDD" ("YYYYMMDDHHMMSS" for a time field, format 3);
// action 27 "dwid" 6 starts a date field's $CHANGE reports, 7 ends them.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kTab = 99996, kListRowEvent = 99982, kChangeEvent = 3, kEventKind = 32;

  function byId(id) {
    return $(document.getElementById(String(id)));
  }

  function text(v) {
    return v === undefined || v === null ? '' : String(v);
  }

  function queue(ev) {
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function opts(el) {
    var o = el.data('qovEdit');
    if (!o) {
      o = {};
      el.data('qovEdit', o);
    }
    return o;
  }

  // ---- Edit text -------------------------------------------------------------------

  function node(el) {
    return el.length ? el[0] : null;
  }

  function selection(el) {
    var n = node(el);
    if (!n || typeof n.selectionStart !== 'number') return { start: 0, end: 0 };
    return { start: n.selectionStart, end: n.selectionEnd };
  }

  function select(el, start, end) {
    var n = node(el);
    if (!n || typeof n.setSelectionRange !== 'function') return;
    var len = text(el.val()).length;
    start = Math.max(0, Math.min(start, len));
    end = Math.max(start, Math.min(end, len));
    try {
      n.setSelectionRange(start, end);
    } catch (e) { /* an input type without a selection */ }
  }

  // Replaces the selection (or inserts at the caret) and puts the caret after it.
  function replaceSelection(el, s) {
    var v = text(el.val());
    var sel = selection(el);
    el.val(v.slice(0, sel.start) + s + v.slice(sel.end));
    var at = sel.start + s.length;
    select(el, at, at);
  }

  function bindEditBehaviour(el) {
    if (el.data('qovEditBound')) return;
    el.data('qovEditBound', true);
    el.on('focus.qovedit', function () {
      if (opts(el).sa) setTimeout(function () { select(el, 0, text(el.val()).length); }, 0);
    });
    el.on('keypress.qovedit', function (e) {
      var o = opts(el);
      if (!o.ot || e.ctrlKey || e.altKey || e.metaKey || !e.key || e.key.length !== 1) return;
      var sel = selection(el);
      if (sel.start === sel.end && sel.start < text(el.val()).length) select(el, sel.start, sel.start + 1);
    });
    el.on('input.qovedit', function () {
      var o = opts(el);
      var max = node(el) ? node(el).maxLength : -1;
      if (o.ae && max > 0 && text(el.val()).length >= max) queue({ name: '', et: kTab });
    });
  }

  window.QovEdit = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    var keep = opts(el);
    ['et', 'ld', 'lt', 'ro', 'ae', 'ot', 'sa'].forEach(function (k) {
      if (o[k] !== undefined) keep[k] = o[k];
    });
    if (o.ro) el.prop('readOnly', true);
    bindEditBehaviour(el);
  };

  // Action 21 and the shared part of action 31.
  function editAction(el, m) {
    var v = text(el.val());
    switch (m.dwid) {
      case 1:
        select(el, 0, v.length);
        return undefined;
      case 2: {
        var sel = selection(el);
        var start = typeof m.ss === 'number' ? m.ss : sel.start;
        var end = typeof m.se === 'number' ? m.se : sel.end;
        if (end < 0) end = v.length;
        select(el, start, end);
        return undefined;
      }
      case 3:
        if (m.pos === 1) {
          var s = selection(el);
          return { sel: v.slice(s.start, s.end) };
        }
        return { str: v };
      case 4:
        if (m.pos === 1) replaceSelection(el, text(m.str));
        else el.val(text(m.str));
        return undefined;
      case 5: {
        var cur = selection(el);
        return { val: m.typ === 1 ? cur.start : m.typ === 2 ? cur.end : v.length };
      }
      case 6:
        if (m.pos === 1) {
          replaceSelection(el, text(m.str));
        } else {
          el.val(v + text(m.str));
          select(el, el.val().length, el.val().length);
        }
        return undefined;
      case 7: {
        var keep = opts(el);
        ['ot', 'sa', 'ae', 'am', 'dpi', 'dd', 'fd'].forEach(function (k) {
          if (m[k] !== undefined) keep[k] = m[k];
        });
        return undefined;
      }
      default:
        return undefined;
    }
  }

  // ---- Number field ------------------------------------------------------------------

  function numberText(o, value) {
    var decimals = o.fd > 0 ? o.fd : 0;
    var s = Number(value).toFixed(decimals);
    return o.dc && o.dc !== '.' ? s.replace('.', o.dc) : s;
  }

  function numberValue(o, s) {
    var t = text(s).trim();
    if (o.dc && o.dc !== '.') t = t.split(o.dc).join('.');
    var v = parseFloat(t);
    return isNaN(v) ? 0 : v;
  }

  function spinnerLimits(o) {
    var has = typeof o.udmx === 'number' && typeof o.udmi === 'number' && o.udmx > o.udmi;
    return { min: has ? o.udmi : null, max: has ? o.udmx : null, step: o.udic > 0 ? o.udic : 1 };
  }

  // Up or down: from the arrow or key that spins, else from the spinner's value.
  var kKeyUp = { 38: 1, 33: 1 }, kKeyDown = { 40: 1, 34: 1 };
  function spinDirection(e, value, cur) {
    var t = e && e.currentTarget ? $(e.currentTarget) : $();
    if (t.hasClass('ui-spinner-up')) return 1;
    if (t.hasClass('ui-spinner-down')) return -1;
    if (e && kKeyUp[e.keyCode]) return 1;
    if (e && kKeyDown[e.keyCode]) return -1;
    return value > cur ? 1 : value < cur ? -1 : 0;
  }

  window.QovEditNum = function (o) {
    var wrap = byId(o.id + 'D');
    var el = byId(o.id);
    if (!el.length && wrap.length) el = $('<input type="text">').attr('id', o.id).appendTo(wrap);
    if (!el.length) return;
    var keep = opts(el);
    el.data('qovNum', true);
    ['ld', 'ro', 'ae', 'ot', 'sa', 'dpi', 'am', 'dc', 'fd', 'dd', 'updn', 'udmx', 'udmi', 'udic'].forEach(function (k) {
      if (o[k] !== undefined) keep[k] = o[k];
    });
    if (o.val !== undefined) el.val(text(o.val));
    if (o.ro) el.prop('readOnly', true);
    bindEditBehaviour(el);
    // Typed characters: digits, the decimal character and, with "am", a '-'.
    el.on('keypress.qovnum', function (e) {
      if (!e.key || e.key.length !== 1 || e.ctrlKey || e.metaKey) return;
      var k = keep;
      if (/[0-9]/.test(e.key) || e.key === (k.dc || '.') || e.key === '.') return;
      if (e.key === '-' && k.am) return;
      e.preventDefault();
    });
    if (!$.fn.spinner) return;
    var lim = spinnerLimits(keep);
    el.spinner({
      min: lim.min,
      max: lim.max,
      step: lim.step,
      // The spinner works on plain numbers: the field shows them with the
      // field's decimals and decimal character.
      start: function () {
        el.val(String(numberValue(keep, el.val())));
      },
      // The spinner rounds to multiples of its step; the native up-down adds
      // the step to the value as it is: only the direction is the spinner's.
      spin: function (e, ui) {
        var cur = numberValue(keep, el.val());
        var dir = spinDirection(e, ui.value, cur);
        var l = spinnerLimits(keep);
        var next = cur + dir * l.step;
        if (l.max !== null) next = Math.max(l.min, Math.min(l.max, next));
        el.val(numberText(keep, next));
        el.trigger('input');
        return false;
      },
      stop: function () {
        el.val(numberText(keep, numberValue(keep, el.val())));
      }
    });
    if (keep.updn === 1) el.closest('.ui-spinner').addClass('qovupdn-left');
  };

  function numberAction(el, m) {
    if (m.dwid === 7) {
      editAction(el, m);
      var keep = opts(el);
      ['udic', 'udmi', 'udmx', 'updn'].forEach(function (k) {
        if (m[k] !== undefined) keep[k] = m[k];
      });
      if (el.data('uiSpinner')) {
        var lim = spinnerLimits(keep);
        el.spinner('option', { min: lim.min, max: lim.max, step: lim.step });
      }
      if (m.updn !== undefined) el.closest('.ui-spinner').toggleClass('qovupdn-left', m.updn === 1);
      return undefined;
    }
    if (m.dwid === 20) {
      try {
        if (el.data('uiSpinner')) el.spinner('option', JSON.parse(m.opt || '{}'));
      } catch (e) { /* a malformed option text changes nothing */ }
      return undefined;
    }
    if (m.dwid >= 1 && m.dwid <= 4) return editAction(el, m);
    return undefined;
  }

  // ---- Date field --------------------------------------------------------------------

  var kPictures = { 1: 'DD, MM d, yy', 2: 'mm/dd/yy', 4: 'mm/dd/yy' };

  function pad(n, w) {
    var s = String(n);
    while (s.length < w) s = '0' + s;
    return s;
  }

  function parseDate(s) {
    var t = text(s);
    var m = /^(\d{4})(\d{2})(\d{2})(\d{2})?(\d{2})?(\d{2})?$/.exec(t);
    if (!m) return null;
    return new Date(+m[1], +m[2] - 1, +m[3], +(m[4] || 0), +(m[5] || 0), +(m[6] || 0));
  }

  function dateText(d) {
    return pad(d.getFullYear(), 4) + pad(d.getMonth() + 1, 2) + pad(d.getDate(), 2);
  }

  function timeText(el) {
    var m = /^(\d{1,2}):(\d{2})(?::(\d{2}))?/.exec(text(el.val()));
    if (!m) return '';
    return dateText(new Date()) + pad(+m[1], 2) + m[2] + (m[3] || '00');
  }

  function dateInput(id) {
    var el = byId(id);
    if (el.is('input')) return el;
    var wrap = byId(id + 'D');
    var inner = wrap.find('input').first();
    return inner.length ? inner : el;
  }

  window.QovEditDate = function (o) {
    var el = dateInput(o.id);
    if (!el.length) return;
    var keep = opts(el);
    el.data('qovDate', true);
    keep.fmt = o.fmt;
    if (o.fmt === 3 || !$.fn.datepicker) return;
    el.datepicker({
      dateFormat: o.fmt === 4 && o.format ? o.format : kPictures[o.fmt] || kPictures[2],
      minDate: parseDate(o.minDate),
      maxDate: parseDate(o.maxDate),
      changeMonth: true,
      changeYear: true
    });
  };

  function askDate(el, vid) {
    var keep = opts(el);
    if (vid === 3 && keep.fmt === 3) return timeText(el);
    if (!el.data('datepicker')) return '';
    var d = vid === 1 ? el.datepicker('option', 'minDate') : vid === 2 ? el.datepicker('option', 'maxDate')
      : el.datepicker('getDate');
    if (d && !(d instanceof Date)) d = $.datepicker.parseDate(el.datepicker('option', 'dateFormat'), String(d));
    return d ? dateText(d) : '';
  }

  function dateAction(el, m) {
    var picker = !!el.data('datepicker');
    switch (m.dwid) {
      case 1:
      case 2:
        if (picker) el.datepicker('option', m.dwid === 1 ? 'minDate' : 'maxDate', parseDate(m.dt));
        return {};
      case 3:
        return { str: askDate(el, m.vid) };
      case 4: {
        var d = parseDate(m.dt);
        if (opts(el).fmt === 3) {
          el.val(d ? pad(d.getHours(), 2) + ':' + pad(d.getMinutes(), 2) + ':' + pad(d.getSeconds(), 2) : '');
        } else if (picker) {
          el.datepicker('setDate', d);
        } else {
          el.val(d ? dateText(d) : '');
        }
        return {};
      }
      case 5:
        opts(el).fmt = m.fmt;
        if (picker) el.datepicker('option', 'dateFormat', m.fmt === 4 && m.format ? m.format : kPictures[m.fmt] || kPictures[2]);
        return {};
      case 6:
        // The field's $CHANGE: a date picked or typed reports 0, as the
        // native picker's change does.
        el.off('change.qovdate').on('change.qovdate', function () {
          queue({ id: Number(m.id), et: kChangeEvent, ev: 0, em: 0, ec: kEventKind });
        });
        return {};
      case 7:
        el.off('change.qovdate');
        return {};
      case 20:
        try {
          if (picker) el.datepicker('option', JSON.parse(m.opt || '{}'));
        } catch (e) { /* a malformed option text changes nothing */ }
        return {};
      default:
        return {};
    }
  }

  // ---- Drop-down list ----------------------------------------------------------------

  window.QovDlist = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    // The markup writes a list box of two rows; the page shows a drop-down.
    el.removeAttr('size');
    if (el[0].options.length) el[0].selectedIndex = -1;
  };

  function comboAction(el, m) {
    var sel = node(el);
    if (!sel || !sel.options) return m.dwid === 4 ? { val: 0 } : undefined;
    switch (m.dwid) {
      case 1: {
        // The item text is set as text, never as markup.
        var opt = document.createElement('option');
        opt.textContent = text(m.str);
        if (m.val !== undefined) opt.setAttribute('data-val', String(m.val));
        var before = typeof m.pos === 'number' && m.pos >= 0 ? sel.options[m.pos] : null;
        var keepIndex = sel.selectedIndex;
        sel.insertBefore(opt, before || null);
        if (keepIndex < 0) sel.selectedIndex = -1;
        return undefined;
      }
      case 2:
        if (m.pos === 0) {
          while (sel.options.length) sel.remove(0);
        } else if (typeof m.pos === 'number' && m.pos >= 1 && m.pos <= sel.options.length) {
          sel.remove(m.pos - 1);
        }
        return undefined;
      case 4:
        return { val: sel.selectedIndex + 1 };
      case 5:
        sel.selectedIndex = typeof m.val === 'number' && m.val >= 1 && m.val <= sel.options.length ? m.val - 1 : -1;
        return undefined;
      default:
        return undefined;
    }
  }

  // ---- List label items --------------------------------------------------------------

  // A row of a label's list: an li "C<n>R<row>" in the list right inside the
  // list label C<n> (class "ltl"; a tree view's nodes are named alike).
  function listRow(target) {
    var li = target && target.closest ? target.closest('li') : null;
    var m = li ? /^C([0-9]+)R[0-9]+$/.exec(li.id || '') : null;
    if (!m) return '';
    var holder = li.parentNode && li.parentNode.parentNode;
    return holder && holder.id === 'C' + m[1] && holder.classList.contains('ltl') ? li.id : '';
  }
  // Taken in the capture phase: the row's click is the label's only click,
  // so it never reaches the label's own click handlers as well.
  ['click', 'dblclick'].forEach(function (type) {
    document.addEventListener(type, function (e) {
      var name = listRow(e.target);
      if (!name) return;
      e.stopPropagation();
      queue({ name: name, et: kListRowEvent, ev: type === 'click' ? 0 : 1 });
    }, true);
  });

  // A multi-line edit scrolls three lines a wheel notch, as the lists do.
  document.addEventListener('wheel', function (e) {
    var box = e.target && e.target.closest ? e.target.closest('textarea') : null;
    if (box && window.QovWheelRows) window.QovWheelRows(box, e);
  }, { passive: false, capture: true });

  // Each action is taken here for the elements of these controls; other
  // controls that share an action code keep their own handling.
  var actions = {
    [Act.kActCombo]: function (m) {
      var el = byId(m.name);
      return el.is('select') ? comboAction(el, m) : null;
    },
    [Act.kActEdit]: function (m) {
      var el = byId(m.name);
      return el.is('input, textarea') ? editAction(el, m) : null;
    },
    [Act.kActDateTime]: function (m) {
      var el = dateInput(m.name);
      return el.data('qovDate') ? dateAction(el, m) : null;
    },
    [Act.kActNumber]: function (m) {
      var el = byId(m.name);
      return el.data('qovNum') ? numberAction(el, m) : null;
    }
  };

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) {
      var r = actions[m.action](m);
      if (r !== null) return r;
    }
    return general ? general(m) : undefined;
  };
})();
