// formpage.test.js - a form saved as a web page (written by the host build's
// sample program) opened in Chromium on its own: the libraries it names are
// Debian's jQuery and jQuery UI under the names the page uses, the elements
// come in table order (C1 the window), the Panel holds its buttons, the
// accented texts of the client's one-byte set read right, nothing fails.
'use strict';
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launchBrowser } = require('../browser');

const kSamples = process.env.QOV_MARKUP_SAMPLES ||
  path.resolve(__dirname, '../../../build/host/tests/webview/webview_markup_samples');
const kPageFiles = path.resolve(__dirname, '../../qovwv_html');
// The names the page asks for, and what stands behind them here.
const kLibraries = [
  ['js/jquery-2.1.1.min.js', '/usr/share/javascript/jquery/jquery.min.js'],
  ['js/jquery-ui.min.js', '/usr/share/javascript/jquery-ui/jquery-ui.min.js'],
  ['css/jquery-ui.min.css', '/usr/share/javascript/jquery-ui/themes/base/jquery-ui.min.css'],
  ['qovwebbasic.css', path.join(kPageFiles, 'qovwebbasic.css')],
  ['qovvisctls.js', path.join(kPageFiles, 'qovvisctls.js')],
];
// The site's own files, which this client does not ship.
const kSiteFiles = { 'js/globalize.js': '', 'designer.css': '' };

test('a saved web form page opens in Chromium', { skip: !fs.existsSync(kSamples) &&
  'build the host tree first (webview_markup_samples)' }, async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qovwv-formpage-'));
  const browser = await launchBrowser();
  try {
    fs.mkdirSync(path.join(dir, 'js'));
    fs.mkdirSync(path.join(dir, 'css'));
    for (const [name, source] of kLibraries) fs.copyFileSync(source, path.join(dir, name));
    for (const [name, text] of Object.entries(kSiteFiles)) fs.writeFileSync(path.join(dir, name), text);
    const file = path.join(dir, 'form.htm');
    fs.writeFileSync(file, execFileSync(kSamples, ['formpage']));
    const page = await browser.context.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(String(e && e.message ? e.message : e)));
    page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    await page.goto('file://' + file);
    const dom = await page.evaluate(() => ({
      ids: $('[id^=C]').map((i, e) => e.id).get().filter((id) => /^C[0-9]+$/.test(id)),
      inPanel: $('#C2').children('button').map((i, e) => e.id).get(),
      after: $('#C6').parent().attr('id'),
      texts: [$('#C1').length, $('#C3').text(), $('#C4').text(), $('#C5').text().trim()],
      jquery: $.fn.jquery !== undefined,
    }));
    assert.deepEqual(errors, [], 'no script or load error');
    assert.deepEqual(dom.ids, ['C1', 'C2', 'C3', 'C4', 'C5', 'C6'], 'ids in table order');
    assert.deepEqual(dom.inPanel, ['C3', 'C4'], 'the Panel holds its two buttons');
    assert.equal(dom.after, 'C1D', 'the next object is back in the window');
    assert.deepEqual(dom.texts, [1, 'Grüße', 'Noël', 'Müller  Söhne'], 'accented texts read right');
    assert.ok(dom.jquery, 'jQuery loaded under the page\'s name');
    const shot = path.join(dir, 'formpage.png');
    await page.screenshot({ path: shot });
    assert.ok(fs.statSync(shot).size > 1000, 'a screenshot of the page');
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
