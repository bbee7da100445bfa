// qovlists.js - the page side of the list controls: data lists and list views
// (action 40, tables the client sends whole or patches), cell rectangles
// (42), tree views (49, nested lists), and the events the lists report: row
// clicks (99990), keys (99983, 99978), check boxes (99989, 99979), header clicks (99991), edited cells
// (99970) and tree clicks (99980).
//
// The client keeps every row and node and decides the selection; the page
// shows a list view's click at once (the client sends nothing back for it)
// and otherwise follows what the client sends.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kCellEdit = 99970, kTreeKey = 99978, kTreeCheck = 99979, kTreeClick = 99980, kListKey = 99983,
      kRowCheck = 99989, kRowClick = 99990, kHeaderClick = 99991;
  var kMkShift = 4, kMkControl = 8;
  var kExpander = 3;
  var kRowPress = 2;   // 99990's "ev" for a button gone down on a list view's row
  // A fraction of a row below which a scroll offset counts as whole rows (a
  // row's height need not be a whole number of pixels; the offset is).
  var kWholeRowSlack = 0.01;
  // The keys the lists report; a tree also reports letters.
  var kListKeys = { 32: true, 35: true, 36: true, 38: true, 40: true };
  var kTreeKeys = { 32: true, 35: true, 36: true, 37: true, 38: true, 39: true, 40: true };

  function queue(ev) {
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function keyBits(e) {
    return (e.shiftKey ? kMkShift : 0) | (e.ctrlKey ? kMkControl : 0);
  }

  function byId(id) {
    return $(document.getElementById(String(id)));
  }

  function text(v) {
    return v === undefined || v === null ? '' : String(v);
  }

  // ---- Data lists and list views -----------------------------------------------------------

  function rowsOf(el) {
    return el.find('tbody').first().children('tr');
  }

  function isDataList(el) {
    return el.find('.qovdl').length > 0;
  }

  function rowNumber(td) {
    var m = /R([0-9]+)I/.exec(td.id || '');
    return m ? Number(m[1]) : -1;
  }

  // A list view shows its own click: one row, or a toggled one with multiple
  // selection (the client keeps the same record).
  function showClick(el, tr, dbl) {
    if (isDataList(el)) return;
    var multi = el.data('qovms');
    if (!multi) rowsOf(el).removeClass('ui-selected');
    rowsOf(el).removeClass('ui-focused');
    if (multi && !dbl && tr.hasClass('ui-selected')) tr.removeClass('ui-selected');
    else tr.addClass('ui-selected');
    tr.addClass('ui-focused');
  }

  // The second click of a double click belongs to the double click: a native
  // list or tree reports a click, then the double click.
  function secondClick(e) {
    return e.type === 'click' && e.originalEvent && e.originalEvent.detail > 1;
  }

  function secondPress(e) {
    return e.originalEvent && e.originalEvent.detail > 1;
  }

  function bindList(el) {
    if (el.data('qovListBound')) return;
    el.data('qovListBound', true);
    var name = el.attr('id');
    if (!el.attr('tabindex')) el.attr('tabindex', '0');
    // A list view's row is chosen when the button goes down on it (ev 2), as
    // in a native list view: its $CHANGE comes before the focus moves to the
    // list, its $CLICK with the release. A data list reports the click alone.
    el.on('mousedown.qovlist', 'td', function (e) {
      el.removeData('qovPressed');
      if (isDataList(el) || e.button !== 0 || secondPress(e)) return;
      if ($(e.target).is('input') || el.data('qovDisabled')) return;
      showClick(el, $(this).closest('tr'), 0);
      el.data('qovPressed', this.id);
      queue({ name: this.id, et: kRowClick, ev: kRowPress, em: keyBits(e) });
    });
    el.on('click.qovlist dblclick.qovlist', 'td', function (e) {
      if ($(e.target).is('input') || secondClick(e)) return;
      if (el.data('qovDisabled')) return;
      var dbl = e.type === 'dblclick' ? 1 : 0;
      var pressed = !dbl && el.data('qovPressed') === this.id;
      el.removeData('qovPressed');
      if (!pressed) showClick(el, $(this).closest('tr'), dbl);
      queue({ name: this.id, et: kRowClick, ev: dbl, em: keyBits(e) });
    });
    el.on('change.qovlist', 'input[type=checkbox]', function () {
      queue({ name: this.id, et: kRowCheck, ev: this.checked ? 1 : 0 });
    });
    el.on('click.qovlist', 'th', function () {
      queue({ name: this.id, et: kHeaderClick });
    });
    // An edited cell reports its text once: on Enter or Tab (which the page
    // keeps from moving on by itself) or when it loses the focus.
    function edited(input) {
      var td = $(input).closest('td')[0];
      var v = $(input).val();
      if (!td || $(input).data('qovSent') === v) return;
      $(input).data('qovSent', v);
      queue({ name: td.id, et: kCellEdit, v1: v });
    }
    el.on('focusin.qovlist', 'input[type=text]', function () {
      $(this).data('qovSent', $(this).val());
    });
    el.on('change.qovlist', 'input[type=text]', function () {
      edited(this);
    });
    el.on('keydown.qovlist', 'input[type=text]', function (e) {
      if (e.key === 'Enter' || e.key === 'Tab') edited(this);
    });
    el.on('keydown.qovlist', function (e) {
      if ($(e.target).is('input[type=text]')) return;
      if (!kListKeys[e.keyCode]) return;
      e.preventDefault();
      queue({ name: name, et: kListKey, ec: e.keyCode });
    });
  }

  function rowAt(el, n) {
    return rowsOf(el).eq(Number(n));
  }

  // A row the client brings into view lies wholly inside its box, as a native
  // list shows its selected row: below a list view's header, which stays at
  // the box's top and would cover a row scrolled to the box's edge, and above
  // the box's bottom edge. The box then scrolls by whole rows, as the wheel
  // does (a row scrolled up comes right below the header; one scrolled down
  // is the last row wholly shown).
  function scrollTo(tr) {
    if (!tr.length) return;
    var box = tr[0].closest('.qovdl, .qovlv, .qovlvg');
    if (!box) {
      if (tr[0].scrollIntoView) tr[0].scrollIntoView({ block: 'nearest' });
      return;
    }
    var head = box.querySelector('tr.qovlvh');
    var row = tr[0].getBoundingClientRect(), area = box.getBoundingClientRect();
    var top = area.top + box.clientTop + (head ? head.getBoundingClientRect().height : 0);
    var bottom = area.top + box.clientTop + box.clientHeight;
    if (row.top < top) {
      box.scrollTop = Math.floor(box.scrollTop - (top - row.top));
    } else if (row.bottom > bottom && row.height > 0) {
      var rows = Math.ceil((box.scrollTop + row.bottom - bottom) / row.height - kWholeRowSlack);
      box.scrollTop = Math.ceil(rows * row.height);
    }
  }

  // Rows renumbered after a reorder: the names carry the row numbers.
  function renumber(el) {
    var id = el.attr('id');
    rowsOf(el).each(function (r) {
      $(this).children('td').each(function (p) {
        this.id = id + 'R' + r + 'I' + p;
      });
      $(this).find('input[type=checkbox]').attr('id', id + 'C' + r);
    });
  }

  function reorder(el, m) {
    var rows = rowsOf(el).get();
    var body = el.find('tbody').first();
    var order = Array.isArray(m.srt) ? m.srt : [];
    if (order.length !== rows.length) return;
    for (var i = 0; i < order.length; i++) {
      var tr = rows[Number(order[i])];
      if (tr) body.append(tr);
    }
    renumber(el);
    if (Array.isArray(m.ck)) {
      var ticked = {};
      m.ck.forEach(function (r) { ticked[Number(r)] = true; });
      rowsOf(el).each(function (r) {
        $(this).find('input[type=checkbox]').prop('checked', !!ticked[r]);
      });
    }
  }

  function listAction(m) {
    var el = byId(m.name);
    if (!el.length) return undefined;
    switch (m.dwid) {
      case 1:
        el.html(m.html || '');
        el.data('qovms', !!m.ms);
        bindList(el);
        break;
      case 2:
        el.data('qovms', !!m.ms);
        reorder(el, m);
        break;
      case 3: {
        var tr = rowAt(el, m.rn);
        // A data list's current row is its only selected one; a list view
        // with multiple selection keeps the others.
        if (isDataList(el) || !el.data('qovms')) rowsOf(el).removeClass('ui-selected');
        rowsOf(el).removeClass('ui-focused');
        tr.addClass('ui-selected ui-focused');
        scrollTo(tr);
        if (m.df !== undefined) tr.children('td').eq(Number(m.df)).find('input').first().trigger('focus');
        break;
      }
      case 4:
        scrollTo(rowAt(el, m.rn));
        break;
      case 5:
      case 6:
        el.data('qovDisabled', m.dwid === 5);
        el.toggleClass('disabled', m.dwid === 5);
        break;
      case 7:
        rowsOf(el).slice(Number(m.start), Number(m.end) + 1).toggleClass('ui-selected', !!m.sel);
        break;
      case 8:
        rowsOf(el).removeClass('ui-focused');
        rowAt(el, m.rn).addClass('ui-focused');
        break;
      default:
        break;
    }
    return undefined;
  }

  // The cell's rectangle relative to the window's content division (the
  // client's form element, else the page).
  function cellRect(m) {
    var cell = byId(m.name);
    if (!cell.length) return { t: 0, h: 0, l: 0, w: 0 };
    var holder = m.form ? byId(m.form) : $();
    var form = cell.closest('.qovform');
    var base = (form.length ? form : holder).offset() || { left: 0, top: 0 };
    var o = cell.offset();
    return {
      t: Math.round(o.top - base.top), h: Math.round(cell.outerHeight()),
      l: Math.round(o.left - base.left), w: Math.round(cell.outerWidth())
    };
  }

  // ---- Tree views ----------------------------------------------------------------------------

  // A node's elements: its li and, with children, its summary carry the id.
  function nodeParts(el, rn) {
    return el.find('[id="' + el.attr('id') + 'R' + Number(rn) + '"]');
  }

  function nodeLi(el, rn) {
    return nodeParts(el, rn).filter('li').first();
  }

  function ownPart(li, selector) {
    var summary = li.children('details').children('summary');
    return (summary.length ? summary : li).children(selector).first();
  }

  function bindTree(el) {
    if (el.data('qovTreeBound')) return;
    el.data('qovTreeBound', true);
    var name = el.attr('id');
    if (!el.attr('tabindex')) el.attr('tabindex', '0');
    // The client decides what opens: the page's own toggle is kept out.
    el.on('click.qovtree', 'summary', function (e) {
      if (!$(e.target).is('input')) e.preventDefault();
    });
    // A node is clicked when the button goes down on it, as in a native tree:
    // its selection and $CLICK come before the focus moves to the tree. Its
    // expander reports on the click; a double click on its release.
    el.on('mousedown.qovtree click.qovtree dblclick.qovtree', 'li', function (e) {
      e.stopPropagation();
      if (el.data('qovDisabled') || $(e.target).is('input')) return;
      var li = $(this);
      var onText = $(e.target).closest('span, .qovtvi').length > 0;
      var onExpander = $(e.target).closest('summary').length > 0 && !onText;
      if (e.type === 'click') {
        if (onExpander) queue({ name: li.attr('id'), et: kTreeCheck, ev: kExpander });
        return;
      }
      if (e.type === 'mousedown' && (onExpander || e.button !== 0 || secondPress(e))) return;
      queue({ name: li.attr('id'), et: kTreeClick, ev: e.type === 'dblclick' ? 1 : 0, em: keyBits(e) });
    });
    el.on('change.qovtree', 'input[type=checkbox]', function (e) {
      e.stopPropagation();
      var li = $(this).closest('li');
      queue({ name: li.attr('id'), et: kTreeCheck, ev: this.checked ? 1 : 0 });
    });
    el.on('keydown.qovtree', function (e) {
      var letter = e.key && e.key.length === 1 && /[0-9A-Za-z]/.test(e.key);
      if (!kTreeKeys[e.keyCode] && !letter) return;
      e.preventDefault();
      queue({ name: name, et: kTreeKey, ec: e.keyCode });
    });
  }

  function imageAt(li, offset) {
    ownPart(li, '.qovtvi').css('background-position', '-' + Number(offset) + 'px 0px');
  }

  function treeAction(m) {
    var el = byId(m.name);
    if (!el.length) return undefined;
    var li = m.rn !== undefined ? nodeLi(el, m.rn) : $();
    switch (m.dwid) {
      case 1:
        el.html(m.html || '');
        if (m.isrc) {
          el.find('.qovtvi').css({ width: Number(m.iw) + 'px', height: Number(m.ih) + 'px',
            'background-image': 'url("' + String(m.isrc).replace(/"/g, '%22') + '")' });
        }
        bindTree(el);
        break;
      case 2:
        li.children('details').prop('open', m.exp !== undefined);
        break;
      case 3:
        el.find('span.ui-selected').removeClass('ui-selected');
        ownPart(li, 'span').addClass('ui-selected');
        if (m.io !== undefined) imageAt(li, m.io);
        if (m.ls !== undefined) imageAt(nodeLi(el, m.ls), m.lo);
        break;
      case 4:
        ownPart(li, 'input[type=checkbox]').prop('checked', !!m.chk);
        break;
      case 5:
        if (li.length && li[0].scrollIntoView) li[0].scrollIntoView({ block: 'nearest' });
        break;
      case 6:
        ownPart(li, 'span').text(text(m.tx));
        break;
      case 7:
        imageAt(li, m.io);
        break;
      case 8:
      case 9:
        el.data('qovDisabled', m.dwid === 9);
        el.toggleClass('disabled', m.dwid === 9);
        el.find('input').prop('disabled', m.dwid === 9);
        break;
      default:
        break;
    }
    return undefined;
  }

  // ---- The wheel -----------------------------------------------------------------------------

  // A notch of the wheel scrolls a list, list view, tree or multi-line edit
  // three rows, as a native one does (three lines a notch, Windows' default);
  // Chromium reports a notch as 100 pixels. The box that scrolls keeps the
  // wheel: at its end nothing around it scrolls instead.
  var kWheelRows = 3, kNotchPixels = 100, kLineFallback = 1.2;

  function wheelRows(e) {
    var rows = e.deltaMode === 1 ? e.deltaY : e.deltaY / kNotchPixels * kWheelRows;
    var whole = Math.round(rows);
    return whole === 0 ? (rows < 0 ? -1 : 1) : whole;
  }

  // One row of the box: its first body row, or a tree's first node line, or
  // (an edit) its line height.
  function rowHeight(box) {
    var row = box.querySelector('tbody tr');
    if (!row) {
      var li = box.querySelector('li');
      row = li && (li.querySelector(':scope > details > summary') || li);
    }
    var h = row ? row.getBoundingClientRect().height : 0;
    if (h > 0) return h;
    var style = getComputedStyle(box);
    return parseFloat(style.lineHeight) || parseFloat(style.fontSize) * kLineFallback;
  }

  // The wheel over box (e the wheel event): scrolled by whole rows, from the
  // row nearest its top (a row's height need not be a whole number of
  // pixels, and the scroll offset is kept in whole ones).
  window.QovWheelRows = function (box, e) {
    if (!box || !e.deltaY || e.ctrlKey || e.shiftKey) return;
    e.preventDefault();
    var h = rowHeight(box);
    box.scrollTop = (Math.round(box.scrollTop / h) + wheelRows(e)) * h;
  };

  document.addEventListener('wheel', function (e) {
    var box = e.target && e.target.closest ? e.target.closest('.qovdl, .qovlv, .qovlvg, .treev') : null;
    window.QovWheelRows(box, e);
  }, { passive: false, capture: true });

  // ---- Values by selector ------------------------------------------------------------------------

  // dwid: 1 a style, 2 a property, 3 the value, 4 the inner HTML, 5 the text, 6 an attribute.
  var actions = {
    [Act.kActList]: listAction,
    [Act.kActCellRect]: cellRect,
    [Act.kActTree]: treeAction
  };

  var general = window.QovRunAction;
  // An HTML control's bound table takes action 40 too: its own script serves it.
  function forHtmlControl(m) {
    return m.action === Act.kActList && byId(m.name).hasClass('qovho');
  }

  window.QovRunAction = function (m) {
    if (m && actions[m.action] && !forHtmlControl(m)) return actions[m.action](m);
    return general ? general(m) : undefined;
  };
})();
