// lists.test.js - the list controls' page script in headless Chromium: every
// "dwid" of actions 40 (data lists and list views), 42 (a cell's rectangle),
// 49 (tree views), 51 and 52 (values by selector), and the events real clicks
// and keys raise: 99970, 99978-99980, 99983, 99989-99991.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { openStartPage } = require('./pagekit');

let kit, page, errors;
const post = (obj) => kit.post(obj);
const answer = (obj) => kit.answer(obj);
const events = () => kit.events();

async function classes(sel) {
  return page.evaluate((s) => Array.from(document.querySelectorAll(s)).map((e) => e.className), sel);
}

// A list view's table as the client writes it (three rows, two columns, the
// second an edit column, check boxes).
function listViewHtml(rows) {
  let html = "<div class='qovlv'><table width='100%' align='center'><thead><tr class='qovlvh'>" +
    "<th id='C20H0' style='width: 80px;'>Name</th><th id='C20H1' style='width: 60px;'>Qty</th></tr></thead>" +
    "<tbody id='C20b'>";
  rows.forEach((r, i) => {
    html += "<tr><td id='C20R" + i + "I0' ><input type=\"checkbox\"  id='C20C" + i + "'>" + r[0] + '</td>' +
      "<td id='C20R" + i + "I1' ><input class='qovlvc' type='text' value='" + r[1] + "' ></td></tr>";
  });
  return html + '</tbody></table></div>';
}

function dataListHtml(rows) {
  let html = "<div class='qovdl'><table width='100%' align='center'><tbody id='C30b'>";
  rows.forEach((r, i) => { html += "<tr><td id='C30R" + i + "I0' >" + r + '</td></tr>'; });
  return html + '</tbody></table></div>';
}

const kTreeHtml = "<ul class='qovtvm qovtvln'>" +
  "<li  id='C40R1'><details> <summary  id='C40R1'><input type=\"checkbox\" ><span class='ui-selected'>Fruit</span>" +
  " </summary><ul><li  id='C40R2'><input type=\"checkbox\" ><span>Apple</span></li>" +
  "<li  id='C40R3'><input type=\"checkbox\" ><span>Banana</span></li></ul></details></li>" +
  "<li  id='C40R4'><input type=\"checkbox\" ><span>Veg</span></li></ul>";

before(async () => {
  kit = await openStartPage('qovwv-lists-');
  ({ page, errors } = kit);
  await events();
  await post({ action: 19, name: 'C10', form: 'mainscrn', html:
    "<div id='C10' class='qovform' style='left:0;top:0;width:500px;height:400px'>" +
    "<div id='C20' class='lv' style='position:absolute;left:10px;top:10px;width:300px;height:120px'></div>" +
    "<div id='C30' class='dlv' style='position:absolute;left:10px;top:140px;width:200px;height:100px'></div>" +
    "<div id='C40' class='treev' style='position:absolute;left:320px;top:10px;width:160px;height:200px'></div>" +
    '</div>' });
  await events();
});

after(async () => {
  await kit.close();
});

test('a list view: clicks, checks, headers, edits and keys', async () => {
  await post({ action: 40, name: 'C20', dwid: 1, html: listViewHtml([['b', '1'], ['a', '2'], ['c', '3']]) });
  const cases = [
    { act: () => page.click('#C20R1I0', { position: { x: 40, y: 5 } }),
      want: [{ name: 'C20R1I0', et: 99990, ev: 2, em: 0 }, { name: 'C20R1I0', et: 99990, ev: 0, em: 0 }],
      why: 'a row click names row and shown column: ev 2 when the button goes down, 0 with its release' },
    { act: () => page.dblclick('#C20R2I0', { position: { x: 40, y: 5 } }),
      want: [{ name: 'C20R2I0', et: 99990, ev: 2, em: 0 }, { name: 'C20R2I0', et: 99990, ev: 0, em: 0 },
        { name: 'C20R2I0', et: 99990, ev: 1, em: 0 }],
      why: 'a double click: a click, then ev 1 (its second click is the double click\'s)' },
    { act: () => page.click('#C20R0I0', { modifiers: ['Shift'], position: { x: 40, y: 5 } }),
      want: [{ name: 'C20R0I0', et: 99990, ev: 2, em: 4 }, { name: 'C20R0I0', et: 99990, ev: 0, em: 4 }],
      why: 'Shift held: em 4' },
    { act: () => page.click('#C20C1'), want: [{ name: 'C20C1', et: 99989, ev: 1 }], why: 'a check box alone' },
    { act: () => page.click('#C20H1'), want: [{ name: 'C20H1', et: 99991 }], why: 'a header click' },
    { act: async () => { await page.fill('#C20R0I1 input', '42'); await page.press('#C20R0I1 input', 'Tab'); },
      want: [{ name: 'C20R0I1', et: 99970, v1: '42' }, { name: '', et: 99996 }], why: 'an edited cell' },
    { act: async () => { await page.focus('#C20'); await page.keyboard.press('ArrowDown'); },
      want: [{ name: 'C20', et: 99983, ec: 40 }], why: 'Down in the list' },
    { act: () => page.keyboard.press('Space'), want: [{ name: 'C20', et: 99983, ec: 32 }], why: 'Space' },
    { act: () => page.keyboard.press('End'), want: [{ name: 'C20', et: 99983, ec: 35 }], why: 'End' },
    { act: () => page.keyboard.press('x'), want: [], why: 'a letter is not a list key' },
  ];
  for (const c of cases) {
    await c.act();
    assert.deepEqual(await events(), c.want, c.why);
  }
  assert.deepEqual(await classes('#C20b tr'), ['ui-selected ui-focused', '', ''],
    'the page shows the last click at once');

  await post({ action: 40, name: 'C20', dwid: 2, srt: [2, 0, 1], ck: [0] });
  assert.deepEqual(await page.evaluate(() => Array.from(document.querySelectorAll('#C20b tr td:first-child'))
    .map((td) => td.id + ':' + td.textContent + ':' + td.querySelector('input').checked)),
  ['C20R0I0:c:true', 'C20R1I0:b:false', 'C20R2I0:a:false'], 'reordered by srt, renamed, ticked by ck');
  await post({ action: 40, name: 'C20', dwid: 3, rn: 2, pos: 0, df: 1 });
  assert.deepEqual(await classes('#C20b tr'), ['', '', 'ui-selected ui-focused'], 'dwid 3: the current row');
  assert.equal(await page.evaluate(() => document.activeElement.closest('td').id), 'C20R2I1', 'df: its edit cell');
  await events();
  await post({ action: 40, name: 'C20', dwid: 4, rn: 0, pos: 0 });
  const rect = await answer({ action: 42, name: 'C20R1I1', form: 'C10' });
  const box = await page.evaluate(() => {
    const c = document.getElementById('C20R1I1').getBoundingClientRect();
    const f = document.getElementById('C10').getBoundingClientRect();
    return { t: Math.round(c.top - f.top), h: Math.round(c.height), l: Math.round(c.left - f.left), w: Math.round(c.width) };
  });
  assert.deepEqual(rect, box, 'action 42: the cell relative to the window');

  // A notch of the wheel over a list view of 30 rows: the header stays at the
  // top, and the body moves three whole rows under it (row 3 right below it).
  await post({ action: 40, name: 'C20', dwid: 1,
    html: listViewHtml(Array.from({ length: 30 }, (_, i) => ['r' + i, String(i)])) });
  const headerAndRow = () => page.evaluate(() => {
    const head = document.getElementById('C20H0').getBoundingClientRect();
    const list = document.querySelector('#C20 .qovlv').getBoundingClientRect();
    const under = document.elementFromPoint(head.left + 5, head.bottom + 2);
    const row = under && under.closest('td');
    const top = row ? row.getBoundingClientRect().top : NaN;
    return { header: Math.round(head.top - list.top), row: row ? row.id : '', rowTop: Math.round(top - head.bottom) };
  });
  assert.deepEqual(await headerAndRow(), { header: 0, row: 'C20R0I0', rowTop: 0 }, 'before the wheel');
  const list = await page.locator('#C20 .qovlv').boundingBox();
  await page.mouse.move(list.x + 50, list.y + 60);
  await page.mouse.wheel(0, 100);
  await page.waitForFunction(() => document.querySelector('#C20 .qovlv').scrollTop > 0, null, { timeout: 10000 });
  assert.deepEqual(await headerAndRow(), { header: 0, row: 'C20R3I0', rowTop: 0 },
    'one notch: the header stays, three whole rows scrolled');

  // The keys' row, as the client answers each key (dwid 3), lies wholly
  // between the header's bottom and the box's bottom: Home and Up scroll it
  // back below the header, Down after a notch of the wheel brings a row
  // scrolled away above back into sight, End shows the last row whole.
  const selectedInSight = () => page.evaluate(() => {
    const box = document.querySelector('#C20 .qovlv');
    const area = box.getBoundingClientRect();
    const head = document.getElementById('C20H0').getBoundingClientRect();
    const row = document.querySelector('#C20b tr.ui-selected').getBoundingClientRect();
    const bottom = area.top + box.clientTop + box.clientHeight;
    return { row: document.querySelector('#C20b tr.ui-selected td').id,
      belowHeader: Math.round(row.top) >= Math.round(head.bottom), aboveBottom: Math.round(row.bottom) <= Math.round(bottom),
      gaps: [Math.round(row.top - head.bottom), Math.round(bottom - row.bottom)] };
  });
  const keySteps = [
    { key: 'Home', ec: 36, rn: 0, why: 'Home: the first row, scrolled back below the header' },
    { wheel: true, key: 'ArrowDown', ec: 40, rn: 1, why: 'Down after the wheel scrolled it away: the row below the header' },
    { key: 'ArrowUp', ec: 38, rn: 0, why: 'Up to the first row, above the box\'s top: below the header' },
    { key: 'End', ec: 35, rn: 29, why: 'End: the last row wholly shown' },
  ];
  await page.focus('#C20');
  for (const s of keySteps) {
    if (s.wheel) {
      const before = await page.evaluate(() => document.querySelector('#C20 .qovlv').scrollTop);
      await page.mouse.move(list.x + 50, list.y + 60);
      await page.mouse.wheel(0, 100);
      await page.waitForFunction((b) => document.querySelector('#C20 .qovlv').scrollTop > b, before, { timeout: 10000 });
      await page.focus('#C20');
    }
    await page.keyboard.press(s.key);
    assert.deepEqual(await events(), [{ name: 'C20', et: 99983, ec: s.ec }], s.why + ' (its key reported)');
    await post({ action: 40, name: 'C20', dwid: 3, rn: s.rn, pos: 0 });
    const seen = await selectedInSight();
    assert.deepEqual({ row: seen.row, belowHeader: seen.belowHeader, aboveBottom: seen.aboveBottom },
      { row: 'C20R' + s.rn + 'I0', belowHeader: true, aboveBottom: true },
      `${s.why} (gaps to the header and to the bottom: ${seen.gaps})`);
  }
});

test('a data list follows the client', async () => {
  await post({ action: 40, name: 'C30', dwid: 1, ms: 1, html: dataListHtml(['r0', 'r1', 'r2', 'r3']) });
  await page.click('#C30R2I0');
  assert.deepEqual(await events(), [{ name: 'C30R2I0', et: 99990, ev: 0, em: 0 }]);
  assert.deepEqual(await classes('#C30b tr'), ['', '', '', ''], 'a data list waits for the client');
  const steps = [
    { msg: { dwid: 7, start: 1, end: 3, pos: 0, sel: 1 }, want: ['', 'ui-selected', 'ui-selected', 'ui-selected'],
      why: 'dwid 7 selects a range' },
    { msg: { dwid: 7, start: 2, end: 2, pos: 0 }, want: ['', 'ui-selected', '', 'ui-selected'], why: 'and clears one' },
    { msg: { dwid: 8, rn: 1, pos: 0 }, want: ['', 'ui-selected ui-focused', '', 'ui-selected'], why: 'dwid 8 the caret' },
    { msg: { dwid: 3, rn: 0, pos: 0 }, want: ['ui-selected ui-focused', '', '', ''], why: 'dwid 3 one current row' },
  ];
  for (const s of steps) {
    await post(Object.assign({ action: 40, name: 'C30' }, s.msg));
    assert.deepEqual(await classes('#C30b tr'), s.want, s.why);
  }
  await post({ action: 40, name: 'C30', dl: true, dwid: 5 });
  await page.click('#C30R1I0');
  assert.deepEqual(await events(), [], 'dwid 5 disables');
  await post({ action: 40, name: 'C30', dl: true, dwid: 6 });
  await page.click('#C30R1I0');
  assert.equal((await events()).length, 1, 'dwid 6 enables again');
  await page.focus('#C30');
  await page.keyboard.press('Home');
  assert.deepEqual(await events(), [{ name: 'C30', et: 99983, ec: 36 }]);
});

test('a tree view: clicks, expanders, checks, keys and patches', async () => {
  await post({ action: 49, name: 'C40', dwid: 1, html: kTreeHtml });
  const cases = [
    { act: () => page.click('#C40 li#C40R4 > span'), want: [{ name: 'C40R4', et: 99980, ev: 0, em: 0 }],
      why: 'a click on a node' },
    { act: () => page.click('summary#C40R1', { position: { x: 3, y: 5 } }), want: [{ name: 'C40R1', et: 99979, ev: 3 }],
      why: 'the expander' },
    { act: () => page.click('summary#C40R1 > input'), want: [{ name: 'C40R1', et: 99979, ev: 1 }], why: 'a check box' },
    { act: () => page.dblclick('#C40 li#C40R4 > span'),
      want: [{ name: 'C40R4', et: 99980, ev: 0, em: 0 }, { name: 'C40R4', et: 99980, ev: 1, em: 0 }],
      why: 'a double click: a click, then ev 1' },
    { act: async () => { await page.focus('#C40'); await page.keyboard.press('ArrowRight'); },
      want: [{ name: 'C40', et: 99978, ec: 39 }], why: 'Right' },
    { act: () => page.keyboard.press('b'), want: [{ name: 'C40', et: 99978, ec: 66 }], why: 'a letter' },
  ];
  for (const c of cases) {
    await c.act();
    assert.deepEqual(await events(), c.want, c.why);
  }
  // The press reports the click, before the focus moves, as a native tree
  // selects and clicks before its focus events; the release adds nothing.
  const box = await (await page.$('#C40 li#C40R4 > span')).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  assert.deepEqual(await events(), [{ name: 'C40R4', et: 99980, ev: 0, em: 0 }], 'the press is the click');
  await page.mouse.up();
  assert.deepEqual(await events(), [], 'the release reports nothing more');
  assert.equal(await page.evaluate(() => document.querySelector('#C40 details').open), false,
    'the page does not open a node by itself');
  const steps = [
    { msg: { dwid: 2, exp: 1, rn: 1 }, check: () => page.evaluate(() => document.querySelector('#C40 details').open),
      want: true, why: 'dwid 2 with exp opens' },
    { msg: { dwid: 3, rn: 3 }, check: () => page.evaluate(() => document.querySelector('#C40 span.ui-selected').textContent),
      want: 'Banana', why: 'dwid 3 selects' },
    { msg: { dwid: 4, rn: 2, chk: 1 }, check: () => page.evaluate(() => document.querySelector('li#C40R2 > input').checked),
      want: true, why: 'dwid 4 ticks' },
    { msg: { dwid: 6, rn: 2, tx: '<b>Pear</b>' }, check: () => page.evaluate(() => document.querySelector('li#C40R2 > span').textContent),
      want: '<b>Pear</b>', why: 'dwid 6 sets the text as text' },
    { msg: { dwid: 5, rn: 4 }, check: () => page.evaluate(() => 1), want: 1, why: 'dwid 5 shows a node' },
    { msg: { dwid: 7, rn: 2, io: 32 }, check: () => page.evaluate(() => 1), want: 1, why: 'dwid 7 without images is harmless' },
    { msg: { dwid: 9 }, check: () => page.evaluate(() => document.querySelector('#C40 input').disabled), want: true,
      why: 'dwid 9 disables' },
    { msg: { dwid: 8 }, check: () => page.evaluate(() => document.querySelector('#C40 input').disabled), want: false,
      why: 'dwid 8 enables' },
    { msg: { dwid: 2, rn: 1 }, check: () => page.evaluate(() => document.querySelector('#C40 details').open),
      want: false, why: 'dwid 2 without exp closes' },
  ];
  for (const s of steps) {
    await post(Object.assign({ action: 49, name: 'C40' }, s.msg));
    assert.deepEqual(await s.check(), s.want, s.why);
  }
});

// Node images as the client writes them: a tile of the image list's strip
// per node, cut by its background position; the whole tree names the strip
// and a tile's size, selection and item changes move single tiles.
test('tree node images are tiles of the strip', async () => {
  const tile = (x) => "<div class='qovtvi'" + (x === undefined ? '' : " style='background-position: -" + x + "px 0px;'") + '></div>';
  const html = "<ul class='qovtvm qovtvnb qovtvln'>" +
    "<li  id='C40R1'>" + tile(48) + "<span class='ui-selected'>Fruit</span></li>" +
    "<li  id='C40R2'>" + tile(16) + '<span>Apple</span></li>' +
    "<li  id='C40R3'>" + tile() + '<span>Plain</span></li></ul>';
  await post({ action: 49, name: 'C40', dwid: 1, ih: 20, iw: 16, isrc: 'images/tr"ee.png', html: html });
  const tiles = () => page.evaluate(() => Array.from(document.querySelectorAll('#C40 .qovtvi')).map((e) => ({
    w: e.style.width, h: e.style.height, img: e.style.backgroundImage, pos: e.style.backgroundPosition })));
  const img = 'url("images/tr%22ee.png")';
  assert.deepEqual(await tiles(), [
    { w: '16px', h: '20px', img: img, pos: '-48px 0px' },
    { w: '16px', h: '20px', img: img, pos: '-16px 0px' },
    { w: '16px', h: '20px', img: img, pos: '' },
  ], 'every tile cut from the one strip, a quote in its URL kept inside it');
  await page.click('li#C40R2 > .qovtvi');
  assert.deepEqual(await events(), [{ name: 'C40R2', et: 99980, ev: 0, em: 0 }], 'a click on the image is a click on the node');
  const steps = [
    { msg: { dwid: 3, rn: 2, io: 32, ls: 1, lo: 32 }, want: ['-32px 0px', '-32px 0px', ''],
      why: 'selecting shows the selected tile and gives the old caret its own' },
    { msg: { dwid: 7, rn: 3, io: 64 }, want: ['-32px 0px', '-32px 0px', '-64px 0px'], why: 'a new image of one node' },
  ];
  for (const s of steps) {
    await post(Object.assign({ action: 49, name: 'C40' }, s.msg));
    assert.deepEqual((await tiles()).map((t) => t.pos), s.want, s.why);
  }
  await post({ action: 49, name: 'C40', dwid: 1, html: kTreeHtml });   // the nodes the next test reads
});

test('values set and read by selector', async () => {
  const cases = [
    { dwid: 1, nam: 'color', val: 'rgb(255, 0, 0)', why: 'a style' },
    { dwid: 2, nam: 'title', val: 'tip', why: 'a property' },
    { dwid: 6, nam: 'data-x', val: "O'Brien", why: 'an attribute' },
    { dwid: 5, nam: '', val: 'plain <b>', why: 'the text' },
    { dwid: 4, nam: '', val: '<i>x</i>', why: 'the inner HTML' },
  ];
  for (const c of cases) {
    await post({ action: 51, sel: '#C40R4 > span', dwid: c.dwid, nam: c.nam, val: c.val });
    assert.deepEqual(await answer({ action: 52, sel: '#C40R4 > span', dwid: c.dwid, nam: c.nam }), { val: c.val }, c.why);
  }
  await post({ action: 51, sel: '#C20R0I1 input', dwid: 3, val: '7' });
  assert.deepEqual(await answer({ action: 52, sel: '#C20R0I1 input', dwid: 3 }), { val: '7' }, 'a value');
  assert.deepEqual(await answer({ action: 52, sel: '#nothing', dwid: 3 }), { val: '' }, 'no element');
  assert.deepEqual(errors, [], 'no script error');
});
