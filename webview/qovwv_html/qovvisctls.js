// qovvisctls.js - the page side of the client's action messages: each action
// code carried out on the page's elements, and the answers of the queries.
// Selectors in "en" are jQuery selectors (the client may use ":eq()").
(function () {
  'use strict';

  function target(m) {
    if (m.en !== undefined && m.en !== null && m.en !== '') return $(m.en);
    if (m.name) return $('#' + m.name);
    return $();
  }

  function text(v) {
    if (v === undefined || v === null) return '';
    return String(v);
  }

  // The element's current value for a property: form fields answer their live
  // value, everything else the DOM property.
  function readProp(el, name) {
    if (!el.length) return '';
    if (name === 'value') return text(el.val());
    var v = el.prop(name);
    if (v === undefined) v = el.attr(name);
    return text(v);
  }

  // The holder of new markup: the element named by "form". A window's page
  // division (its DivisionId) is made when first named; without a form, or
  // for an element name ("C" and a number) that is not there, the page.
  function holder(m) {
    if (!m.form) return $('#qovforms');
    var h = $(document.getElementById(String(m.form)));
    if (h.length) return h;
    if (/^C[0-9]/.test(String(m.form))) return $('#qovforms');
    return $('<div class="qovdiv"></div>').attr('id', String(m.form)).appendTo('#qovforms');
  }

  function runScript(js) {
    if (!js) return undefined;
    return (0, eval)(js);
  }

  // The table is made at the first message: a form saved as a web page loads
  // this script without the action codes (qovactions.js) and never gets one.
  function actionTable(Act) {
    return {
      [Act.kActQueryProp]: function (m) {
        return { data: readProp(target(m), m.pn) };
      },
      [Act.kActInsert]: function (m) {
        if (m.name) $('#' + m.name).remove();
        holder(m).append(m.html || '');
        runScript(m.js);
      },
      [Act.kActSetCss]: function (m) {
        target(m).css(m.pn, m.pv);
      },
      [Act.kActSetProp]: function (m) {
        var el = target(m);
        if (m.pn === 'value') el.val(m.pv);
        else el.prop(m.pn, m.pv);
      },
      [Act.kActSetHtml]: function (m) {
        target(m).html(text(m.pv));
      },
      [Act.kActQueryCss]: function (m) {
        var el = target(m);
        return { data: el.length ? text(el.css(m.pn)) : '' };
      },
      [Act.kActRunScript]: function (m) {
        try {
          return { res: text(runScript(m.js)) };
        } catch (e) {
          return { err: text(e && e.message ? e.message : e) };
        }
      },
      [Act.kActClass]: function (m) {
        var el = target(m);
        if (m.remc) el.removeClass(m.remc);
        if (m.addc) el.addClass(m.addc);
      },
      [Act.kActSetFlag]: function (m) {
        target(m).prop(m.pn, !!m.pv);
      },
      // The controls send markup through the text command, so it sets HTML.
      [Act.kActText]: function (m) {
        target(m).html(text(m.pv));
      }
    };
  }
  var actions;

  // Carries out one message; answers the reply object of a query, else
  // undefined. Unknown codes are ignored.
  window.QovRunAction = function (m) {
    if (!m || typeof m !== 'object') return undefined;
    actions = actions || actionTable(window.QovActions);
    var fn = actions[m.action];
    return fn ? fn(m) : undefined;
  };
})();
