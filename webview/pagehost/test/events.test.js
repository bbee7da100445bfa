// events.test.js - the page's events in headless Chromium: subscriptions of
// action 6 with real clicks, the checked state, Tab, Enter and Escape, the
// focus report, script events and the files of a file button.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { openStartPage } = require('./pagekit');
const { readPageActions } = require('../../genpageactions');

const kFetchEvent = readPageActions().find((a) => a.name === 'kActFetchEvent').code;

let kit, page, dir;
const post = (obj) => kit.post(obj);
// Every queued event, in order, focus reports too.
const events = () => kit.events(true);

const kMarkup =
  '<div id="C10" class="qovfrm">' +
  '<button id="C11">OK</button>' +
  '<div id="C12D"><input type="checkbox" id="C12"><label for="C12" id="C12L">Check</label></div>' +
  '<div id="C13D"><input type="radio" name="G1" id="C13"><label for="C13" id="C13L">One</label></div>' +
  '<input type="file" id="C14F" onchange="qovWebNamespace.fileEvt(\'C14F\')">' +
  '<button id="C15">Other</button>' +
  '</div>';

before(async () => {
  kit = await openStartPage('qovwv-events-');
  ({ page, dir } = kit);
  await events();
  await post({ action: 19, name: 'C10', form: 'mainscrn', html: kMarkup });
  await events();
});

after(async () => {
  await kit.close();
});

test('clicks report the values the native controls report', async () => {
  await post({ msgs: [
    { action: 6, name: 'C11', form: 'mainscrn', id: 11, en: 4, prec: 1 },
    { action: 6, name: 'C12', form: 'mainscrn', id: 12, en: 4, prec: 1 },
    { action: 6, name: 'C13', form: 'mainscrn', id: 13, en: 4 },
    { action: 6, name: 'C12', form: 'mainscrn', id: 12, en: 3 },
  ] });
  await events();
  const cases = [
    { sel: '#C11', mods: [], want: [{ id: 11, et: 4, ev: 0, em: 0, ec: 32 }], why: 'a push button: $CLICK with 0' },
    { sel: '#C11', mods: ['Shift'], want: [{ id: 11, et: 4, ev: 0, em: 4, ec: 32 }], why: 'Shift held: MK_SHIFT' },
    { sel: '#C12', mods: [], want: [{ id: 12, et: 3, ev: 1, em: 0, ec: 32 }, { id: 12, et: 4, ev: 1, em: 0, ec: 32 }],
      why: 'a check box: $CHANGE then $CLICK with the new state, once for both subscriptions' },
    { sel: '#C12', mods: [], want: [{ id: 12, et: 3, ev: 0, em: 0, ec: 32 }, { id: 12, et: 4, ev: 0, em: 0, ec: 32 }],
      why: 'and unchecked again' },
    { sel: '#C12L', mods: [], want: [{ id: 12, et: 3, ev: 1, em: 0, ec: 32 }, { id: 12, et: 4, ev: 1, em: 0, ec: 32 }],
      why: 'a click on its label is a click on the check box' },
    { sel: '#C12', mods: [], want: [{ id: 12, et: 3, ev: 0, em: 0, ec: 32 }, { id: 12, et: 4, ev: 0, em: 0, ec: 32 }],
      why: 'unchecked once more' },
    { sel: '#C13', mods: [], want: [{ id: 13, et: 3, ev: 1, em: 0, ec: 32 }, { id: 13, et: 4, ev: 1, em: 0, ec: 32 }],
      why: 'a radio button' },
  ];
  for (const c of cases) {
    await page.click(c.sel, { modifiers: c.mods });
    const got = (await events()).filter((e) => e.et !== 99995);
    assert.deepEqual(got, c.want, c.why);
  }
  const answer = await post({ action: 9, en: '#C13', pn: 'checked' });
  assert.deepEqual(answer[answer.length - 1], { data: 'true' }, 'the checked state is asked of the page');
  await post({ action: 41, name: 'C11', id: 11, en: 4 });
  await page.click('#C11');
  assert.deepEqual((await events()).filter((e) => e.et !== 99995), [], 'after action 41 no $CLICK');
  await post({ action: 6, name: 'C11', form: 'mainscrn', id: 11, en: 4 });
  await post({ action: 6, name: 'C11', form: 'mainscrn', id: 11, en: 4 });
  await page.click('#C11');
  assert.equal((await events()).filter((e) => e.et === 4).length, 1, 'a second subscription binds nothing more');
});

test('keys and the focus', async () => {
  await post({ action: 14, name: 'C15' });
  await events();
  await post({ action: 14, name: 'C11' });
  assert.deepEqual(await events(), [{ name: 'C11', et: 99995 }], 'focus set by the client is reported back');
  const cases = [
    { key: 'Tab', want: [{ name: '', et: 99996 }], why: 'Tab: the client moves the focus' },
    { key: 'Shift+Tab', want: [{ name: '', et: 99997 }], why: 'Shift+Tab' },
    { key: 'Enter', want: [{ name: '', et: 99987 }], why: 'Enter' },
    { key: 'Escape', want: [{ name: '', et: 99986 }], why: 'Escape' },
  ];
  for (const c of cases) {
    await page.keyboard.press(c.key);
    assert.deepEqual(await events(), c.want, c.why);
  }
  assert.equal(await page.evaluate(() => document.activeElement.id), 'C11', 'Tab itself moved nothing');
  // The keys after Tab are held until the client has handled it: the page
  // host waits on QovInputSettled, which lets go at the client's next fetch.
  const held = () => page.evaluate(() => (window.QovInputSettled() === 0 ? 'free' : 'held'));
  assert.equal(await held(), 'free', 'nothing held before a key the client acts on');
  await page.keyboard.press('Tab');
  assert.equal(await held(), 'held', 'Tab holds the keys after it');
  const fetched = await post({ action: kFetchEvent });
  assert.equal(fetched[fetched.length - 1].et, 99996, 'the client takes the Tab');
  assert.equal(await held(), 'held', 'and handles it while the keys still wait');
  await post({ action: kFetchEvent });
  assert.equal(await held(), 'free', 'its next fetch lets them go');
  await post({ action: 14, name: 'C12D' });
  assert.deepEqual(await events(), [{ name: 'C12', et: 99995 }], 'a wrapper passes the focus to its input');
  // A window named: in front with no control focused, so no element keeps
  // the focus and the keys typed next reach none; Tab still goes to the client.
  await post({ action: 14, name: 'C10' });
  assert.equal(await page.evaluate(() => document.activeElement === document.body), true,
    'the window takes the focus from its control');
  assert.deepEqual(await events(), [], 'and nothing is reported');
  await page.keyboard.press('x');
  assert.deepEqual(await events(), [], 'a letter reaches no control');
  await page.keyboard.press('Tab');
  assert.deepEqual(await events(), [{ name: '', et: 99996 }], 'Tab goes to the client');
});

test('script events and chosen files', async () => {
  await post({ action: 50, name: 'C15', se: 1, eStr: 'mouseenter' });
  await page.hover('#C15');
  assert.deepEqual(await events(), [{ name: 'C15', et: 99975, edata: 'mouseenter:C15' }]);
  await post({ action: 50, name: 'C15', se: 0, eStr: 'mouseenter' });
  await page.hover('#C11');
  await page.hover('#C15');
  assert.deepEqual(await events(), [], 'switched off again');

  const a = path.join(dir, 'a.txt'), b = path.join(dir, 'b.png');
  fs.writeFileSync(a, 'abc');
  fs.writeFileSync(b, 'hello');
  await post({ action: 45, name: 'C14F', dwid: 1, typ: '.txt,.png', mult: 1 });
  assert.equal(await page.evaluate(() => document.getElementById('C14F').multiple), true);
  await page.setInputFiles('#C14F', [a, b]);
  assert.deepEqual(await events(), [{
    name: 'C14', et: 99984, em: 2, ev: ['a.txt', 'b.png'], v1: ['text/plain', 'image/png'], v2: [3, 5],
  }]);
});

test('an HTML control steps its focus by tab id', async () => {
  await page.evaluate(() => document.getElementById('C10').insertAdjacentHTML('beforeend',
    '<div id="C20" class="qovho"></div>'));
  await post({ action: 35, name: 'C20', dwid: 2, hctl: 1,
    html: '<input id="a" data-qovtabid="2"><input id="b" data-qovtabid=" 1x"><input id="c">' +
      '<input id="d" data-qovtabid="3">' });
  await post({ action: 14, name: 'C11' });
  await events();
  const active = () => page.evaluate(() => document.activeElement.id);
  const steps = [
    { fwd: 1, tid: 0, tabid: 1, at: 'b', why: 'into the page: the lowest tab id (blanks and a tail ignored)' },
    { fwd: 1, tid: 1, tabid: 2, at: 'a', why: 'the next id up' },
    { fwd: 1, tid: 2, tabid: 3, at: 'd', why: 'an element without an id is passed over' },
    { fwd: 1, tid: 3, tabid: 0, at: 'd', why: 'none after the last: the control lets the focus go' },
    { fwd: 0, tid: 3, tabid: 2, at: 'a', why: 'backwards: the next id down' },
    { fwd: 0, tid: 32767, tabid: 3, at: 'd', why: 'into the page backwards: the highest id' },
  ];
  for (const s of steps) {
    const msg = { action: 35, name: 'C20', dwid: 8, tid: s.tid };
    if (s.fwd) msg.fwd = 1;
    assert.equal((await kit.answer(msg)).tabid, s.tabid, s.why);
    assert.equal(await active(), s.at, s.why);
  }
  const reported = (await events()).filter((e) => e.name === 'C20');
  assert.deepEqual(reported[0], { name: 'C20', et: 99971, edata: '{"id":"b","tab":1}' },
    'the focus report carries the tab id the native control reads');

  await post({ action: 35, name: 'C20', dwid: 2, hctl: 1, html: '<input id="p"><input id="q">' });
  await post({ action: 14, name: 'C11' });
  assert.equal((await kit.answer({ action: 35, name: 'C20', dwid: 8, fwd: 1, tid: 0 })).tabid, 1,
    'a page without tab ids entered from outside: its first element');
  assert.equal(await active(), 'p');
  assert.equal((await kit.answer({ action: 35, name: 'C20', dwid: 8, fwd: 1, tid: 0 })).tabid, 0,
    'a step from inside it leaves the control');
  await events();
});
