// bars.test.js - the bars' page script in headless Chromium: a tab control's
// action 32 operations (insert, delete, select, the asked-for selection) and
// the $CLICK and $CHANGE a real tab click raises once the client asked for
// them; the menu bar and popups of action 36 and the events of their clicks;
// a toolbar's markup (action 54) and the clicks and choices it reports (99973).
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { openStartPage } = require('./pagekit');

let kit, page, errors;
const post = (obj) => kit.post(obj);
const answer = (obj) => kit.answer(obj);
const events = () => kit.events();

async function tabLabels() {
  return page.evaluate(() => Array.from(document.querySelectorAll('#C50 .ui-tabs-nav li')).map((e) => e.textContent));
}

before(async () => {
  kit = await openStartPage('qovwv-bars-');
  ({ page, errors } = kit);
  await events();
  await post({ action: 19, name: 'C10', form: 'mainscrn', html:
    "<div id='C10' class='qovform' style='position:relative;left:0;top:0;width:500px;height:400px'>" +
    "<div id='C10N'></div></div>" });
  await post({ action: 19, name: 'C50', form: 'C10', html:
    "<div id='C50' style='position:absolute;left:10px;top:40px;width:300px;height:120px'>" +
    "<ul><li><a href=\"#C50-1\">One</a></li><li><a href=\"#C50-2\">Two</a></li></ul><div id=\"C50-1\"></div></div>",
    js: 'QovTabC( { id: "C50" } );' });
  await events();
});

after(async () => {
  await kit.close();
});

test('a tab control follows the client and reports switches', async () => {
  assert.deepEqual(await tabLabels(), ['One', 'Two'], 'the first markup makes the strip');
  const cases = [
    { msg: { dwid: 6, pos: 1000, id: 50, lab: 'Three' }, tabs: ['One', 'Two', 'Three'], why: 'pos 1000 appends' },
    { msg: { dwid: 6, pos: 0, id: 50, lab: 'Zero' }, tabs: ['Zero', 'One', 'Two', 'Three'], why: 'pos 0 goes first' },
    { msg: { dwid: 6, pos: 10000, id: 50, lab: 'Four' }, tabs: ['Zero', 'One', 'Two', 'Three', 'Four'],
      why: 'pos 10000 (a new label list) appends' },
    { msg: { dwid: 7, pos: 0 }, tabs: ['One', 'Two', 'Three', 'Four'], why: 'a deletion by position' },
  ];
  for (const c of cases) {
    await post(Object.assign({ action: 32, name: 'C50' }, c.msg));
    assert.deepEqual(await tabLabels(), c.tabs, c.why);
  }
  await post({ action: 32, name: 'C50', dwid: 1, pos: 2 });
  assert.equal((await answer({ action: 32, name: 'C50', dwid: 8 })).val, 2, 'the client\'s choice, zero-based');
  assert.deepEqual(await events(), [], 'a tab the client selects is not reported');

  await page.click('#C50 .ui-tabs-nav li:nth-child(2) a');
  assert.deepEqual(await events(), [], 'nothing is reported before the client asks');
  await post({ action: 32, name: 'C50', id: 50, dwid: 4 });
  await post({ action: 32, name: 'C50', id: 50, dwid: 5 });
  await page.click('#C50 .ui-tabs-nav li:nth-child(4) a');
  assert.deepEqual(await events(), [{ id: 50, et: 4, ev: 2, em: 0, ec: 32 }, { id: 50, et: 3, ev: 4, em: 0, ec: 32 }],
    '$CLICK with the 1-based tab left, then $CHANGE with the tab chosen, as natively');
  await post({ action: 51, sel: '#C50 .ui-tabs-nav li:eq("0") a', dwid: 4, val: 'Uno' });
  assert.deepEqual((await tabLabels())[0], 'Uno', 'a label replaced by selector');
  // New labels (TabLabel): every tab deleted, the new ones appended; the first
  // is then the selected one, as natively.
  for (let i = 0; i < 4; ++i) await post({ action: 32, name: 'C50', dwid: 7, pos: 0 });
  for (const lab of ['Name', 'Address']) await post({ action: 32, name: 'C50', dwid: 6, pos: 10000, id: 50, lab });
  assert.equal((await answer({ action: 32, name: 'C50', dwid: 8 })).val, 0, 'the first new tab is selected');
  assert.equal(await page.locator('#C50 .ui-tabs-nav li.ui-tabs-active').count(), 1, 'and shows so');
  assert.deepEqual(await events(), [], 'which is not reported');

  // A control made without tabs takes its first one when labels come, as
  // natively: the selection reads 0, the first switch leaves tab 1, Ctrl+Tab
  // steps from the selected tab, and Alt with a tab's letter switches to it
  // where the focus stays.
  await post({ action: 19, name: 'C51', form: 'C10', html:
    "<div id='C51' style='position:absolute;left:10px;top:200px;width:300px;height:120px'>" +
    "<ul></ul><div id=\"C51-1\"></div></div><input id='C52' style='position:absolute;left:10px;top:340px'>",
    js: 'QovTabC( { id: "C51" } );' });
  for (const lab of ['<u>M</u>ail', '<u>O</u>rders', '<u>S</u>tock'])
    await post({ action: 32, name: 'C51', dwid: 6, pos: 10000, id: 51, lab });
  assert.equal((await answer({ action: 32, name: 'C51', dwid: 8 })).val, 0, 'the first tab is selected');
  await post({ action: 32, name: 'C51', id: 51, dwid: 4 });
  await post({ action: 32, name: 'C51', id: 51, dwid: 5 });
  const tabEvents = (left, chosen) => [{ id: 51, et: 4, ev: left, em: 0, ec: 32 }, { id: 51, et: 3, ev: chosen, em: 0, ec: 32 }];
  const steps = [
    { act: () => page.click('#C51 .ui-tabs-nav li:nth-child(2) a'), want: tabEvents(1, 2), why: 'a click leaves tab 1' },
    { act: () => page.keyboard.press('Control+Tab'), want: tabEvents(2, 3), why: 'Ctrl+Tab: the next tab' },
    { act: () => page.keyboard.press('Control+Shift+Tab'), want: tabEvents(3, 2), why: 'Ctrl+Shift+Tab: back' },
    { act: async () => { await page.focus('#C52'); await page.keyboard.press('Alt+m'); }, want: tabEvents(2, 1),
      why: 'Alt with a tab\'s letter' },
  ];
  for (const st of steps) {
    await st.act();
    assert.deepEqual(await events(), st.want, st.why);
  }
  assert.equal(await page.evaluate(() => document.activeElement.id), 'C52', 'the letter leaves the focus');
  assert.deepEqual(errors, []);
});

test('a menu bar and its popup report clicks for the client', async () => {
  await post({ action: 36, name: 'C10', dwid: 2, html:
    '<ul  class="ui-widget-header fmenui" style="height: 24px" id="M10"> ' +
    '<li id="M100F10"  class="ui-state-default"><a href="#">File</a></li>' +
    '<li id="M200F10"  class="ui-state-disabled"><a href="#">Edit</a></li></ul>' });
  assert.equal(await page.locator('#C10N .fmenui > li').count(), 2, 'the bar is in the window\'s holder');
  await page.click('#M100F10');
  await page.click('#M200F10', { force: true });
  assert.deepEqual(await events(), [{ id: 10, et: 4, ev: 0, em: 0, mn: 100, ec: 32 }],
    'a bar entry reports its base number; a disabled one nothing');
  await post({ action: 19, name: 'C11', form: 'C10N', html:
    '<ul id="C11"> <li id="M101F10" ><a href="#">Open</a></li><li>-</li>' +
    '<li id="M103F10"  class="ui-state-disabled"><a href="#">Gone</a></li>' +
    '<li id="M104F10" ><a href="#"><span class="ui-icon ui-icon-check"></span>Close</a></li></ul>' });
  const shown = await answer({ action: 36, name: 'C11', dwid: 1, t: 0, l: 0, mk: 1, f: '10' });
  assert.equal(shown.val, 0, 'the show is answered');
  assert.ok(await page.isVisible('#C11'), 'the popup is shown');
  const entry = await page.locator('#M100F10').boundingBox();
  const popup = await page.locator('#C11').boundingBox();
  assert.ok(popup.y >= entry.y + entry.height - 1, 'under the bar entry');
  assert.ok(await page.locator('#C11').evaluate((e) => e.classList.contains('ui-menu')), 'a jQuery UI menu');
  await page.click('#M103F10', { force: true });
  assert.deepEqual(await events(), [], 'a disabled item reports nothing');
  await page.click('#M101F10');
  assert.deepEqual(await events(), [{ id: 10, et: 4, ev: 0, em: 0, mn: 101, ec: 32 }], 'an item its number');
  assert.ok(!(await page.isVisible('#C11')), 'the popup goes after a choice');
  await post({ action: 20, delid: 'C11', form: 'C10N', menu: '1' });
  assert.equal(await page.locator('#C11').count(), 0, 'a changed popup is deleted');
  assert.deepEqual(errors, []);
});

test('shortcut keys the client sent click their items; others stay the controls\'', async () => {
  await post({ action: 19, name: 'C12', form: 'C10', html:
    "<input id='C12' style='position:absolute;left:10px;top:200px;width:100px'>" });
  await post({ action: 36, name: 'C10', dwid: 3, keys: '79,1,0,101;114,1,1,104' });
  await page.focus('#C12');
  const prevented = await page.evaluate(() => {
    const e = new KeyboardEvent('keydown', { keyCode: 79, ctrlKey: true, bubbles: true, cancelable: true });
    document.getElementById('C12').dispatchEvent(e);
    return e.defaultPrevented;
  });
  assert.ok(prevented, 'Ctrl+O is taken from the page');
  await page.keyboard.press('Control+Shift+F3');
  await page.keyboard.press('Control+P');
  await page.keyboard.press('o');
  assert.deepEqual(await events(), [
    { id: 10, et: 4, ev: 0, em: 8, mn: 101, sc: 1, ec: 32 },
    { id: 10, et: 4, ev: 0, em: 12, mn: 104, sc: 1, ec: 32 },
  ], 'Ctrl+O and Ctrl+Shift+F3 click their items; Ctrl+P and a plain O are no shortcuts');
  assert.equal(await page.inputValue('#C12'), 'o', 'the edit still gets its keys');
  await post({ action: 36, name: 'C10', dwid: 3, keys: '' });
  await page.keyboard.press('Control+O');
  assert.deepEqual(await events(), [], 'an empty list takes no keys');
  assert.deepEqual(errors, []);
});

test('the menu bar by keyboard: Alt, F10, mnemonics, arrows, Enter and Escape', async () => {
  await post({ action: 36, name: 'C10', dwid: 2, html:
    '<ul  class="ui-widget-header fmenui" style="height: 24px" id="M10"> ' +
    '<li id="M500F10"  class="ui-state-default"><a href="#"><u>F</u>ile</a></li>' +
    '<li id="M600F10"  class="ui-state-default"><a href="#"><u>E</u>dit</a></li></ul>' });
  const popups = {
    500: ['C15', '<ul id="C15"> <li id="M501F10" ><a href="#"><u>O</u>pen</a></li><li>-</li>' +
      '<li id="M503F10"  class="ui-state-disabled"><a href="#"><u>S</u>ave</a></li>' +
      '<li id="M504F10" ><a href="#">E<u>x</u>it</a></li></ul>'],
    600: ['C16', '<ul id="C16"> <li id="M601F10" ><a href="#"><u>C</u>opy</a></li>' +
      '<li id="M602F10" ><a href="#"><u>P</u>aste</a></li>' +
      '<li id="M603F10" ><a href="#"><u>M</u>ore</a><ul id="C17"> <li id="M701F10" ><a href="#"><u>A</u>ll</a></li>' +
      '<li id="M702F10" ><a href="#"><u>N</u>one</a></li></ul></li></ul>'],
  };
  // The client's part: a bar entry's click opens its popup under the entry;
  // what is left are the items chosen.
  async function serve() {
    const chosen = [];
    for (const ev of await events()) {
      const popup = popups[ev.mn];
      if (!popup) { chosen.push(ev.mn); continue; }
      const made = await page.locator('#' + popup[0]).count();
      if (!made) await post({ action: 19, name: popup[0], form: 'C10N', html: popup[1] });
      await answer({ action: 36, name: popup[0], dwid: 1, t: 0, l: 0, mk: made ? undefined : 1, f: '10' });
    }
    return chosen;
  }
  const active = () => page.evaluate(async () => {
    // Read once the page has drawn a frame: the browser updates what is under
    // a pointer that stays still as it draws, which may move a highlight.
    await new Promise((drawn) => requestAnimationFrame(() => requestAnimationFrame(drawn)));
    // The deepest highlighted item (the items a SubMenu hangs below stay marked).
    const all = document.querySelectorAll('.qovpopup:not([style*="display: none"]) .ui-state-active');
    const a = all.length ? all[all.length - 1] : null;
    return a ? a.parentNode.id : (document.querySelector('.fmenui > li.qovkbd') || {}).id || '';
  });
  const cases = [
    { keys: ['Alt+f'], active: 'M501F10', why: 'Alt with a mnemonic opens its popup, the first item highlighted' },
    { keys: ['ArrowDown'], active: 'M503F10', why: 'Down passes the separator; a disabled item is highlighted' },
    { keys: ['Enter'], active: 'M503F10', why: 'Enter on a disabled item chooses nothing' },
    { keys: ['ArrowDown', 'Enter'], chosen: [504], active: '', why: 'Enter chooses the item; the bar lets go' },
    { keys: ['F10'], active: 'M500F10', why: 'F10 highlights the first entry' },
    { keys: ['ArrowRight', 'ArrowRight'], active: 'M500F10', why: 'Right steps along the bar, round to the first' },
    { keys: ['ArrowLeft', 'Enter'], active: 'M601F10', why: 'Left, then Enter opens the entry' },
    { keys: ['ArrowLeft'], active: 'M501F10', why: 'Left in a popup opens the entry before' },
    { point: '#M504F10', keys: ['Escape', 'point', 'Enter'], active: 'M501F10',
      why: 'a popup opened under a pointer that stays still keeps the keyboard\'s highlight' },
    { keys: ['Escape'], active: 'M500F10', why: 'Escape closes the popup back to the bar' },
    { keys: ['Escape', 'x'], active: '', why: 'Escape in the bar lets go; the next key is the page\'s' },
    { keys: ['Alt', 'e', 'p'], chosen: [602], active: '', why: 'Alt alone, a mnemonic, an item\'s mnemonic' },
    { keys: ['Alt+e', 'ArrowUp', 'ArrowRight'], active: 'M701F10', why: 'Right opens the SubMenu of the item' },
    { keys: ['ArrowDown'], active: 'M702F10', why: 'the arrows move in the SubMenu\'s list' },
    { keys: ['ArrowLeft'], active: 'M603F10', why: 'Left closes it back to its item' },
    { keys: ['m', 'Escape'], active: 'M603F10', why: 'the item\'s mnemonic opens it, Escape closes it' },
    { keys: ['Enter', 'n'], chosen: [702], active: '', why: 'Enter opens it; an item of it chosen by mnemonic' },
  ];
  for (const c of cases) {
    const chosen = [];
    // 'point': the pointer moves to where c.point is now, which the keys may hide.
    const spot = c.point && await page.locator(c.point).boundingBox();
    for (const k of c.keys) {
      if (k === 'point') {
        await page.mouse.move(spot.x + spot.width / 2, spot.y + spot.height / 2);
        continue;
      }
      await page.keyboard.press(k);
      chosen.push(...await serve());
    }
    assert.deepEqual(chosen, c.chosen || [], c.why);
    assert.equal(await active(), c.active, c.why);
  }
  assert.deepEqual(errors, []);
});

test('a SubMenu\'s list opens from its item in the popup', async () => {
  await post({ action: 19, name: 'C13', form: 'C10N', html:
    '<ul id="C13"> <li id="M301F10" ><a href="#">Open</a></li><li id="M302F10" ><a href="#">Recent</a>' +
    '<ul id="C14"> <li id="M401F10" ><a href="#">a.txt</a></li></ul></li></ul>' });
  await answer({ action: 36, name: 'C13', dwid: 1, t: 0, l: 0, mk: 1, f: '10' });
  await page.hover('#M302F10');
  await page.waitForSelector('#M401F10', { state: 'visible' });
  await page.click('#M302F10 > a');
  assert.deepEqual(await events(), [], 'the item that opens a SubMenu reports nothing');
  await page.click('#M401F10');
  assert.deepEqual(await events(), [{ id: 10, et: 4, ev: 0, em: 0, mn: 401, ec: 32 }], 'the SubMenu\'s item');
  assert.deepEqual(errors, []);
});

test('a toolbar shows the client\'s buttons and reports clicks and choices', async () => {
  await post({ action: 19, name: 'C60', form: 'C10', html:
    "<div id='C60' class='qovtb' style='position:absolute;left:0;top:180px;width:400px;height:30px'></div>" });
  await post({ action: 54, name: 'C60', dwid: 1, bh: 22, bw: 23, ih: 16, iw: 16, isrc: 'images/qovtools.png',
    seli: ["<div class='qovtbi' style='background-position: -32px 0px;margin-top: 3px; margin-left: 3px;'></div>"],
    html: "<div class='qovtbg'><button class='qovtbbe qovtbs3' id='C60I1' style='padding-top: 3px; " +
      "padding-left: 3px; height: 22px; width: 23px' title='New'><div class='qovtbi' " +
      "style='background-position: -0px 0px;'></div></button>" +
      "<select class='qovtbs2 qovtbse' id='C60I2' style='height: 22px; width: 23px'>" +
      "<option value='1'>Red</option><option value='2'>-</option><option value='3' disabled>Blue</option>" +
      "<option value='4'>Green</option></select>" +
      "<button class='qovtbbe qovtbs3d' id='C60I3' style='height: 22px; width: 23px'></button>" +
      "<label class='qovtbs5' for='C60I4' style='height: 22px; width: 23px'></label>" +
      "<input type='checkbox' name='C60I4' class='qovtbcr qovtbcrc qovtbbe' id='C60I4' style='height: 22px'></div>" });
  const look = await page.evaluate(() => ({
    buttons: document.querySelectorAll('#C60 .qovtbg > button').length,
    strip: getComputedStyle(document.querySelector('#C60I1 .qovtbi')).backgroundImage,
    chosen: document.getElementById('C60I2').selectedIndex,
    dropImage: document.querySelector('#C60 .qovtbsi') !== null,
    disabled: document.getElementById('C60I3').disabled,
    checked: document.getElementById('C60I4').checked,
  }));
  assert.equal(look.buttons, 2, 'the markup is in the bar');
  assert.match(look.strip, /images\/qovtools\.png/, 'the image cells are cut from the strip');
  assert.equal(look.chosen, -1, 'a drop-down shows no choice');
  assert.ok(look.dropImage, 'the whole drop-down has its image cell');
  assert.ok(look.disabled && look.checked, 'disabled and pushed buttons are marked');
  await page.click('#C60I1');
  await page.selectOption('#C60I2', '4');
  await page.click('#C60I3', { force: true });
  await page.dblclick('#C60I1');
  await page.click('label[for="C60I4"]');
  assert.deepEqual(await events(), [
    { name: 'C60I1', et: 99973, em: 0, ev: 0 },
    { name: 'C60I2', et: 99973, em: 4, ev: 0 },
    { name: 'C60I1', et: 99973, em: 0, ev: 0 },
    { name: 'C60I1', et: 99973, em: 0, ev: 0 },
    { name: 'C60I1', et: 99973, em: 0, ev: 1 },
    { name: 'C60I4', et: 99973, em: 0, ev: 0 },
  ], 'a click, the chosen item, nothing from a disabled button, a double click, a check button');
  assert.equal(await page.evaluate(() => document.getElementById('C60I2').selectedIndex), -1,
    'the choice is not kept');
  await post({ action: 54, name: 'C60', dwid: 4 });
  assert.ok(await page.evaluate(() => document.getElementById('C60I1').disabled), 'a disabled bar');
  await post({ action: 54, name: 'C60', dwid: 2 });
  assert.equal(await page.locator('#C60 button').count(), 0, 'a removed bar is emptied');
  assert.deepEqual(errors, []);
});
