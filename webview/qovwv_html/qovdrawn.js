// qovdrawn.js - the page side of the drawn controls: lines and shapes on a
// canvas (QovLn, QovSq, QovOv, QovRd; action 22 redraws them, and so does a
// change of the canvas's width or height), the progress bar (QovPBar, action
// 25), the slider (QovSlide, action 11), the splitter's cursor and drag
// (action 55, the move reported as 99992 with "em" dx and "ev" dy), the size
// of a picture's image (action 47) and a panel's HTML or framed page (35).
//
// A line's canvas is the box of its end points widened by the line width on
// every side, so that a thick or a level line shows whole: the constructor
// widens the canvas the markup made; action 22 gives the points in the
// widened box already.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kChange = 3, kMoved = 99992;
  var kThumbPosition = 16;   // $CHANGE modifiers of a drag, as the native slider reports it
  var kDrawLine = 1, kDrawRect = 2, kDrawOval = 3, kDrawRound = 4;
  var kEventKind = 32;

  function byId(id) {
    return $(document.getElementById(String(id)));
  }

  function queue(ev) {
    if (ev.id !== undefined && ev.ec === undefined) ev.ec = kEventKind;
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function num(v, d) {
    var n = Number(v);
    return isFinite(n) ? n : d;
  }

  // ---- Canvases -------------------------------------------------------------------------

  function paint(canvas) {
    var s = $(canvas).data('qovDraw');
    if (!s || !canvas.getContext) return;
    var g = canvas.getContext('2d');
    g.clearRect(0, 0, canvas.width, canvas.height);
    var lw = Math.max(1, num(s.lw, 1));
    g.lineWidth = lw;
    g.strokeStyle = s.ss || '#000000';
    g.fillStyle = s.fs || 'transparent';
    if (s.st === kDrawLine) {
      g.beginPath();
      g.moveTo(s.x1, s.y1);
      g.lineTo(s.x2, s.y2);
      g.stroke();
      return;
    }
    var half = lw / 2;
    var w = Math.max(0, canvas.width - lw), h = Math.max(0, canvas.height - lw);
    g.beginPath();
    if (s.st === kDrawOval) {
      g.ellipse(half + w / 2, half + h / 2, w / 2, h / 2, 0, 0, 2 * Math.PI);
    } else if (s.st === kDrawRound && g.roundRect) {
      g.roundRect(half, half, w, h, Math.min(w, h) / 6);
    } else {
      g.rect(half, half, w, h);
    }
    if (s.fs) g.fill();
    g.stroke();
  }

  function drawLine(o) {
    var canvas = document.getElementById(String(o.id));
    if (!canvas) return;
    var lw = Math.max(1, num(o.lw, 1));
    var x1 = num(o.x1, 0), x2 = num(o.x2, 0), y1 = num(o.y1, 0), y2 = num(o.y2, 0);
    var el = $(canvas);
    el.css({ left: (parseFloat(el.css('left')) || 0) - lw, top: (parseFloat(el.css('top')) || 0) - lw });
    canvas.width = Math.abs(x2 - x1) + 2 * lw;
    canvas.height = Math.abs(y2 - y1) + 2 * lw;
    el.css({ width: canvas.width + 'px', height: canvas.height + 'px' });
    el.data('qovDraw', { st: kDrawLine, x1: x1 + lw, y1: y1 + lw, x2: x2 + lw, y2: y2 + lw, lw: lw, ss: o.ss });
    paint(canvas);
  }

  function shape(st) {
    return function (o) {
      var canvas = document.getElementById(String(o.id));
      if (!canvas) return;
      $(canvas).data('qovDraw', { st: st, lw: num(o.lw, 1), ss: o.ss, fs: o.fs });
      paint(canvas);
    };
  }

  window.QovLn = drawLine;
  window.QovSq = shape(kDrawRect);
  window.QovOv = shape(kDrawOval);
  window.QovRd = shape(kDrawRound);

  function redraw(m) {
    var canvas = document.getElementById(String(m.name));
    if (!canvas || !canvas.getContext) return;
    var st = num(m.st, kDrawRect);
    var lw = Math.max(1, num(m.lw, 1));
    var s = { st: st, lw: lw, ss: m.ss, fs: m.fs };
    if (st === kDrawLine) {
      s.x1 = num(m.x1, 0);
      s.x2 = num(m.x2, 0);
      s.y1 = num(m.y1, 0);
      s.y2 = num(m.y2, 0);
      canvas.width = Math.max(s.x1, s.x2) + lw;
      canvas.height = Math.max(s.y1, s.y2) + lw;
    } else {
      canvas.width = Math.max(1, num(m.cw, canvas.width));
      canvas.height = Math.max(1, num(m.ch, canvas.height));
    }
    $(canvas).css({ width: canvas.width + 'px', height: canvas.height + 'px' });
    $(canvas).data('qovDraw', s);
    paint(canvas);
  }

  // A canvas given a new CSS size draws again at that size.
  function resized(m) {
    var el = m.en ? $(m.en) : byId(m.name);
    el.each(function () {
      if (this.tagName !== 'CANVAS' || !$(this).data('qovDraw')) return;
      this.width = Math.max(1, Math.round($(this).outerWidth()));
      this.height = Math.max(1, Math.round($(this).outerHeight()));
      paint(this);
    });
  }

  // ---- Progress bar ---------------------------------------------------------------------

  function progressLabel(el) {
    var s = el.data('qovBar') || { cv: 0, dp: 1 };
    el.find('.progress-label').text(s.dp ? s.cv + '%' : '');
  }

  window.QovPBar = function (o) {
    var el = byId(o.id);
    if (!el.length) return;
    var cv = Math.max(0, Math.min(100, num(o.cv, 0)));
    el.data('qovBar', { cv: cv, dp: o.dp ? 1 : 0 });
    if (el.progressbar) el.progressbar({ value: cv });
    progressLabel(el);
  };

  function progressAction(m) {
    var el = byId(m.name);
    if (!el.length) return undefined;
    var s = el.data('qovBar') || { cv: 0, dp: 1 };
    if (m.dwid === 1) {
      s.cv = Math.max(0, Math.min(100, num(m.pos, 0)));
      if (el.is('progress')) el.attr('value', s.cv);
      else if (el.hasClass('ui-progressbar')) el.progressbar('value', s.cv);
    } else if (m.dwid === 2) {
      s.dp = m.dp ? 1 : 0;
    } else if (m.dwid === 20 && el.hasClass('ui-progressbar')) {
      el.progressbar('option', String(m.pn), m.pv);
    }
    el.data('qovBar', s);
    progressLabel(el);
    return undefined;
  }

  // ---- Slider ---------------------------------------------------------------------------

  window.QovSlide = function (o) {
    var el = byId(o.id);
    if (!el.length || !el.slider) return;
    // The markup's place of the inner element gives way to the style sheet's.
    el.attr('style', '');
    el.slider({
      min: num(o.min, 0),
      max: num(o.max, 100),
      step: Math.max(1, num(o.step, 1)),
      orientation: o.vert ? 'vertical' : 'horizontal',
      range: false
    });
  };

  function sliderAction(m) {
    var el = byId(m.name);
    if (!el.length || !el.hasClass('ui-slider')) return m.dwid === 4 ? { val: 0 } : undefined;
    switch (m.dwid) {
      case 1: el.slider('value', num(m.pos, 0)); return undefined;
      case 2: el.slider('option', 'min', num(m.pos, 0)); return undefined;
      case 3: el.slider('option', 'max', num(m.pos, 100)); return undefined;
      case 4: return { val: el.slider('value') };
      case 7: {
        // $CHANGE with the position once the user let the handle go.
        var id = Number(String(m.name).replace(/^C/, ''));
        el.off('slidechange.qov').on('slidechange.qov', function (e, ui) {
          if (!e.originalEvent) return;
          queue({ id: id, et: kChange, ev: ui.value, em: kThumbPosition });
        });
        return undefined;
      }
      case 8: el.slider('option', 'step', Math.max(1, num(m.pos, 1))); return undefined;
      default: return undefined;
    }
  }

  // ---- Splitter -------------------------------------------------------------------------

  function splitterAction(m) {
    var el = byId(m.name);
    if (!el.length) return undefined;
    el.css('cursor', String(m.crn || 'default'));
    el.data('qovSplit', { vm: !!m.vm, hm: !!m.hm });
    if (el.data('qovSplitBound')) return undefined;
    el.data('qovSplitBound', true);
    el.on('mousedown.qovsplit', function (e) {
      var s = el.data('qovSplit');
      if (!s || (!s.vm && !s.hm) || e.button !== 0) return;
      e.preventDefault();
      var x0 = e.pageX, y0 = e.pageY;
      $(document).on('mouseup.qovsplit', function (u) {
        $(document).off('.qovsplit');
        var dx = s.hm ? Math.round(u.pageX - x0) : 0, dy = s.vm ? Math.round(u.pageY - y0) : 0;
        if (dx || dy) queue({ name: String(m.name), et: kMoved, em: dx, ev: dy });
      });
    });
    return undefined;
  }

  // ---- Pictures and panels --------------------------------------------------------------

  function imageAction(m) {
    var img = document.getElementById(String(m.name));
    if (m.dwid === 1) {
      // "c" 1 once the image loaded or failed (a missing file too).
      if (!img || img.tagName !== 'IMG') return { h: 0, v: 0, c: 1 };
      return { h: img.naturalWidth || 0, v: img.naturalHeight || 0, c: img.complete ? 1 : 0 };
    }
    if (m.dwid === 2 && img) {
      img.width = Math.max(0, num(m.h, 0));
      img.height = Math.max(0, num(m.v, 0));
    }
    return undefined;
  }

  function panelAction(m) {
    var el = byId(m.name);
    if (!el.length) return undefined;
    if (m.dwid === 2) el.append(String(m.html || ''));
    else el.html(String(m.html || ''));
    return undefined;
  }

  var actions = {
    [Act.kActSlider]: sliderAction,
    [Act.kActDraw]: redraw,
    [Act.kActProgress]: progressAction,
    [Act.kActHtmlContent]: panelAction,
    [Act.kActImage]: imageAction,
    [Act.kActSplitter]: splitterAction
  };

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && actions[m.action]) return actions[m.action](m);
    var r = general ? general(m) : undefined;
    if (m && (m.action === Act.kActSetCss || m.action === Act.kActSetProp) &&
        (m.pn === 'width' || m.pn === 'height' || m.pn === 'outerWidth' || m.pn === 'outerHeight')) resized(m);
    return r;
  };
})();
