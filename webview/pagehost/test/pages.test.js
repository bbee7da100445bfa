// pages.test.js - the page files alone in headless Chromium: action messages
// fed through the web-view shim, the DOM and the page's answers checked.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const { openStartPage } = require('./pagekit');

let kit, page, browser, dir;
// Posts one text as the client does; answers what the page sent back.
const post = (obj) => kit.post(obj);

before(async () => {
  kit = await openStartPage('qovwv-pages-');
  ({ page, browser, dir } = kit);
  // The page reports its size (99985) once it is ready: fetched here so the
  // tests below start with an empty event queue.
  await kit.settle();
});

after(async () => {
  await kit.close();
});

const batch = (...msgs) => ({ msgs });

test('the start pages announce themselves with action 1 once loaded', async () => {
  for (const name of ['qovwvstart.html', 'qovwvmstart.html']) {
    const p = await browser.context.newPage();
    await p.goto('file://' + path.join(dir, name));
    const sent = await p.evaluate(() => window.__qovDrain());
    assert.equal(sent[0], '{"action":1}', name);
    assert.ok(sent.slice(1).every((m) => m === '{"action":56}'), name + ': then only the notice of the size event');
    assert.equal(await p.evaluate(() => typeof jQuery.ui + typeof bootstrap), 'objectobject', name);
    await p.close();
  }
  await page.evaluate(() => window.__qovDrain());
});

test('a batch of element commands changes the DOM, in order, with one answer', async () => {
  const answers = await post(batch(
    { action: 19, name: 'C1', form: 'nowhere', html: '<div id="C1N" class="qovform"><input id="C2" value="a"><span id="C3">x</span><p id="C4">p</p><p id="C5">q</p></div>' },
    { action: 24, en: '#C2', pn: 'value', pv: 'typed' },
    { action: 24, en: '#C2', pn: 'placeholder', pv: 'name' },
    { action: 23, en: '#C3', pn: 'color', pv: 'rgb(255, 0, 0)' },
    { action: 23, en: '#C3', pn: 'width', pv: 40 },
    { action: 26, en: '#C3', pv: '<b>bold</b>' },
    { action: 38, en: '#C4', addc: 'qova qovb' },
    { action: 38, en: '#C4', remc: 'qova' },
    { action: 39, en: '#C2', pn: 'disabled', pv: true },
    { action: 46, en: 'p:eq(1)', pv: '<i>it</i>' },
  ));
  assert.deepEqual(answers, [{}]);
  const dom = await page.evaluate(() => ({
    value: $('#C2').val(),
    placeholder: $('#C2').attr('placeholder'),
    color: $('#C3').css('color'),
    width: $('#C3').css('width'),
    html: $('#C3').html(),
    cls: $('#C4').attr('class'),
    disabled: $('#C2').prop('disabled'),
    second: $('#C5').html(),
    holder: $('#C1N').parent().attr('id'),
    division: $('#C1N').parent().parent().attr('id'),
  }));
  const expect = {
    value: 'typed', placeholder: 'name', color: 'rgb(255, 0, 0)', width: '40px',
    html: '<b>bold</b>', cls: 'qovb', disabled: true, second: '<i>it</i>', holder: 'nowhere', division: 'qovforms',
  };
  for (const k of Object.keys(expect)) assert.deepEqual(dom[k], expect[k], k);
});

test('queries answer with the keys the action table names', async () => {
  const cases = [
    { msg: { action: 9, en: '#C2', pn: 'value', cv: 1 }, answer: { data: 'typed' }, why: 'property' },
    { msg: { action: 9, en: '#C2', pn: 'disabled' }, answer: { data: 'true' }, why: 'boolean property' },
    { msg: { action: 9, en: '#nothing', pn: 'value' }, answer: { data: '' }, why: 'missing element' },
    { msg: { action: 28, en: '#C3', pn: 'width' }, answer: { data: '40px' }, why: 'style' },
    { msg: { action: 30, js: '6*7' }, answer: { res: '42' }, why: 'script result' },
    { msg: { action: 30, js: 'nosuchfn()' }, answer: { err: 'nosuchfn is not defined' }, why: 'script error' },
    { msg: batch({ action: 24, en: '#C2', pn: 'value', pv: 'v2' }, { action: 9, en: '#C2', pn: 'value' }),
      answer: { data: 'v2' }, why: 'a query behind commands answers for the batch' },
  ];
  for (const c of cases) assert.deepEqual(await post(c.msg), [c.answer], c.why);
});

test('every post is answered exactly once, also text that is not JSON', async () => {
  const cases = ['not json', '{"action": 999}', '{"msgs": []}', '[]', '{"action": 23, "en": "#zz"}'];
  for (const text of cases) assert.deepEqual(await post(text), [{}], text);
});

// The page repeats its notice every 400 ms while events wait.
const kNoticeRepeatMs = 400;

test('page events: 56 announced, fetched one by one with 15, then {}', async () => {
  // Both events and the drain in one turn of the page: the notice is posted at
  // once, before any repeat could come.
  const first = await page.evaluate(() => {
    QovPostEvent({ name: 'C2', ev: 4 });
    QovPostEvent({ name: 'C3', ev: 5, v1: 2 });
    return window.__qovDrain();
  });
  assert.deepEqual(first, ['{"action":56}'], 'one notice for both');
  // While events wait a repeated notice may ride along with any answer (on a
  // busy machine the repeat can fall between the drain and the post).
  const fetch = async () => (await post({ action: 15 })).filter((m) => m.action !== 56);
  assert.deepEqual(await fetch(), [{ action: 8, name: 'C2', ev: 4 }]);
  await page.waitForFunction(() => window.__qovDrain().includes('{"action":56}'), null,
    { polling: 50, timeout: 30000 });
  assert.deepEqual(await fetch(), [{ action: 8, name: 'C3', ev: 5, v1: 2 }]);
  assert.deepEqual(await post({ action: 15 }), [{}]);
  // That no notice comes can only be seen by waiting past the repeat time:
  // this wait is what is checked.
  await page.waitForTimeout(kNoticeRepeatMs + 100);
  assert.deepEqual(await page.evaluate(() => window.__qovDrain()), [], 'no notice once the queue is empty');
});

test('every answer carries the number of the post it answers', async () => {
  await page.evaluate(() => { QovPostEvent({ name: 'C7', ev: 4, qn: 99 }); window.__qovDrain(); });
  const cases = [
    { msg: { action: 9, en: '#C2', pn: 'value', qn: 41 }, answer: { data: 'v2', qn: 41 }, why: 'a query' },
    { msg: { msgs: [{ action: 24, en: '#C2', pn: 'value', pv: 'v3' }], qn: 42 }, answer: { qn: 42 },
      why: 'a batch of commands: the number is the batch\'s' },
    { msg: { msgs: [{ action: 28, en: '#C3', pn: 'width' }], qn: 4294967295 }, answer: { data: '40px', qn: 4294967295 },
      why: 'the largest number' },
    { msg: { action: 15, qn: 43 }, answer: { action: 8, name: 'C7', ev: 4, qn: 43 },
      why: 'an event: the post\'s number, not a "qn" the event held' },
    { msg: { action: 15, qn: 44 }, answer: { qn: 44 }, why: 'the empty answer of the fetch' },
    { msg: { action: 30, js: '({qn: 7, res: "x"})', qn: 45 }, answer: { res: '[object Object]', qn: 45 },
      why: 'a script result' },
    { msg: { action: 999, qn: 46 }, answer: { qn: 46 }, why: 'an unknown action' },
    { msg: { action: 9, en: '#C2', pn: 'value' }, answer: { data: 'v3' }, why: 'no number: none in the answer' },
    { msg: { action: 999, qn: 'x' }, answer: {}, why: 'a number as text is not echoed' },
    { msg: { action: 999, qn: 2.5 }, answer: {}, why: 'nor one that is no whole number' },
    { msg: '{"action": 9, "qn": 47', answer: {}, why: 'not JSON: no number to echo' },
  ];
  for (const c of cases) assert.deepEqual(await post(c.msg), [c.answer], c.why);
});
