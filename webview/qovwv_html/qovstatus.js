// qovstatus.js - the page side of the status bar's neighbours after a form
// loaded: action 31 "dwid" 9 disables a number field (its spinner with it) and
// "dwid" 8 enables it again. The status bar itself needs no script: the
// client writes its panels as the element's contents (action 46) and
// qovstatus.css lays them out.
(function () {
  'use strict';
  var Act = window.QovActions;   // the action codes (qovactions.js, generated)
  var kEnable = 8, kDisable = 9;

  function numberField(name) {
    var el = $('#' + name);
    return el.length && el.data('qovNum') ? el : null;
  }

  var general = window.QovRunAction;
  window.QovRunAction = function (m) {
    if (m && m.action === Act.kActNumber && (m.dwid === kEnable || m.dwid === kDisable)) {
      var el = numberField(m.name);
      if (el) {
        var off = m.dwid === kDisable;
        if (el.data('uiSpinner')) el.spinner(off ? 'disable' : 'enable');
        el.prop('disabled', off);
        return undefined;
      }
    }
    return general ? general(m) : undefined;
  };
})();
