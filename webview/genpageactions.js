// genpageactions.js - writes the page scripts' action codes and shared event
// values (qovactions.js, window.QovActions) from their one definition,
// webview/core/pageactions.h.
// Run by the build for the folders beside the program and the tests, and by
// the page tests' folder assembly (pagefiles.js).
// Usage: node genpageactions.js pageactions.h qovactions.js
'use strict';
const fs = require('fs');
const path = require('path');

const kHeader = path.join(__dirname, 'core', 'pageactions.h');
// The header's two enumerations: the action codes (kAct names) and the
// values of page events that both sides name (any other k name).
const kEnums = [
  { name: 'PageAction', line: /^\s*(kAct[A-Za-z0-9]+)\s*=\s*(\d+)\s*,\s*(?:\/\/\s*(.*))?$/ },
  { name: 'PageValue', line: /^\s*(k(?!Act)[A-Z][A-Za-z0-9]*)\s*=\s*(\d+)\s*,\s*(?:\/\/\s*(.*))?$/ },
];

// The names of the header in their order, the action codes first:
// [{ name, code, note }]. A line of an enumeration that is not in its one
// form, a name given twice, or a number given twice in one enumeration fails,
// so nothing in the header is left out of the pages unnoticed.
function parsePageActions(text) {
  const out = [];
  const names = new Set();
  for (const e of kEnums) {
    const body = new RegExp(`enum ${e.name} : int \\{([\\s\\S]*?)\\};`).exec(text);
    if (!body) throw new Error(`pageactions.h: no "enum ${e.name} : int { ... };"`);
    const codes = new Set();
    for (const raw of body[1].split('\n')) {
      if (!raw.trim()) continue;
      const m = e.line.exec(raw);
      if (!m) throw new Error(`pageactions.h: not a ${e.name} line: ` + raw.trim());
      const code = Number(m[2]);
      if (names.has(m[1]) || codes.has(code)) throw new Error('pageactions.h: given twice: ' + raw.trim());
      names.add(m[1]);
      codes.add(code);
      out.push({ name: m[1], code, note: m[3] || '' });
    }
  }
  return out;
}

function readPageActions(headerPath = kHeader) {
  return parsePageActions(fs.readFileSync(headerPath, 'utf8'));
}

function pageActionsScript(actions) {
  const width = Math.max(...actions.map((a) => a.name.length));
  const lines = actions.map((a, i) => {
    const entry = `${a.name}: ${a.code}${i + 1 < actions.length ? ',' : ''}`;
    return '    ' + (a.note ? entry.padEnd(width + 7) + '// ' + a.note : entry);
  });
  return '// qovactions.js - the page action codes and shared event values, written\n' +
    '// by the build from webview/core/pageactions.h (webview/genpageactions.js):\n' +
    '// not to be edited.\n' +
    '(function () {\n' +
    "  'use strict';\n" +
    '  window.QovActions = Object.freeze({\n' +
    lines.join('\n') + '\n' +
    '  });\n' +
    '})();\n';
}

function writePageActions(headerPath, outPath) {
  const text = pageActionsScript(readPageActions(headerPath));
  fs.mkdirSync(path.dirname(outPath), { recursive: true });
  fs.writeFileSync(outPath, text);
}

module.exports = { parsePageActions, readPageActions, pageActionsScript, writePageActions, kHeader };

if (require.main === module) {
  if (process.argv.length !== 4) {
    console.error('usage: node genpageactions.js pageactions.h qovactions.js');
    process.exit(2);
  }
  try {
    writePageActions(process.argv[2], process.argv[3]);
  } catch (e) {
    console.error(String(e.message || e));
    process.exit(1);
  }
}
