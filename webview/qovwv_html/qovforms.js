// qovforms.js - the page's windows and dialogs: the constructors the markup
// calls (QovFrm, QovDlg and the controls' constructors), the window actions
// (20 delete, 29 dialog, 44 fill the page), and the window events the page
// queues for the client (99974 clicked, 99985 page resized, 99988 close box,
// 99992 moved, 99993 resized).
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kClicked = 99974, kPageResized = 99985, kCloseBox = 99988, kMoved = 99992, kResized = 99993;
  var kDlgClose = 1, kDlgOpen = 2, kDlgTitle = 3, kDlgWidth = 4, kDlgHeight = 5, kDlgTop = 6, kDlgLeft = 7, kDlgJqOption = 20, kDlgPosition = 8;
  var kFillOn = 1, kFillOff = 2;
  var kExtraHeight = 70, kExtraWidth = 20;   // the client adds these to the content size

  function queue(ev) {
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function byId(id) {
    return $(document.getElementById(id));
  }

  function pageSize() {
    return { em: Math.round($(window).width()), ev: Math.round($(window).height()) };
  }

  function reportPageSize() {
    var s = pageSize();
    queue({ name: '', et: kPageResized, em: s.em, ev: s.ev });
  }

  // A window clicked anywhere comes to the front in the client's bookkeeping.
  function watchClicks(el, id) {
    el.on('mousedown.qov', function () {
      queue({ name: id, et: kClicked });
    });
  }

  // An ordinary window: a frame the page positions by its classes, with a
  // title bar that its border class shows where the native window has a
  // caption.
  window.QovFrm = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    el.attr('data-title', o.tl || '');
    el.children('.qovtitle').remove();
    $('<div class="qovtitle"></div>').text(o.tl || '').prependTo(el);
    if (o.rsz) el.addClass('qovrsz');
    watchClicks(el, o.id);
  };

  // A dialog's Left and Top name its client area (the content division), as a
  // native window's do: the frame and the title bar lie above and left of it.
  // Places are in the dialog's containing block, as its own CSS left and top.
  function dialogBox(el) {
    return el.closest('.ui-dialog');
  }

  function clientOffset(el) {
    var inner = byId(el.attr('id') + 'D');
    var b = dialogBox(el)[0].getBoundingClientRect();
    var c = (inner.length ? inner : el)[0].getBoundingClientRect();
    return { dx: c.left - b.left, dy: c.top - b.top };
  }

  function clientPlace(el) {
    var p = dialogBox(el).position() || { left: 0, top: 0 };
    var o = clientOffset(el);
    return { h: Math.round(p.left + o.dx), v: Math.round(p.top + o.dy) };
  }

  // Puts the client area at the place kept for the dialog (a closed dialog
  // keeps it until it opens, where jQuery UI would otherwise centre it).
  function applyPlace(el) {
    var want = el.data('qovPlace');
    if (!want || !el.dialog('isOpen')) return;
    var o = clientOffset(el);
    var box = dialogBox(el);
    if (want.h !== undefined) box.css('left', Math.round(want.h - o.dx) + 'px');
    if (want.v !== undefined) box.css('top', Math.round(want.v - o.dy) + 'px');
  }

  function keepPlace(el, h, v) {
    var want = el.data('qovPlace') || {};
    if (h !== undefined) want.h = h;
    if (v !== undefined) want.v = v;
    el.data('qovPlace', want);
  }

  // A dialog's Width and Height are its client area's: the dialog's own size
  // (frame and title bar included) grows or shrinks by the difference.
  function sizeClient(el, dwid, val) {
    var inner = byId(el.attr('id') + 'D');
    var box = dialogBox(el);
    var wide = dwid === kDlgWidth;
    var now = wide ? (inner.length ? inner : el).outerWidth() : (inner.length ? inner : el).outerHeight();
    var outer = wide ? box.outerWidth() : box.outerHeight();
    el.dialog('option', wide ? 'width' : 'height', Math.round(outer + val - now));
  }

  // A dialog window: a jQuery UI dialog made closed; action 29 opens it.
  window.QovDlg = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    var before = null;
    el.dialog({
      autoOpen: false,
      appendTo: el.parent(),      // the dialog stays in its window's page division
      modal: !!o.mod,
      resizable: !!o.res,
      title: o.tl || '',
      width: o.w,
      height: o.h,
      closeOnEscape: false,
      beforeClose: function () {
        // The server decides whether the window goes: the close box only
        // tells the client, unless the client itself closes it (action 29).
        if (el.data('qovClosing')) return true;
        queue({ name: o.id, et: kCloseBox });
        return false;
      },
      dragStop: function () {
        var at = clientPlace(el);
        keepPlace(el, at.h, at.v);
        queue({ name: o.id, et: kMoved, em: at.h, ev: at.v });
      },
      resizeStart: function () {
        before = { w: Math.round(el.width()), h: Math.round(el.height()) };
      },
      resizeStop: function () {
        var b = before || { w: o.w - kExtraWidth, h: o.h - kExtraHeight };
        queue({ name: o.id, et: kResized, v2: b.w, v1: b.h, em: Math.round(el.width()), ev: Math.round(el.height()) });
      }
    });
    if (o.bgc) el.css('background-color', o.bgc);
    watchClicks(el.closest('.ui-dialog'), o.id);
  };

  // The controls' constructors: their behaviour comes with the controls.
  ['QovEdit', 'QovEditNum', 'QovEditDate', 'QovDlist', 'QovTabC', 'QovSlide', 'QovPBar', 'QovLn', 'QovSq',
   'QovOv', 'QovRd'].forEach(function (name) {
    if (!window[name]) window[name] = function () {};
  });

  function isDialog(el) {
    return el.length && el.hasClass('ui-dialog-content');
  }

  var actions = {
    // Deletes an element (a control, or a window and everything in it).
    [Act.kActDelete]: function (m) {
      if (!m.delid) return;
      var el = byId(m.delid);
      if (isDialog(el)) el.dialog('destroy');
      el.remove();
    },
    [Act.kActDialog]: function (m) {
      var el = byId(m.name);
      if (!isDialog(el) && m.dwid === kDlgTitle) {
        el.attr('data-title', m.str || '');
        el.children('.qovtitle').text(m.str || '');
        return undefined;
      }
      if (!isDialog(el)) return m.dwid === kDlgPosition ? { h: 0, v: 0 } : undefined;
      switch (m.dwid) {
        case kDlgClose:
          el.data('qovClosing', true);
          el.dialog('close');
          el.data('qovClosing', false);
          return undefined;
        case kDlgOpen:
          el.dialog('open');
          applyPlace(el);
          return undefined;
        case kDlgWidth:
        case kDlgHeight:
          if (typeof m.val === 'number' && m.val > 0) sizeClient(el, m.dwid, m.val);
          return undefined;
        case kDlgLeft:
        case kDlgTop:
          if (typeof m.val !== 'number') return undefined;
          keepPlace(el, m.dwid === kDlgLeft ? m.val : undefined, m.dwid === kDlgTop ? m.val : undefined);
          applyPlace(el);
          return undefined;
        case kDlgTitle:
          el.dialog('option', 'title', m.str || '');
          return undefined;
        case kDlgJqOption:
          try {
            el.dialog('option', JSON.parse(m.opt || '{}'));
          } catch (e) { /* a malformed option text changes nothing */ }
          return undefined;
        case kDlgPosition:
          return clientPlace(el);
        default:
          return undefined;
      }
    },
    // A window that fills the page (WinPos 4 and 6), and back.
    [Act.kActFillPage]: function (m) {
      var el = byId(m.name);
      if (m.dwid === kFillOn) el.addClass('qovfill');
      else if (m.dwid === kFillOff) el.removeClass('qovfill');
    }
  };

  // Chained in front of the general actions: the window actions here, the
  // border-box sizes of action 23, everything else to the earlier handler.
  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) return actions[m.action](m);
    if (m && m.action === Act.kActSetCss && (m.pn === 'outerHeight' || m.pn === 'outerWidth')) {
      var el = m.en ? $(m.en) : byId(m.name);
      var v = parseFloat(m.pv);
      if (!isNaN(v)) {
        if (m.pn === 'outerHeight') el.outerHeight(v);
        else el.outerWidth(v);
      }
      return undefined;
    }
    return general ? general(m) : undefined;
  };

  $(function () {
    reportPageSize();
    var pending = null;
    $(window).on('resize', function () {
      if (pending) clearTimeout(pending);
      pending = setTimeout(reportPageSize, 50);
    });
  });
})();
