// status.test.js - the status bar in headless Chromium: the panel markup the
// client writes (action 46) laid out by qovstatus.css, a last spring panel
// taking the rest of the bar, a panel's new text replacing the old, and the
// number field a form refresh disables (action 31 "dwid" 9) and enables (8).
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { openStartPage } = require('./pagekit');

let kit, page, errors;
const post = (obj) => kit.post(obj);

async function panels() {
  return page.evaluate(() => Array.from(document.querySelectorAll('#C20 > div')).map((e) => ({
    cls: e.className, text: e.textContent, width: Math.round(e.getBoundingClientRect().width),
  })));
}

before(async () => {
  kit = await openStartPage('qovwv-status-');
  ({ page, errors } = kit);
  await kit.events();
  await post({ action: 19, name: 'C10', form: 'mainscrn', html:
    "<div id='C10' class='qovform' style='position:relative;left:0;top:0;width:500px;height:300px'></div>" });
  await post({ action: 19, name: 'C20', form: 'C10', html:
    "<div id='C20' class='qovsb' style='position:absolute;left:0;top:270px;width:400px;height:22px'>ready</div>" });
  await post({ action: 19, name: 'C21D', form: 'C10', html:
    '<div id="C21D"><input type="text" id="C21" value="1"></div>',
    js: 'QovEditNum( { id: "C21", ld: 46, dc: ".", fd: 0, dd: 5, updn: 0, udmx: 100, udmi: 0, udic: 1, val: "1" } );' });
  await kit.events();
});

after(async () => {
  await kit.close();
});

test('the client\'s panel markup is laid out from the widths it writes', async () => {
  const cases = [
    { pv: "<div class='qovsbi' style='width: 96px;'>One</div><div class='qovsbo' style='min-width: 46px;'>Two</div>",
      expect: [{ cls: 'qovsbi', text: 'One', width: 100 }, { cls: 'qovsbo', text: 'Two', width: 50 }],
      why: 'a panel written 4 pixels narrower is as wide as its panel with its padding and border' },
    { pv: "<div class='qovsbp' style='width: 96px;'>One</div><div class='qovsbz' >Rest</div>",
      expect: [{ cls: 'qovsbp', text: 'One', width: 100 }, { cls: 'qovsbz', text: 'Rest', width: 300 }],
      why: 'a last spring panel takes what is left of the bar' },
    { pv: "<div class='qovsbp' style='width: 96px;'>New text</div><div class='qovsbz' >Rest</div>",
      expect: [{ cls: 'qovsbp', text: 'New text', width: 100 }, { cls: 'qovsbz', text: 'Rest', width: 300 }],
      why: 'a panel\'s new text replaces the old' },
    { pv: ' ', expect: [], why: 'a bar without panels is a single blank' },
  ];
  for (const c of cases) {
    await post({ action: 46, en: '#C20', pv: c.pv });
    assert.deepEqual(await panels(), c.expect, c.why);
  }
  await post({ action: 46, en: '#C20', pv: 'a&lt;b' });
  assert.equal(await page.textContent('#C20'), 'a<b', 'the bar\'s own text shows as written');
  assert.deepEqual(errors, []);
});

test('a form refresh disables a number field and its spinner', async () => {
  const disabled = () => page.$eval('#C21', (e) => e.disabled);
  await post({ action: 31, name: 'C21', dwid: 9 });
  assert.equal(await disabled(), true, '"dwid" 9 disables the field');
  await page.click('#C21D .ui-spinner-up', { force: true });
  assert.equal(await page.inputValue('#C21'), '1', 'the spinner does not step a disabled field');
  await post({ action: 31, name: 'C20', dwid: 9 });
  assert.equal(await page.$eval('#C20', (e) => e.getAttribute('disabled')), null, 'another element is left alone');
  await post({ action: 31, name: 'C21', dwid: 8 });
  assert.equal(await disabled(), false, '"dwid" 8 enables it again');
  assert.deepEqual(errors, []);
});
