// formpage.test.js - a form saved as a web page (written by the host build's
// sample program) opened in Chromium on its own: the libraries it names are
// Debian's jQuery and jQuery UI under the names the page uses, the elements
// come in table order (C1 the window), the Panel holds its buttons, the
// accented texts of the client's one-byte set read right, nothing fails; the
// screenshot shows the buttons in their colour with their text, the label's
// text and the window's frame where the page lays them out, white around.
'use strict';
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launchBrowser } = require('../browser');
const { decodePng } = require('./pagekit');

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
// What the screenshot shows around the form: the browser's white page.
const kPageWhite = '#ffffff';
// Pixels kept clear of a box's edge when its inside is read.
const kInset = 3;
// At least this share of a button's inside is its own colour (the rest text).
const kFaceShare = 0.6;

function hexColour(css) {
  const m = /^rgba?\((\d+), (\d+), (\d+)/.exec(css);
  return m ? '#' + m.slice(1, 4).map((v) => Number(v).toString(16).padStart(2, '0')).join('') : css;
}

// The colours inside a box of the screenshot, counted.
function coloursIn(img, box) {
  const counts = new Map();
  for (let y = Math.ceil(box.top) + kInset; y < Math.floor(box.bottom) - kInset; y++) {
    for (let x = Math.ceil(box.left) + kInset; x < Math.floor(box.right) - kInset; x++) {
      const c = img.rgb(x, y);
      counts.set(c, (counts.get(c) || 0) + 1);
    }
  }
  return counts;
}

const total = (counts) => Array.from(counts.values()).reduce((a, b) => a + b, 0);
// Pixels far darker than the colour around them: text.
const isInk = (c) => parseInt(c.slice(1, 3), 16) < 0x80;
const inkIn = (counts) => Array.from(counts.entries()).filter(([c]) => isInk(c)).reduce((a, [, n]) => a + n, 0);

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
    const layout = await page.evaluate(() => {
      const box = (id) => {
        const r = document.getElementById(id).getBoundingClientRect();
        return { left: r.left, top: r.top, right: r.right, bottom: r.bottom };
      };
      const style = getComputedStyle(document.getElementById('C1'));
      return {
        buttons: ['C3', 'C4', 'C6'].map((id) => ({ id, box: box(id),
          face: getComputedStyle(document.getElementById(id)).backgroundColor })),
        label: box('C5'), form: box('C1'), frame: style.borderLeftColor, frameWidth: parseFloat(style.borderLeftWidth),
      };
    });
    const img = decodePng(await page.screenshot());
    assert.deepEqual({ width: img.width, height: img.height }, page.viewportSize(), 'the screenshot is the viewport');
    for (const b of layout.buttons) {
      const counts = coloursIn(img, b.box);
      const face = hexColour(b.face);
      assert.notEqual(face, kPageWhite, b.id + ': a button stands out from the page');
      assert.ok((counts.get(face) || 0) >= kFaceShare * total(counts), `${b.id}: its face is ${face}: ` +
        JSON.stringify(Array.from(counts.entries()).slice(0, 5)));
      assert.ok(inkIn(counts) > 0, b.id + ': its text is drawn');
    }
    assert.ok(inkIn(coloursIn(img, layout.label)) > 0, 'the label\'s text is drawn');
    assert.ok(layout.frameWidth >= 1, 'the window has a frame');
    const frameX = Math.floor(layout.form.left), midY = Math.floor((layout.form.top + layout.form.bottom) / 2);
    assert.equal(img.rgb(frameX, midY), hexColour(layout.frame), 'the frame\'s left edge in its colour');
    const outside = coloursIn(img, { left: layout.form.right + 1, top: 0, right: img.width, bottom: img.height });
    assert.deepEqual(Array.from(outside.keys()), [kPageWhite], 'nothing drawn right of the window');
    const below = coloursIn(img, { left: 0, top: layout.form.bottom + 1, right: img.width, bottom: img.height });
    assert.deepEqual(Array.from(below.keys()), [kPageWhite], 'nothing drawn below the window');
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
