// qovtools.js - the page side of the toolbars (action 54 and event 99973).
//
// The client keeps a bar's buttons and sends them whole ("dwid" 1): the
// markup goes into the bar's element "C%d" (class qovtb), its image cells are
// cut from the strip "isrc" ("iw" x "ih" each, placed by background-position),
// and the whole drop-downs get their image cells from "seli" in order. "dwid"
// 2 empties the bar, 4 disables its buttons, 5 ends the pressed look of a
// transparent bar after a click.
//
// A click on a button "C%dI%d" is reported as event 99973 with the button's
// name, "em" the chosen item of a drop-down (1-based, 0 for a plain click)
// and "ev" 1 for a double click.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)

  var kToolButton = 99973;
  var TD = { markup: 1, removed: 2, disabled: 4, transparentClick: 5 };

  function queue(ev) {
    if (window.QovPostEvent) window.QovPostEvent(ev);
  }

  function byId(id) {
    return $(document.getElementById(String(id)));
  }

  function isButtonId(id) {
    return /^C[0-9]+I[0-9]+$/.test(String(id || ''));
  }

  function report(id, item, dbl) {
    if (isButtonId(id)) queue({ name: id, et: kToolButton, em: item, ev: dbl ? 1 : 0 });
  }

  // The checked and disabled looks of a check or radio button are its label's.
  function showChecked(bar) {
    bar.find('input.qovtbcr, input.qovtbcrd').each(function () {
      $(bar).find('label[for="' + this.id + '"]').toggleClass('ui-state-active', this.checked)
        .toggleClass('qovtbs5d', this.disabled);
    });
  }

  function applyStrip(bar, m) {
    var cells = bar.find('.qovtbi');
    if (m.isrc) {
      cells.css({ 'background-image': 'url("' + String(m.isrc).replace(/["\\]/g, '\\$&') + '")',
                  width: Number(m.iw) || 16, height: Number(m.ih) || 16 });
    } else {
      cells.remove();
    }
  }

  function placeDropDownImages(bar, m) {
    var images = Array.isArray(m.seli) ? m.seli : [];
    bar.find('select.qovtbs2, select.qovtbs2d').each(function (i) {
      var cell = images[i] ? $(images[i]) : $();
      if (!cell.length) return;
      // Over the list's left end: both in a holder of their own.
      cell.addClass('qovtbsi');
      $(this).wrap('<span class="qovtbsw"></span>').after(cell);
    });
  }

  function markup(bar, m) {
    bar.html(m.html || '');
    bar.toggleClass('qovbkt', !!m.bkt);
    placeDropDownImages(bar, m);
    applyStrip(bar, m);
    bar.find('input.qovtbcrc').prop('checked', true);
    bar.find('input.qovtbcrd, button.qovtbs3d, select.qovtbs1d, select.qovtbs2d').prop('disabled', true);
    // A drop-down shows no choice: each choice is a command.
    bar.find('select.qovtbse').each(function () { this.selectedIndex = -1; });
    showChecked(bar);
  }

  function toolBarAction(m) {
    var bar = byId(m.name);
    switch (m.dwid) {
      case TD.markup:
        markup(bar, m);
        break;
      case TD.removed:
        bar.empty();
        break;
      case TD.disabled:
        bar.find('button, select, input').prop('disabled', true);
        showChecked(bar);
        break;
      case TD.transparentClick:
        bar.find('.ui-state-active').not('label').removeClass('ui-state-active');
        if (bar.has(document.activeElement).length) document.activeElement.blur();
        break;
      default:
        break;
    }
    return undefined;
  }

  $(document).on('click.qovtools', '.qovtb button.qovtbbe', function () {
    report(this.id, 0, false);
  });
  $(document).on('dblclick.qovtools', '.qovtb button.qovtbbe', function () {
    report(this.id, 0, true);
  });
  $(document).on('change.qovtools', '.qovtb select.qovtbse', function () {
    var item = Number(this.value) || 0;
    this.selectedIndex = -1;
    if (item > 0) report(this.id, item, false);
  });
  $(document).on('change.qovtools', '.qovtb input.qovtbcr', function () {
    showChecked($(this).closest('.qovtb'));
    report(this.id, 0, false);
  });

  // Action 54 on anything but a toolbar element is left to the other scripts.
  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && m.action === Act.kActToolBar && byId(m.name).hasClass('qovtb')) return toolBarAction(m);
    return general ? general(m) : undefined;
  };
})();
