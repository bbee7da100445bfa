// qovhtmlctl.js - the page side of the HTML control: its content (action 35
// "dwid" 2) with the events of its elements, focus into it (4, 8), and the
// rows of a bound table (action 40). Elements marked data-qrow (and
// data-qcol) report clicks as rows, inputs inside a row report checks and
// edits; every element that takes the focus reports its id.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kRowClick = 99990, kRowCheck = 99989, kHeader = 99991, kCellEdit = 99970, kKey = 99983, kPart = 99966,
    kFocusTab = 99971, kFocusId = 99972;
  var kContent = 2, kEvents = 3, kFocusElement = 4, kFocusTab8 = 8;
  var kTable = 1, kCurrentRow = 3;

  function queue(ev) {
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function modifiers(e) {
    return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
  }

  function numberOf(el, name) {
    var v = parseInt(el.getAttribute(name), 10);
    return isNaN(v) ? 0 : v;
  }

  // The content's elements report to the control's element id.
  function hook(id) {
    var host = $(document.getElementById(id));
    host.off('.qovhc');
    host.on('click.qovhc', '[data-qrow]', function (e) {
      if (e.target.type === 'checkbox') return;
      var row = numberOf(this, 'data-qrow'), col = numberOf(this, 'data-qcol');
      queue({ name: id + 'R' + row + 'I' + col, et: kRowClick, ev: 0, em: modifiers(e) });
    });
    host.on('change.qovhc', '[data-qrow] input[type=checkbox]', function () {
      var row = numberOf($(this).closest('[data-qrow]')[0], 'data-qrow');
      queue({ name: id + 'R' + row + 'C' + numberOf(this, 'data-qcol'), et: kRowCheck, ev: this.checked ? 1 : 0 });
    });
    host.on('change.qovhc', '[data-qrow] input[type=text]', function () {
      var cell = $(this).closest('[data-qrow]')[0];
      queue({ name: id + 'R' + numberOf(cell, 'data-qrow') + 'I' + numberOf(this, 'data-qcol'), et: kCellEdit,
        edata: String(this.value) });
    });
    host.on('click.qovhc', '[data-qhead]', function () {
      queue({ name: id + 'H' + numberOf(this, 'data-qhead'), et: kHeader });
    });
    host.on('click.qovhc', '[data-qpart]', function () {
      queue({ name: id + 'P' + numberOf(this, 'data-qpart'), et: kPart });
    });
    host.on('keydown.qovhc', function (e) {
      if (e.which >= 35 && e.which <= 40) queue({ name: id, et: kKey, ev: e.which });
    });
    host.on('focusin.qovhc', function (e) {
      var el = e.target;
      if (!el || !el.id) return;
      var tab = tabIdOf(el);
      queue({ name: id, et: tab ? kFocusTab : kFocusId, edata: JSON.stringify({ id: el.id, tab: tab }) });
    });
  }

  function focusables(id) {
    return $(document.getElementById(id)).find('a[href], button, input, select, textarea, [tabindex]')
      .filter(':visible');
  }

  // The tab id of an element, as the native control reads it: the number at
  // the start of its "data-qovtabid" (blanks first skipped), 0 without one.
  function tabIdOf(el) {
    var m = /^\s*([0-9]+)/.exec(String(el.getAttribute('data-qovtabid') || '').slice(0, 32));
    return m ? Math.min(Number(m[1]), 2147483647) : 0;
  }

  // The next element by tab id after current (forward: the smallest id above
  // it, backward: the largest below it; the first in the page among equal
  // ids), as the native control steps; null when none.
  function tabPick(id, current, forward) {
    var best = null, bestId = 0;
    $(document.getElementById(id)).find('[data-qovtabid]').filter(':visible').each(function () {
      var t = tabIdOf(this);
      if (t <= 0 || (forward ? t <= current : t >= current)) return;
      if (!best || (forward ? t < bestId : t > bestId)) { best = this; bestId = t; }
    });
    return best;
  }

  var htmlActions = {};
  htmlActions[kContent] = function (m) {
    $(document.getElementById(m.name)).html(m.html || '');
    hook(m.name);
  };
  htmlActions[kEvents] = function (m) { hook(m.name); };
  htmlActions[kFocusElement] = function (m) {
    var el = document.getElementById(String(m.name));
    if (el) el.focus();
  };
  // A tab step: to the element by tab id after "tid"; a page without tab ids
  // entered from outside takes the focus on its first (or last) element,
  // while a step from inside it leaves the control ("tabid" 0).
  htmlActions[kFocusTab8] = function (m) {
    var forward = !!m.fwd;
    var el = tabPick(m.name, Number(m.tid) || 0, forward);
    if (el) {
      el.focus();
      return { tabid: tabIdOf(el) };
    }
    var host = document.getElementById(m.name);
    if (host && host.contains(document.activeElement)) return { tabid: 0 };
    var list = focusables(m.name);
    if (!list.length) return { tabid: 0 };
    (forward ? list.first() : list.last()).focus();
    return { tabid: 1 };
  };

  var tableActions = {};
  tableActions[kTable] = function (m) {
    $(document.getElementById(m.name)).html(m.html || '');
    hook(m.name);
  };
  tableActions[kCurrentRow] = function (m) {
    var host = $(document.getElementById(m.name));
    host.find('[data-qrow]').removeClass('qovcur');
    host.find('[data-qrow="' + Number(m.rn) + '"]').addClass('qovcur');
  };

  var actions = {
    [Act.kActHtmlContent]: function (m) { var f = htmlActions[m.dwid]; return f ? f(m) : undefined; },
    [Act.kActList]: function (m) { var f = tableActions[m.dwid]; return f ? f(m) : undefined; }
  };

  // Actions 35 and 40 are an HTML control's when they name one (or, for the
  // focus, an element inside one); panels and lists use the same codes.
  function forHtmlControl(m) {
    var el = document.getElementById(String(m.name));
    if (!el) return false;
    if (m.action === Act.kActHtmlContent && m.dwid === kFocusElement) return !!el.closest('.qovho');
    return el.classList.contains('qovho');
  }

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action] && forHtmlControl(m)) return actions[m.action](m);
    return general ? general(m) : undefined;
  };
})();
