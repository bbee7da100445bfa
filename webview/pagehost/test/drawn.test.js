// drawn.test.js - the drawn controls of the page files in headless Chromium:
// line and shape pixels read back from their canvases, the progress bar, the
// slider's and the splitter's drags queueing their events, the size answers
// of pictures (a missing image too) and a panel's HTML.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { openStartPage } = require('./pagekit');

let kit, page, dir;

before(async () => {
  kit = await openStartPage('qovwv-drawn-');
  ({ page, dir } = kit);
  await kit.settle();
});

after(async () => {
  await kit.close();
});

// Posts one message as the client does; the page's answer (the notices of
// waiting events, action 56, left out).
async function post(obj) {
  return (await kit.post(obj)).filter((m) => m.action !== 56);
}

// Every event the page queued, focus reports too; with an event type,
// fetched until one of that type has come.
const events = (untilType) => kit.events(true, untilType);

// Markup and constructor as the client sends them (action 19).
async function make(html, js) {
  await post({ action: 19, html, js, form: 'mainscrn' });
}

// The colour of one canvas pixel as #rrggbbaa.
async function pixel(id, x, y) {
  return page.evaluate(([id, x, y]) => {
    const d = document.getElementById(id).getContext('2d').getImageData(x, y, 1, 1).data;
    return '#' + Array.from(d).map((v) => v.toString(16).padStart(2, '0')).join('');
  }, [id, x, y]);
}

test('a line and shapes are drawn on their canvases, and again by action 22', async () => {
  await make('<canvas width="40" height="0" id="C10" style="position: absolute; left: 10px; top: 20px"></canvas>',
    'QovLn( { id: "C10", x1: 0, x2: 40, y1: 0, y2: 0, lw: 4, ss: "#ff0000" } );');
  const box = await page.evaluate(() => {
    const c = document.getElementById('C10');
    return { w: c.width, h: c.height, left: c.style.left, top: c.style.top };
  });
  assert.deepEqual(box, { w: 48, h: 8, left: '6px', top: '16px' }, 'the canvas is widened by the line width');
  const cases = [
    { id: 'C10', x: 24, y: 4, color: '#ff0000ff', why: 'on the level line' },
    { id: 'C10', x: 24, y: 0, color: '#00000000', why: 'beyond half the line width' },
  ];
  for (const c of cases) assert.equal(await pixel(c.id, c.x, c.y), c.color, c.why);

  await make('<canvas width="60" height="40" id="C11" style="position: absolute"></canvas>',
    'QovSq( { id: "C11", w: 60, h: 40, lw: 2, fs: "#00ff00", ss: "#0000ff" } );');
  const shapes = [
    { x: 30, y: 20, color: '#00ff00ff', why: 'the rectangle is filled' },
    { x: 1, y: 1, color: '#0000ffff', why: 'its border at the corner' },
  ];
  for (const c of shapes) assert.equal(await pixel('C11', c.x, c.y), c.color, c.why);
  await post({ action: 22, name: 'C11', st: 3, w: 60, h: 40, lw: 1, ss: '#0000ff', fs: '#00ff00', cw: 60, ch: 40 });
  assert.equal(await pixel('C11', 30, 20), '#00ff00ff', 'the oval is filled in the middle');
  assert.equal(await pixel('C11', 1, 1), '#00000000', 'and leaves the corner empty');
  // A new CSS size (the client's action 23) draws the shape again at that size.
  await post({ action: 23, en: '#C11', pn: 'width', pv: '120px' });
  assert.equal(await page.evaluate(() => document.getElementById('C11').width), 120);
  assert.equal(await pixel('C11', 60, 20), '#00ff00ff', 'the middle of the wider oval');
  await post({ action: 22, name: 'C10', st: 1, x1: 2, x2: 2, y1: 2, y2: 30, lw: 2, ss: '#000000' });
  assert.equal(await pixel('C10', 2, 15), '#000000ff', 'the line drawn again upright');
});

test('the progress bar shows its position and percentage', async () => {
  await make('<div id="C20" style="position: absolute; width: 200px; height: 20px"><div class="progress-label" id="C20"></div></div>',
    'QovPBar( { id: "C20", cv: 30, dp: 1 } );');
  await post({ action: 25, name: 'C20', dwid: 1, pos: 60 });
  const shown = await page.evaluate(() => ({
    label: $('#C20 .progress-label').text(),
    value: $(document.getElementById('C20')).progressbar('value'),
  }));
  assert.deepEqual(shown, { label: '60%', value: 60 });
  await post({ action: 25, name: 'C20', dwid: 2, dp: 0 });
  assert.equal(await page.evaluate(() => $('#C20 .progress-label').text()), '', 'Percent off empties the label');
});

test('a slider dragged by the user queues $CHANGE with its position; action 11 sets and asks', async () => {
  await make('<div id="C30D" class="slh slbs0" style="position: absolute; left: 0px; top: 300px; width: 220px; height: 30px"><div id="C30" style="height: 100%; left:103px"></div></div>',
    'QovSlide( { id: "C30", min: 0, max: 100, step: 1, vert: 0, range: 0 } );');
  await post({ action: 11, name: 'C30', dwid: 7 });
  await post({ action: 11, name: 'C30', dwid: 1, pos: 0 });
  assert.deepEqual(await events(), [], 'a position the client set raises nothing');
  const handle = await page.evaluate(() => {
    const r = $('#C30 .ui-slider-handle')[0].getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
  await page.mouse.move(handle.x, handle.y);
  await page.mouse.down();
  await page.mouse.move(handle.x + 101, handle.y, { steps: 5 });
  await page.mouse.up();
  // The handle takes the focus on the way (99995); the change follows.
  const change = (await events(3)).find((e) => e.et === 3);
  assert.ok(change, 'a $CHANGE was queued');
  assert.equal(change.et, 3);
  assert.equal(change.em, 16, 'the modifiers of a thumb position');
  const [answer] = await post({ action: 11, name: 'C30', dwid: 4 });
  assert.equal(change.ev, answer.val, 'the event carries the position the page holds');
  assert.ok(answer.val > 30 && answer.val < 70, 'about half way: ' + answer.val);
});

test('a splitter dragged after action 55 queues its move', async () => {
  await make('<div id="C40" class="pp pb2" style="position: absolute; left: 300px; top: 0px; width: 6px; height: 200px"></div>', '');
  await page.mouse.move(303, 100);
  await page.mouse.down();
  await page.mouse.move(343, 100, { steps: 4 });
  await page.mouse.up();
  assert.deepEqual(await events(), [], 'no drag before the client enables it');
  await post({ action: 55, name: 'C40', vm: 0, hm: 1, crn: 'w-resize' });
  assert.equal(await page.evaluate(() => $('#C40').css('cursor')), 'w-resize');
  await page.mouse.move(303, 100);
  await page.mouse.down();
  await page.mouse.move(343, 110, { steps: 4 });
  await page.mouse.up();
  const [moved] = await events(99992);
  assert.deepEqual({ name: moved.name, et: moved.et, em: moved.em, ev: moved.ev },
    { name: 'C40', et: 99992, em: 40, ev: 0 }, 'only the horizontal move of a left-right splitter');
});

test('action 47 answers the natural size, "c" 1 once loaded or failed', async () => {
  fs.mkdirSync(path.join(dir, 'images'), { recursive: true });
  await make('<div id="C50D"><img alt="x" src="./images/none.gif" id="C50"></div>', '');
  await page.waitForFunction(() => document.getElementById('C50').complete);
  assert.deepEqual(await post({ action: 47, name: 'C50', dwid: 1 }), [{ h: 0, v: 0, c: 1 }], 'a missing image');
  assert.deepEqual(await post({ action: 47, name: 'C99', dwid: 1 }), [{ h: 0, v: 0, c: 1 }], 'no image element');
  // A 7 x 5 image, drawn by the page and written into the images folder.
  const png = await page.evaluate(() => {
    const c = document.createElement('canvas');
    c.width = 7;
    c.height = 5;
    return c.toDataURL('image/png').split(',')[1];
  });
  fs.writeFileSync(path.join(dir, 'images', 'seven.png'), Buffer.from(png, 'base64'));
  await make('<div id="C51D"><img alt="t" src="./images/seven.png" id="C51"></div>', '');
  await page.waitForFunction(() => document.getElementById('C51').complete);
  assert.deepEqual(await post({ action: 47, name: 'C51', dwid: 1 }), [{ h: 7, v: 5, c: 1 }], 'a loaded image');
  await post({ action: 47, name: 'C51', dwid: 2, h: 48, v: 8 });
  assert.deepEqual(await page.evaluate(() => [$('#C51').attr('width'), $('#C51').attr('height')]), ['48', '8']);
});

test('action 35 fills a panel with markup or adds to it', async () => {
  await make('<div id="C60" style="position: absolute"></div>', '');
  await post({ action: 35, name: 'C60', dwid: 1, html: '<b>one</b>' });
  await post({ action: 35, name: 'C60', dwid: 2, html: '<i>two</i>' });
  assert.equal(await page.evaluate(() => $('#C60').html()), '<b>one</b><i>two</i>');
  await post({ action: 35, name: 'C60', dwid: 1, html: "<iframe class='qovif' width='10px' height='10px' src='about:blank'></iframe>" });
  assert.equal(await page.evaluate(() => $('#C60 iframe.qovif').length), 1);
});
