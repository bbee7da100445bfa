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

  // Bootstrap gives its plug-ins their jQuery names once the document has
  // loaded; its button would shadow jQuery UI's button widget, which makes a
  // dialog's close box with its cross. The page uses no Bootstrap plug-in by
  // jQuery, so jQuery UI's button is given back.
  function keepUiButton() {
    if ($.fn.button && typeof $.fn.button.noConflict === 'function') $.fn.button.noConflict();
  }
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', keepUiButton);
  else keepUiButton();

  // holdKeys: the user's next keys wait until the client has handled it.
  function queue(ev, holdKeys) {
    if (window.QovPostEvent) window.QovPostEvent(ev, holdKeys);
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

  // A press on the window itself: its frame, title bar or background (its
  // content division), not one of its controls, its menu bar or a title bar's
  // buttons.
  function onWindowItself(el, id, target) {
    if (target === el[0] || target.id === id || target.id === id + 'D') return true;
    return $(target).is('.qovtitle, .ui-dialog-titlebar, .ui-dialog-title');
  }

  // A window clicked anywhere comes to the front in the client's bookkeeping.
  // A press on the window itself leaves the focus on the window's own control
  // that has it, as natively (the page would take it away); a press on a
  // window behind takes the focus from the other window's control, and the
  // client gives this window's focused control the focus back.
  function watchClicks(el, id) {
    el.on('mousedown.qov', function (e) {
      var itself = onWindowItself(el, id, e.target);
      if (itself && $.contains(el[0], document.activeElement)) e.preventDefault();
      queue({ name: id, et: kClicked, ev: itself ? Act.kClickOnWindowItself : 0 });
    });
  }

  // A press on the page itself (on none of the client's objects, dialogs,
  // menus or fields: its background) is a press on the native window that shows the
  // page: the client brings that window to the front of its page (kClicked
  // naming no window) and gives its control that had the focus the focus
  // back; the keys typed next wait for that. The focus stays on the page's
  // own control that has it, as a press on a native window's background
  // leaves it; a web window's control loses it, as its window loses the front.
  var kNotThePage = '.ui-dialog, .ui-widget-overlay, .qovpopup, .fmenui, ' +
      'input, button, select, textarea, a[href], [tabindex], [contenteditable]';
  function onAnObject(node) {
    for (var n = node; n && n !== document; n = n.parentNode) if (/^C[0-9]/.test(n.id || '')) return true;
    return false;
  }
  function inAWindow(node) {
    return $(node).closest('.qovfrm, .ui-dialog').length > 0;
  }
  $(document).on('mousedown.qov', function (e) {
    if (onAnObject(e.target) || $(e.target).closest(kNotThePage).length) return;
    if (!inAWindow(document.activeElement)) e.preventDefault();
    queue({ name: '', et: kClicked, ev: Act.kClickOnWindowItself }, true);
  });

  // ---- Ordinary windows on the page -------------------------------------------------------
  // A window placed as given (position classes wp0 and wp1) keeps its client
  // area at its Left and Top on the page, as a native window keeps its client
  // area at its Left and Top on the screen. It stays in its division's flow:
  // its own left and top are the shift from its place there, made again
  // whenever windows before it change their size or show and hide.
  var kCornerGrip = 16;   // how far along a sizing frame a corner's grip reaches

  function framesOf(scope) {
    return $(scope || document).find('.qovfrm').addBack('.qovfrm').not('.md0');
  }

  function placedAsGiven(el) {
    return (el.hasClass('wp0') || el.hasClass('wp1')) && !el.hasClass('qovfill');
  }

  function edges(el) {
    var cs = getComputedStyle(el[0]);
    return { l: parseFloat(cs.borderLeftWidth) || 0, t: parseFloat(cs.borderTopWidth) || 0,
             r: parseFloat(cs.borderRightWidth) || 0, b: parseFloat(cs.borderBottomWidth) || 0,
             pt: parseFloat(cs.paddingTop) || 0, pl: parseFloat(cs.paddingLeft) || 0,
             dx: parseFloat(cs.left) || 0, dy: parseFloat(cs.top) || 0 };
  }

  // Where the window's client area (below its title bar, inside its frame)
  // is on the page now.
  function framePlace(el) {
    var r = el[0].getBoundingClientRect(), e = edges(el);
    return { x: Math.round(r.left + e.l + e.pl), y: Math.round(r.top + e.t + e.pt) };
  }

  function applyFramePlace(el) {
    if (!placedAsGiven(el)) {
      el.css({ left: '', top: '' });
      return;
    }
    var want = el.data('qovAt');
    if (!want || el.css('display') === 'none') return;
    var now = framePlace(el), e = edges(el);
    el.css({ left: Math.round(e.dx + want.x - now.x) + 'px', top: Math.round(e.dy + want.y - now.y) + 'px' });
  }

  function replaceFrames() {
    framesOf().each(function () { applyFramePlace($(this)); });
  }

  function keepFramePlace(el, x, y) {
    var want = el.data('qovAt') || { x: 0, y: 0 };
    if (x !== undefined) want.x = x;
    if (y !== undefined) want.y = y;
    el.data('qovAt', want);
  }

  // A sizing frame: border classes wb5 to wb7 (border styles 6 to 8), as the
  // native windows with a thick frame.
  function sizeable(el) {
    return (el.hasClass('wb5') || el.hasClass('wb6') || el.hasClass('wb7')) && placedAsGiven(el);
  }

  // The frame edges under a point of the window (its grips at the corners
  // reach along the edges), or null inside the frame.
  function frameGrip(el, e) {
    var r = el[0].getBoundingClientRect(), b = edges(el);
    var x = e.clientX - r.left, y = e.clientY - r.top;
    var g = { l: x < b.l, r: x >= r.width - b.r, t: y < b.t, b: y >= r.height - b.b };
    if (!g.l && !g.r && !g.t && !g.b) return null;
    if (g.l || g.r) { g.t = g.t || y < kCornerGrip; g.b = g.b || y >= r.height - kCornerGrip; }
    if (g.t || g.b) { g.l = g.l || x < kCornerGrip; g.r = g.r || x >= r.width - kCornerGrip; }
    return g;
  }

  // The one drag the user is making: a move by the title bar or a size by the
  // frame; every step that changes the window tells the client, as the native
  // window's move and size loop does.
  var drag = null;

  function startDrag(el, id, e, grip) {
    var at = framePlace(el);
    drag = { el: el, id: id, grip: grip, mx: e.clientX, my: e.clientY, x: at.x, y: at.y,
             w: Math.round(el.width()), h: Math.round(el.height()) };
    drag.lastX = drag.x; drag.lastY = drag.y; drag.lastW = drag.w; drag.lastH = drag.h;
    e.preventDefault();   // no text selection starts with it
  }

  function dragStep(e) {
    var d = drag, dx = e.clientX - d.mx, dy = e.clientY - d.my;
    var x = d.x, y = d.y, w = d.w, h = d.h;
    if (!d.grip) {
      x += dx;
      y += dy;
    } else {
      if (d.grip.r) w = Math.max(0, d.w + dx);
      if (d.grip.b) h = Math.max(0, d.h + dy);
      if (d.grip.l) { w = Math.max(0, d.w - dx); x = d.x + d.w - w; }
      if (d.grip.t) { h = Math.max(0, d.h - dy); y = d.y + d.h - h; }
    }
    if (w !== d.lastW || h !== d.lastH) {
      d.el.css({ width: w + 'px', height: h + 'px' });
      queue({ name: d.id, et: kResized, v2: d.lastW, v1: d.lastH, em: w, ev: h });
      d.lastW = w;
      d.lastH = h;
    }
    if (x !== d.lastX || y !== d.lastY) {
      keepFramePlace(d.el, x, y);
      queue({ name: d.id, et: kMoved, em: x, ev: y });
      d.lastX = x;
      d.lastY = y;
    }
    replaceFrames();
  }

  $(document).on('mousemove.qovfrm', function (e) {
    if (!drag) return;
    if (!(e.buttons & 1)) { drag = null; return; }
    dragStep(e);
    e.preventDefault();
  });
  $(document).on('mouseup.qovfrm', function (e) {
    if (!drag || e.button !== 0) return;
    dragStep(e);
    drag = null;
  });

  function watchDrags(el, id) {
    el.on('mousedown.qovfrm', function (e) {
      if (e.button !== 0 || drag) return;
      if ($(e.target).is('.qovtitle') && e.target.parentNode === el[0]) {
        if (placedAsGiven(el)) startDrag(el, id, e, null);
        else e.preventDefault();
        return;
      }
      if (e.target !== el[0] || !sizeable(el)) return;
      var grip = frameGrip(el, e);
      if (grip) startDrag(el, id, e, grip);
    });
  }

  // An ordinary window: a frame the page positions by its classes, with a
  // title bar that its border class shows where the native window has a
  // caption; x and y are its client area's place on the page.
  window.QovFrm = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    el.attr('data-title', o.tl || '');
    el.children('.qovtitle').remove();
    $('<div class="qovtitle"></div>').text(o.tl || '').prependTo(el);
    if (o.rsz) el.addClass('qovrsz');
    watchClicks(el, o.id);
    watchDrags(el, o.id);
    if (typeof o.x === 'number' && typeof o.y === 'number') keepFramePlace(el, o.x, o.y);
    replaceFrames();
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

  // The client area's size kept for a closed dialog (its Width and Height:
  // the size it is made with, or one given while it is closed), taken when it
  // opens; a closed dialog has no size to measure.
  function keepSize(el, w, h) {
    var want = el.data('qovSize') || {};
    if (w !== undefined) want.w = w;
    if (h !== undefined) want.h = h;
    el.data('qovSize', want);
  }

  function applySize(el) {
    var want = el.data('qovSize');
    if (!want) return;
    el.removeData('qovSize');
    if (want.w > 0) sizeClient(el, kDlgWidth, want.w);
    if (want.h > 0) sizeClient(el, kDlgHeight, want.h);
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
      // Each step of a move or a size that changes the dialog tells the
      // client, as the native window's move and size loop does.
      drag: function () {
        var at = clientPlace(el), kept = el.data('qovPlace') || {};
        if (at.h === kept.h && at.v === kept.v) return;
        keepPlace(el, at.h, at.v);
        queue({ name: o.id, et: kMoved, em: at.h, ev: at.v });
      },
      dragStop: function () {
        var at = clientPlace(el), kept = el.data('qovPlace') || {};
        if (at.h === kept.h && at.v === kept.v) return;
        keepPlace(el, at.h, at.v);
        queue({ name: o.id, et: kMoved, em: at.h, ev: at.v });
      },
      resizeStart: function () {
        before = { w: Math.round(el.width()), h: Math.round(el.height()) };
      },
      resize: function () {
        var b = before || { w: o.w - kExtraWidth, h: o.h - kExtraHeight };
        var now = { w: Math.round(el.width()), h: Math.round(el.height()) };
        if (now.w === b.w && now.h === b.h) return;
        queue({ name: o.id, et: kResized, v2: b.w, v1: b.h, em: now.w, ev: now.h });
        before = now;
      }
    });
    if (o.bgc) el.css('background-color', o.bgc);
    // Its client area is the window's Width and Height, as natively: the
    // width and height given less what the client adds for frame and title.
    keepSize(el, o.w - kExtraWidth, o.h - kExtraHeight);
    // And its client area opens at its Left and Top.
    if (typeof o.x === 'number' && typeof o.y === 'number') keepPlace(el, o.x, o.y);
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
          // The client gives the focus to the window that comes to the front;
          // jQuery UI would give it back to the element that had it when the
          // dialog opened, wherever that is now.
          if (el.dialog('instance')) el.dialog('instance').opener = $();
          el.data('qovClosing', true);
          el.dialog('close');
          el.data('qovClosing', false);
          return undefined;
        case kDlgOpen:
          el.dialog('open');
          applySize(el);
          applyPlace(el);
          return undefined;
        case kDlgWidth:
        case kDlgHeight:
          if (typeof m.val !== 'number' || m.val <= 0) return undefined;
          if (el.dialog('isOpen')) sizeClient(el, m.dwid, m.val);
          else keepSize(el, m.dwid === kDlgWidth ? m.val : undefined, m.dwid === kDlgHeight ? m.val : undefined);
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
  function runAction(m) {
    if (m && actions[m.action]) return actions[m.action](m);
    if (m && m.action === Act.kActSetCss && (m.pn === 'left' || m.pn === 'top')) {
      // An ordinary window's Left and Top: its client area's place on the page.
      var frame = framesOf(m.en ? $(m.en) : byId(m.name));
      var at = parseFloat(m.pv);
      if (frame.length && !isNaN(at)) {
        frame.each(function () {
          keepFramePlace($(this), m.pn === 'left' ? at : undefined, m.pn === 'top' ? at : undefined);
        });
        return undefined;
      }
    }
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
  }
  // Whatever an action changed (a window shown, hidden, sized, a class), the
  // windows placed as given are put back at their places.
  // Once after the batch of actions being run, not after each: every placing
  // lays the page out.
  // A query only reads the page: it moves no window, and placing them would
  // lay the page out inside every read. Nor does new markup that holds no
  // window: it goes at the end of its holder, where the windows before it
  // keep their places (a new window places them itself, QovFrm). Placing
  // them after every control made would lay out the whole page each time,
  // a cost that grows with every control already there.
  var replacing = false;
  var readOnly = {};
  readOnly[Act.kActQueryProp] = true;
  readOnly[Act.kActQueryCss] = true;
  var kFrameClass = /\bqovfrm\b/;
  function movesNoWindow(m) {
    if (!m) return false;
    if (readOnly[m.action]) return true;
    return m.action === Act.kActInsert && !kFrameClass.test(String(m.html || ''));
  }
  window.QovRunAction = function (m) {
    var answer = runAction(m);
    if (!replacing && !movesNoWindow(m)) {
      replacing = true;
      Promise.resolve().then(function () {
        replacing = false;
        if (!drag) replaceFrames();
      });
    }
    return answer;
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
