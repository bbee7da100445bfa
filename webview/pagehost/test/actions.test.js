// actions.test.js - the page action codes have one definition
// (webview/core/pageactions.h) that both sides speak from: every code a page
// script names is in it, no page script compares or keys an action by a bare
// number, no client source defines an action code of its own or begins a
// message with a bare number, and the generated qovactions.js gives the
// header's codes.
'use strict';
const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const vm = require('vm');
const { readPageActions, pageActionsScript } = require('../../genpageactions');

const kRepo = path.resolve(__dirname, '../../..');
const kPageDir = path.join(kRepo, 'webview', 'qovwv_html');
const kHeader = path.join('webview', 'core', 'pageactions.h');
// The client's own source folders (tests keep literal codes on purpose: they
// check the wire as it is).
const kSourceDirs = ['app', 'com', 'controls', 'forms', 'graphics', 'objects', 'print', 'session', 'webview'];

function filesUnder(dir, pattern, out = []) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
    if (e.name === 'node_modules') continue;
    const p = path.join(dir, e.name);
    if (e.isDirectory()) filesUnder(p, pattern, out);
    else if (pattern.test(e.name)) out.push(p);
  }
  return out;
}

// Each finding as "file:line: text".
function findings(files, patterns) {
  const out = [];
  for (const f of files) {
    fs.readFileSync(f, 'utf8').split('\n').forEach((line, i) => {
      const code = line.replace(/\/\/.*$/, '');
      if (patterns.some((p) => p.test(code))) out.push(`${path.relative(kRepo, f)}:${i + 1}: ${line.trim()}`);
    });
  }
  return out;
}

test('page scripts name only defined action codes and no bare ones', () => {
  const defined = new Set(readPageActions().map((a) => a.name));
  const scripts = filesUnder(kPageDir, /\.js$/);
  assert.ok(scripts.length >= 12, 'page scripts found');
  const unknown = [];
  for (const f of scripts) {
    for (const m of fs.readFileSync(f, 'utf8').matchAll(/\b(?:Act|QovActions)\.(\w+)/g)) {
      if (!defined.has(m[1])) unknown.push(`${path.basename(f)}: ${m[0]}`);
    }
  }
  assert.deepEqual(unknown, [], 'names not in pageactions.h');
  const bare = findings(scripts, [/\.action\s*[!=]==?\s*\d/, /\baction\s*:\s*\d/]);
  // The keys of the action tables ("actions = {", qovvisctls.js's actionTable).
  for (const f of scripts) {
    const text = fs.readFileSync(f, 'utf8');
    for (const t of text.matchAll(/(?:\bactions\s*=|function actionTable\(\w*\)\s*\{\s*return)\s*\{([\s\S]*?)\n?\s*\};/g)) {
      for (const k of t[1].matchAll(/(?:^|[{,])\s*(\d+)\s*:/g)) bare.push(`${path.basename(f)}: action table key ${k[1]}`);
    }
  }
  assert.deepEqual(bare, [], 'bare action codes in page scripts');
});

test('client sources define no action code outside pageactions.h', () => {
  const sources = kSourceDirs.flatMap((d) => filesUnder(path.join(kRepo, d), /\.(cpp|h)$/))
    .filter((f) => path.relative(kRepo, f) !== kHeader);
  const stray = findings(sources, [/\bkAct[A-Z]\w*\s*=\s*\d/, /\b(JsonBeginAction|BeginElemCommand)\(\s*\d/,
    /\\"action\\":\s*\d/]);
  assert.deepEqual(stray, [], 'action codes defined or sent as numbers outside pageactions.h');
});

test('the generated qovactions.js gives the header\'s codes', () => {
  const actions = readPageActions();
  const sandbox = { window: {} };
  vm.runInNewContext(pageActionsScript(actions), sandbox);
  const expected = Object.fromEntries(actions.map((a) => [a.name, a.code]));
  assert.deepEqual({ ...sandbox.window.QovActions }, expected);
  assert.ok(Object.isFrozen(sandbox.window.QovActions));
  for (const page of ['qovwvstart.html', 'qovwvmstart.html']) {
    const html = fs.readFileSync(path.join(kPageDir, page), 'utf8');
    const first = html.indexOf('<script src="qov');
    assert.equal(html.indexOf('<script src="qovactions.js">'), first, `${page} loads the codes before its scripts`);
  }
});
