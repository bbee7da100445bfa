// edits.test.js - the text-entry controls in headless Chromium: edit text
// (action 21: texts, selection, insertion at the caret, values), the number
// field's spinner (action 31), the datepicker (action 27), the drop-down
// (action 16 and its choice events) and the clicks on a list label's items.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { openStartPage } = require('./pagekit');

let kit, page, errors;
const post = (obj) => kit.post(obj);
const events = () => kit.events(true);

// The reply of one query (the last message the page sent back).
async function ask(obj) {
  const reply = await kit.answer(obj);
  delete reply.qn;
  return reply;
}

const kMarkup =
  '<div id="C10" class="qovfrm">' +
  '<input type="text" id="C11" maxlength="5">' +
  '<textarea rows="3" id="C12"></textarea>' +
  '<div id="C13D"><input type="text" id="C13" value="1.00"></div>' +
  '<input type="text" id="C14">' +
  '<select id="C15" size="2"><option>Apples</option><option>Pears</option></select>' +
  '<div id="C16" class="ltl"><ul><li id="C16R1">one</li><li id="C16R2">two</li></ul></div>' +
  '<div id="C17D"><input type="text" id="C17"></div>' +
  '</div>';
const kScript =
  'QovEdit( { id: "C11", et: 1, ld: 46, lt: 44 } );' +
  'QovEdit( { id: "C12", et: 1, ld: 46, lt: 44 } );' +
  'QovEditNum( { id: "C13", ld: 46, dc: ".", fd: 2, dd: 5, updn: 0, udmx: 100, udmi: 0, udic: 2, val: "1.00" } );' +
  'QovEditDate( { id: "C14", cmd: 1, fmt: 2, minDate: "20260101" } );' +
  'QovDlist( { id: "C15", st: 0 } );' +
  'QovEditNum( { id: "C17", ld: 44, dc: ",", fd: 2, dd: 5, updn: 1, udmx: 0, udmi: 0, udic: 1, val: "3,15" } );';

before(async () => {
  kit = await openStartPage('qovwv-edits-');
  ({ page, errors } = kit);
  await events();
  await post({ action: 19, name: 'C10', form: 'mainscrn', html: kMarkup, js: kScript });
  await events();
});

after(async () => {
  await kit.close();
});

test('the constructors run without a script error', () => {
  assert.deepEqual(errors, []);
});

test('action 21 sets, reads, selects and inserts at the caret', async () => {
  const steps = [
    { msg: { action: 21, name: 'C12', dwid: 4, pos: 0, str: 'one\r\ntwo' }, want: undefined, why: 'set the whole text' },
    { msg: { action: 21, name: 'C12', dwid: 3, pos: 0 }, want: { str: 'one\ntwo' }, why: 'the text, line feeds only' },
    { msg: { action: 21, name: 'C12', dwid: 2, ss: 1, se: 3 }, want: undefined, why: 'select "ne"' },
    { msg: { action: 21, name: 'C12', dwid: 3, pos: 1 }, want: { sel: 'ne' }, why: 'the selection' },
    { msg: { action: 21, name: 'C12', dwid: 5, typ: 1 }, want: { val: 1 }, why: 'selection start' },
    { msg: { action: 21, name: 'C12', dwid: 5, typ: 2 }, want: { val: 3 }, why: 'selection end' },
    { msg: { action: 21, name: 'C12', dwid: 4, pos: 1, str: 'X' }, want: undefined, why: 'replace the selection' },
    { msg: { action: 21, name: 'C12', dwid: 3, pos: 0 }, want: { str: 'oX\ntwo' }, why: 'replaced' },
    { msg: { action: 21, name: 'C12', dwid: 6, pos: 1, str: 'Y' }, want: undefined, why: 'insert at the caret' },
    { msg: { action: 21, name: 'C12', dwid: 6, pos: 0, str: '!' }, want: undefined, why: 'insert at the end' },
    { msg: { action: 21, name: 'C12', dwid: 3, pos: 0 }, want: { str: 'oXY\ntwo!' }, why: 'both inserted' },
    { msg: { action: 21, name: 'C12', dwid: 5, typ: 0 }, want: { val: 8 }, why: 'the length' },
    { msg: { action: 21, name: 'C12', dwid: 1 }, want: undefined, why: 'select all' },
    { msg: { action: 21, name: 'C12', dwid: 3, pos: 1 }, want: { sel: 'oXY\ntwo!' }, why: 'all selected' },
  ];
  for (const s of steps) {
    const reply = await ask(s.msg);
    assert.deepEqual(reply, s.want === undefined ? {} : s.want, s.why);
  }
});

test('an edit\'s $CHANGE comes with each typed change, with 0; the client\'s own text raises none', async () => {
  await post({ action: 6, name: 'C12', form: 'mainscrn', id: 12, en: 3, sp: 3 });
  await events();
  await post({ action: 21, name: 'C12', dwid: 4, pos: 0, str: '' });
  await page.click('#C12');
  await page.keyboard.type('xy');
  assert.deepEqual((await events()).filter((e) => e.et === 3), [
    { id: 12, et: 3, ev: 0, em: 0, ec: 32 },
    { id: 12, et: 3, ev: 0, em: 0, ec: 32 },
  ]);
  await post({ action: 21, name: 'C12', dwid: 4, pos: 0, str: 'set' });
  assert.deepEqual((await events()).filter((e) => e.et === 3), []);
});

test('typed text reads back, and auto-enter moves on when the field is full', async () => {
  await post({ action: 21, name: 'C11', dwid: 7, ae: 1 });
  await page.click('#C11');
  await page.keyboard.type('abcde');
  assert.deepEqual(await ask({ action: 21, name: 'C11', dwid: 3, pos: 0 }), { str: 'abcde' });
  const evs = (await events()).filter((e) => e.et === 99996);
  assert.equal(evs.length, 1, 'one Tab report when the fifth character filled the field');
});

test('action 31 and the spinner: the value set shows, the up arrow adds the step', async () => {
  await post({ action: 31, name: 'C13', dwid: 4, pos: 0, str: '3.15' });
  assert.equal(await page.inputValue('#C13'), '3.15');
  assert.deepEqual(await ask({ action: 31, name: 'C13', dwid: 3, pos: 0 }), { str: '3.15' });
  await page.click('#C13D .ui-spinner-up');
  assert.equal(await page.inputValue('#C13'), '5.15', 'UpDownChange 2, two decimals');
  await post({ action: 31, name: 'C13', dwid: 7, udic: 10 });
  await page.click('#C13D .ui-spinner-up');
  assert.equal(await page.inputValue('#C13'), '15.15', 'the step changed by "udic"');
  await page.click('#C13D .ui-spinner-down');
  assert.equal(await page.inputValue('#C13'), '5.15', 'and down again');
  await page.focus('#C13');
  await page.keyboard.press('ArrowUp');
  assert.equal(await page.inputValue('#C13'), '15.15', 'the arrow key steps too');
});

test('a number field with a decimal comma steps from the value it shows', async () => {
  await page.click('#C17D .ui-spinner-up');
  await page.click('#C17D .ui-spinner-up');
  assert.equal(await page.inputValue('#C17'), '5,15');
  assert.deepEqual(await ask({ action: 31, name: 'C17', dwid: 3, pos: 0 }), { str: '5,15' },
    'the page answers what it shows; the client reads the comma as a point');
  assert.equal(await page.$eval('#C17D .ui-spinner', (e) => e.classList.contains('qovupdn-left')), true,
    '"updn" 1: the arrows on the left');
});

test('action 27: dates as YYYYMMDD both ways, limits asked', async () => {
  const steps = [
    { msg: { action: 27, name: 'C14', dwid: 4, dt: '20260315' }, want: {}, why: 'set the value' },
    { msg: { action: 27, name: 'C14', dwid: 3, vid: 3 }, want: { str: '20260315' }, why: 'read it back' },
    { msg: { action: 27, name: 'C14', dwid: 3, vid: 1 }, want: { str: '20260101' }, why: 'the minimum given at creation' },
    { msg: { action: 27, name: 'C14', dwid: 3, vid: 2 }, want: { str: '' }, why: 'no maximum' },
    { msg: { action: 27, name: 'C14', dwid: 2, dt: '20261231' }, want: {}, why: 'set a maximum' },
    { msg: { action: 27, name: 'C14', dwid: 3, vid: 2 }, want: { str: '20261231' }, why: 'and read it' },
  ];
  for (const s of steps) assert.deepEqual(await ask(s.msg), s.want, s.why);
  assert.equal(await page.inputValue('#C14'), '03/15/2026', 'the page shows the date its way');
});

test('a date picked in the datepicker raises $CHANGE with 0', async () => {
  await post({ action: 27, name: 'C14', id: 14, dwid: 6 });
  await events();
  await page.click('#C14');
  await page.click('#ui-datepicker-div a.ui-state-default >> text="20"');
  assert.deepEqual((await events()).filter((e) => e.id === 14), [{ id: 14, et: 3, ev: 0, em: 0, ec: 32 }]);
  assert.deepEqual(await ask({ action: 27, name: 'C14', dwid: 3, vid: 3 }), { str: '20260320' });
});

test('action 16 keeps the drop-down\'s options; a choice raises $CHANGE and $CLICK with the item', async () => {
  assert.equal(await page.getAttribute('#C15', 'size'), null, 'made a drop-down');
  const steps = [
    { msg: { action: 16, name: 'C15', dwid: 4, typ: 0 }, want: { val: 0 }, why: 'nothing chosen' },
    { msg: { action: 16, name: 'C15', dwid: 1, pos: 1, str: '<b>Plums</b>', val: 0 }, want: {}, why: 'insert at 1' },
    { msg: { action: 16, name: 'C15', dwid: 5, item: 0, val: 2 }, want: {}, why: 'select item 2' },
    { msg: { action: 16, name: 'C15', dwid: 4, typ: 0 }, want: { val: 2 }, why: 'item 2 chosen' },
    { msg: { action: 16, name: 'C15', dwid: 2, pos: 3 }, want: {}, why: 'delete item 3' },
  ];
  for (const s of steps) assert.deepEqual(await ask(s.msg), s.want, s.why);
  const texts = await page.$$eval('#C15 option', (os) => os.map((o) => o.textContent));
  assert.deepEqual(texts, ['Apples', '<b>Plums</b>'], 'the text is text, not markup');
  await post({ msgs: [
    { action: 6, name: 'C15', form: 'mainscrn', id: 15, en: 3 },
    { action: 6, name: 'C15', form: 'mainscrn', id: 15, en: 4 },
  ] });
  await events();
  await page.selectOption('#C15', { index: 0 });
  assert.deepEqual(await events(), [
    { id: 15, et: 3, ev: 1, em: 0, ec: 32 },
    { id: 15, et: 4, ev: 1, em: 0, ec: 32 },
  ]);
  await ask({ action: 16, name: 'C15', dwid: 2, pos: 0 });
  assert.equal(await page.$$eval('#C15 option', (os) => os.length), 0, 'pos 0 empties the list');
});

test('list label items report 99982 with their row; a new list is wired too', async () => {
  // As the client asks for a list label's events: once, with "lte".
  await post({ action: 6, name: 'C16', form: 'mainscrn', id: 16, en: 4, lte: 1 });
  await events();
  await page.click('#C16', { position: { x: 2, y: 2 } });
  assert.deepEqual(await events(), [], 'the label itself, off its rows, reports nothing');
  await page.click('#C16R2');
  await page.dblclick('#C16R1');
  const got = await events();
  assert.deepEqual(got, [
    { name: 'C16R2', et: 99982, ev: 0 },
    { name: 'C16R1', et: 99982, ev: 0 },
    { name: 'C16R1', et: 99982, ev: 0 },
    { name: 'C16R1', et: 99982, ev: 1 },
  ], 'only the rows report: the label\'s own $CLICK does not come as well');
  await post({ action: 46, en: '#C16', name: 'C16', pv: '<ul><li id="C16R1">x</li><li id="C16R2">y</li></ul>' });
  await page.click('#C16R2');
  assert.deepEqual((await events()).filter((e) => e.et === 99982), [{ name: 'C16R2', et: 99982, ev: 0 }]);
});
