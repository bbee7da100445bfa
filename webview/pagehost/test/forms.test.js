// forms.test.js - windows and every kind's markup in the real page: the
// client's action 19 messages (written by the host build's sample program)
// inserted without a script error, dialogs opened, closed and retitled by
// action 29, and the window events the page queues for the client.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { openStartPage } = require('./pagekit');

const kSamples = process.env.QOV_MARKUP_SAMPLES ||
  path.resolve(__dirname, '../../../build/host/tests/webview/webview_markup_samples');

let kit, page, errors;
const post = (obj) => kit.post(obj);

// Every event the page has queued, fetched as the client does (action 15),
// and the notices sent meanwhile dropped.
async function fetchEvents() {
  const events = (await kit.events(true)).map((e) => ({ action: 8, ...e }));
  await kit.drain();
  return events;
}

before(async () => {
  kit = await openStartPage('qovwv-forms-', { consoleErrors: true });
  ({ page, errors } = kit);
});

after(async () => {
  await kit.close();
});

test('the page reports its size with 99985 once ready', async () => {
  const events = await fetchEvents();
  assert.deepEqual(events, [{ action: 8, name: '', et: 99985, em: 800, ev: 600 }]);
});

test('every kind\'s markup goes in by action 19 without a script error', { skip: !fs.existsSync(kSamples) &&
  'build the host tree first (webview_markup_samples)' }, async () => {
  const lines = execFileSync(kSamples, { encoding: 'utf8' }).trim().split('\n');
  assert.ok(lines.length >= 20, 'a sample per kind');
  // A dialog's sample links the style sheet x'.css: it is there, so that no
  // failed load, reported whenever the browser gets to it, counts against a
  // later kind.
  fs.writeFileSync(path.join(kit.dir, 'x\'.css'), '');
  for (const line of lines) {
    const { kind, msg } = JSON.parse(line);
    errors.length = 0;
    assert.deepEqual(await post(msg), [{}], 'kind ' + kind + ' is answered');
    assert.deepEqual(errors, [], 'kind ' + kind + ': ' + msg.html);
    const placed = await page.evaluate((m) => {
      const el = document.getElementById(m.name) || document.getElementById(m.name + 'D');
      return el ? el.closest('#' + m.form) !== null : false;
    }, msg);
    assert.ok(placed, 'kind ' + kind + ' sits in ' + msg.form);
  }
  const dom = await page.evaluate(() => ({
    title: $('#C10').attr('title'),
    dialogTitle: $('#C2').dialog('option', 'title'),
    sheet: $('head link[href="x\'.css"]').length,
  }));
  assert.equal(dom.title, 'tip "\'<>&', 'an escaped tooltip comes back whole');
  assert.equal(dom.dialogTitle, 'It\'s "quoted" </script>', 'the dialog title whole');
  assert.equal(dom.sheet, 1, 'the style sheet link was appended once');
});

test('controls look as the native ones: sans-serif faces, framed buttons, icons, plain menu items', {
  skip: !fs.existsSync(kSamples) && 'build the host tree first (webview_markup_samples)' }, async () => {
  // Every control of the samples (in C1D) is in a face of its own kind: the
  // Windows faces are aliases of installed faces, never a serif fallback.
  const faces = await page.evaluate(async () => {
    const probe = 'Wij Mmm iii 0123 Qovtervex';
    const ctx = document.createElement('canvas').getContext('2d');
    const width = (font) => { ctx.font = font; return ctx.measureText(probe).width; };
    const out = [];
    for (const el of document.querySelectorAll('#C1D button, #C1D input, #C1D select, #C1D label, #C1D legend')) {
      const cs = getComputedStyle(el);
      const font = cs.fontWeight + ' 20px ' + cs.fontFamily;
      await document.fonts.load(font, probe);
      out.push({ id: el.id, family: cs.fontFamily, own: width(font), serif: width(cs.fontWeight + ' 20px serif'),
                 sans: width(cs.fontWeight + ' 20px "Liberation Sans"') });
    }
    return out;
  });
  assert.ok(faces.length >= 5, 'controls measured');
  for (const f of faces) assert.notEqual(f.own, f.serif, f.id + ' (' + f.family + ') is not in a serif face');
  const system = await page.evaluate(async () => {
    await document.fonts.load('20px System', 'x');
    const ctx = document.createElement('canvas').getContext('2d');
    ctx.font = '20px System';
    const a = ctx.measureText('Wij Mmm iii').width;
    ctx.font = '20px "Liberation Sans"';
    return [a, ctx.measureText('Wij Mmm iii').width];
  });
  assert.equal(system[0], system[1], 'System is the installed sans-serif face');

  // A push button keeps its frame and a dark caption in every state.
  const look = async () => page.evaluate(() => {
    const cs = getComputedStyle(document.getElementById('C10'));
    return { border: cs.borderTopWidth, style: cs.borderTopStyle, color: cs.color, face: cs.backgroundColor };
  });
  const plain = await look();
  assert.equal(plain.border, '1px', 'a framed button: ' + JSON.stringify(plain));
  assert.equal(plain.style, 'solid');
  assert.equal(plain.color, 'rgb(0, 0, 0)', 'a dark caption');
  const box = await page.locator('#C10').boundingBox();
  await page.mouse.move(box.x + 5, box.y + 5);
  const hovered = await look();
  await page.mouse.down();
  const pressed = await look();
  await page.mouse.up();
  await page.mouse.move(0, 0);
  // The press focused the button: the focus leaves it again, and what the
  // page queued meanwhile is taken, as the client would.
  await page.evaluate(() => document.activeElement && document.activeElement.blur());
  await fetchEvents();
  for (const [name, l] of [['hovered', hovered], ['pressed', pressed]]) {
    assert.equal(l.border, '1px', name + ' keeps its frame');
    assert.equal(l.color, 'rgb(0, 0, 0)', name + ' keeps a dark caption');
    assert.notEqual(l.face, 'rgb(255, 255, 255)', name + ': not white');
  }
  assert.notEqual(await page.evaluate(() => getComputedStyle(document.getElementById('C29')).borderTopWidth), '0px',
    'a group box keeps its frame');
  assert.equal(await page.evaluate(() => getComputedStyle(document.getElementById('C15')).borderTopWidth), '0px',
    'an edit without Border stays frameless');

  // The theme's icons load; popup items carry no link underline.
  const icon = await page.evaluate(async () => {
    const span = document.createElement('span');
    span.className = 'ui-icon ui-icon-check';
    document.body.appendChild(span);
    const url = /url\("?([^")]*)"?\)/.exec(getComputedStyle(span).backgroundImage);
    span.remove();
    if (!url) return 0;
    const img = new Image();
    img.src = url[1];
    try { await img.decode(); } catch (e) { return -1; }
    return img.naturalWidth;
  });
  assert.equal(icon, 256, 'the ui-icon strip is there');
  const underline = await page.evaluate(() => {
    const ul = $('<ul class="qovpopup"><li><a href="#">Open</a></li></ul>').appendTo('body');
    const line = getComputedStyle(ul.find('a')[0]).textDecorationLine;
    ul.remove();
    return line;
  });
  assert.equal(underline, 'none', 'a popup item is no link');
});

test('the eight theme sheets the client may load are there, each with its accent', async () => {
  const accents = await page.evaluate(async () => {
    const out = [];
    for (let n = 1; n <= 8; ++n) {
      const link = document.createElement('link');
      link.rel = 'stylesheet';
      link.href = 'themes/' + n + '/theme' + n + '.css';
      const loaded = new Promise((resolve) => { link.onload = () => resolve(true); link.onerror = () => resolve(false); });
      document.head.appendChild(link);
      const ok = await loaded;
      const bar = document.createElement('ul');
      bar.className = 'fmenui';
      document.body.appendChild(bar);
      const line = getComputedStyle(bar).borderBottomColor;
      bar.remove();
      out.push(ok ? [getComputedStyle(document.documentElement).getPropertyValue('--qov-accent').trim(), line] : null);
      link.remove();
    }
    return out;
  });
  assert.deepEqual(accents.map((a) => a && a[0]),
    ['#dc3545', '#212529', '#0dcaf0', '#f8f9fa', '#0d6efd', '#6c757d', '#198754', '#ffc107'],
    'danger, dark, info, light, primary, secondary, success, warning');
  assert.equal(accents[0][1], 'rgb(220, 53, 69)', 'the bar takes the accent through the shared rules');
});

async function makeDialog(id, res) {
  const html = '<div id="' + id + '" class="qovfrm md0 wb5 " style="position: relative; height: 100px; width: 200px"> ' +
    '<div id="' + id + 'N" class="fmenu"></div><div id="' + id + 'D"></div></div>';
  const js = 'QovDlg( { id: "' + id + '", h: 170, w: 220, mod: false, res: ' + res + ', bgc: "#ff0000", tl: "T" } );';
  await post({ action: 19, name: id, form: 'mainscrn', html, js });
  await post({ action: 29, name: id, dwid: 2 });
  await fetchEvents();
}

// Where a dialog's client area (its content division) and frame sit in the
// dialog's containing block, in whole pixels.
function clientAt(id) {
  return page.evaluate((id) => {
    const frame = $('#' + id).closest('.ui-dialog')[0];
    const home = frame.offsetParent.getBoundingClientRect();
    const inner = document.getElementById(id + 'D').getBoundingClientRect();
    const outer = frame.getBoundingClientRect();
    const left = frame.offsetParent.clientLeft, top = frame.offsetParent.clientTop;
    return { x: Math.round(inner.left - home.left - left), y: Math.round(inner.top - home.top - top),
      frameX: Math.round(outer.left), frameY: Math.round(outer.top) };
  }, id);
}

test('a dialog\'s Left and Top place its client area, its frame above and left of it', async () => {
  await makeDialog('C70', false);
  await post({ action: 29, name: 'C70', dwid: 7, val: 120 });
  await post({ action: 29, name: 'C70', dwid: 6, val: 90 });
  let at = await clientAt('C70');
  assert.deepEqual([at.x, at.y], [120, 90], 'action 29 "dwid" 7 and 6 place the client area');
  const [pos] = await post({ action: 29, name: 'C70', dwid: 8 });
  assert.deepEqual([pos.h, pos.v], [120, 90], 'the position query answers the same place');
  const frame = await page.evaluate(() => {
    const f = $('#C70').closest('.ui-dialog')[0].getBoundingClientRect();
    const c = document.getElementById('C70D').getBoundingClientRect();
    return { dx: c.left - f.left, dy: c.top - f.top };
  });
  assert.ok(frame.dx > 0 && frame.dy > 20, 'the frame and title bar lie outside it: ' + JSON.stringify(frame));
  // A real drag on the title bar moves it; the event and the query agree.
  const title = await page.evaluate(() => {
    const r = $('#C70').closest('.ui-dialog').find('.ui-dialog-title')[0].getBoundingClientRect();
    return { x: r.left + 10, y: r.top + r.height / 2 };
  });
  await fetchEvents();
  await page.mouse.move(title.x, title.y);
  await page.mouse.down();
  await page.mouse.move(title.x + 40, title.y + 25, { steps: 5 });
  await page.mouse.up();
  const moves = (await fetchEvents()).filter((e) => e.et === 99992);
  assert.deepEqual(moves.map((e) => [e.em, e.ev]), [[128, 95], [136, 100], [144, 105], [152, 110], [160, 115]],
    'each step of the drag reports the client area\'s new place, as the native move loop');
  const [after] = await post({ action: 29, name: 'C70', dwid: 8 });
  assert.deepEqual([after.h, after.v], [160, 115], 'and the query answers it');
  // Closed and opened again, it keeps its place; a place given while closed is taken on opening.
  await post({ action: 29, name: 'C70', dwid: 1 });
  await post({ action: 29, name: 'C70', dwid: 7, val: 30 });
  await post({ action: 29, name: 'C70', dwid: 2 });
  at = await clientAt('C70');
  assert.deepEqual([at.x, at.y], [30, 115], 'Left given while closed, Top kept from the drag');
  // Width and Height (action 29 "dwid" 4 and 5) size the client area.
  await post({ action: 29, name: 'C70', dwid: 4, val: 250 });
  await post({ action: 29, name: 'C70', dwid: 5, val: 120 });
  const size = await page.evaluate(() => {
    const r = document.getElementById('C70D').getBoundingClientRect();
    return [Math.round(r.width), Math.round(r.height)];
  });
  assert.deepEqual(size, [250, 120], 'the client area takes Width and Height');
  await post({ action: 20, delform: 'mainscrn', delid: 'C70' });
});

test('a dialog opens, answers its place, retitles and closes by action 29', async () => {
  // A field outside has the focus as the dialog opens.
  await page.evaluate(() => {
    const field = document.createElement('input');
    field.id = 'C49';
    document.body.appendChild(field);
    field.focus();
  });
  await makeDialog('C50', false);
  assert.equal(await page.evaluate(() => $('#C50').dialog('isOpen')), true);
  const [pos] = await post({ action: 29, name: 'C50', dwid: 8 });
  assert.ok(Number.isInteger(pos.h) && Number.isInteger(pos.v), 'position as "h" and "v"');
  await post({ action: 29, name: 'C50', dwid: 3, str: 'New' });
  assert.equal(await page.evaluate(() => $('#C50').dialog('option', 'title')), 'New');
  await post({ action: 29, name: 'C50', dwid: 1 });
  assert.equal(await page.evaluate(() => $('#C50').dialog('isOpen')), false);
  assert.deepEqual(await fetchEvents(), [],
    'closing by the client raises no close event, nor a focus report: the client gives the focus');
  assert.notEqual(await page.evaluate(() => document.activeElement.id), 'C49',
    'the field that had the focus as it opened does not take it back');
  await page.evaluate(() => document.getElementById('C49').remove());
  await post({ action: 20, delform: 'mainscrn', delid: 'C50' });
  assert.equal(await page.evaluate(() => $('#C50').length), 0, 'action 20 deletes it');
});

test('the close box, a drag and a resize queue 99988, 99992 and 99993', async () => {
  await makeDialog('C60', true);
  const box = await page.evaluate(() => {
    const r = $('#C60').closest('.ui-dialog')[0].getBoundingClientRect();
    return { x: r.left, y: r.top, w: r.width, h: r.height };
  });
  // jQuery UI's button widget (not Bootstrap's plug-in of the same name) made
  // the close box, with its cross.
  assert.equal(await page.locator('.ui-dialog:has(#C60) .ui-dialog-titlebar-close .ui-icon-closethick').count(), 1,
    'the close box shows its cross');
  await page.click('#C60 ~ .ui-dialog-titlebar .ui-dialog-titlebar-close, .ui-dialog:has(#C60) .ui-dialog-titlebar-close');
  let events = await fetchEvents();
  assert.deepEqual(events.filter((e) => e.et !== 99974), [{ action: 8, name: 'C60', et: 99988 }], 'close box');
  assert.equal(await page.evaluate(() => $('#C60').dialog('isOpen')), true, 'the server decides: it stays open');

  await page.mouse.move(box.x + 40, box.y + 10);
  await page.mouse.down();
  await page.mouse.move(box.x + 90, box.y + 40, { steps: 5 });
  await page.mouse.up();
  events = (await fetchEvents()).filter((e) => e.et === 99992);
  assert.ok(events.length >= 5, 'a move a step: ' + events.length);
  const client = await clientAt('C60');
  const last = events[events.length - 1];
  assert.deepEqual([last.em, last.ev], [client.x, client.y], 'the last move names the client area\'s place');
  assert.ok(Math.abs(client.frameX - (box.x + 50)) <= 2 && Math.abs(client.frameY - (box.y + 30)) <= 2,
    'moved by 50 and 30: ' + JSON.stringify(client));

  const moved = await page.evaluate(() => {
    const r = $('#C60').closest('.ui-dialog')[0].getBoundingClientRect();
    return { x: r.right, y: r.bottom };
  });
  const before = await page.evaluate(() => ({ w: Math.round($('#C60').width()), h: Math.round($('#C60').height()) }));
  await page.mouse.move(moved.x - 3, moved.y - 3);
  await page.mouse.down();
  await page.mouse.move(moved.x + 37, moved.y + 17, { steps: 5 });
  await page.mouse.up();
  events = (await fetchEvents()).filter((e) => e.et === 99993);
  assert.ok(events.length >= 5, 'a resize a step: ' + events.length);
  assert.equal(events[0].name, 'C60');
  assert.deepEqual([events[0].v2, events[0].v1], [before.w, before.h], 'the size before');
  for (let i = 1; i < events.length; ++i) {
    assert.deepEqual([events[i].v2, events[i].v1], [events[i - 1].em, events[i - 1].ev], 'each step from the last');
  }
  const e = events[events.length - 1];
  assert.ok(e.em > before.w && e.ev > before.h, 'the size after: ' + JSON.stringify(e));
});

// Where a native window's client area sits in its frame under Wine's default
// metrics, for border styles 1 to 8 (left, top: frame and caption), and the
// native menu bar's height; the native window tests measure the same.
const kNativeClientOffsets = [[0, 0], [1, 1], [3, 3], [3, 19], [3, 22], [4, 23], [4, 20], [3, 3]];
const kNativeMenuBar = 19;

test('a window\'s frame, title bar and menu bar put its content where the native window has it', {
  skip: !fs.existsSync(kSamples) && 'build the host tree first (webview_markup_samples)' }, async () => {
  const lines = execFileSync(kSamples, ['frames'], { encoding: 'utf8' }).trim().split('\n');
  assert.equal(lines.length, 12, 'a window per border style, and 4-7 again without Caption');
  for (let i = 0; i < 8; ++i) {
    const { msg } = JSON.parse(lines[i]);
    errors.length = 0;
    await post(msg);
    assert.deepEqual(errors, [], 'border style ' + (i + 1));
    const got = await page.evaluate((id) => {
      const win = document.getElementById(id).getBoundingClientRect();
      const content = document.getElementById(id + 'D').getBoundingClientRect();
      const title = $('#' + id + ' > .qovtitle');
      return { offset: [content.left - win.left, content.top - win.top], size: [content.width, content.height],
        title: title.is(':visible') ? title.text() : null };
    }, msg.name);
    const why = 'border style ' + (i + 1);
    assert.deepEqual(got.offset, kNativeClientOffsets[i], why + ': the content sits as the native client area');
    assert.deepEqual(got.size, [140, 30], why + ': the content keeps the window\'s Width and Height');
    assert.equal(got.title, i >= 3 && i <= 6 ? 'It\'s "quoted" </script>' : null,
      why + ': a title bar only where the native window has a caption');
  }
  // A menu bar (as the client writes it) moves the content down by the native bar's height.
  const moved = await page.evaluate(() => {
    const top = () => document.getElementById('C136D').getBoundingClientRect().top;
    const before = top();
    $('#C136N').html('<ul class="ui-widget-header fmenui" style="height: 19px"><li>File</li></ul>');
    return top() - before;
  });
  assert.equal(moved, kNativeMenuBar, 'the menu bar is as high as the native one');
  await post({ action: 29, name: 'C136', dwid: 3, str: 'Renamed' });
  assert.equal(await page.evaluate(() => $('#C136 > .qovtitle').text()), 'Renamed', 'a new title reaches the bar');
  // Without Caption: the frame alone, as the native pop-up (client offsets
  // measured by WindowWithoutCaptionKeepsItsSize), and the same content size.
  const kNoCaptionOffsets = [[1, 1], [3, 3], [3, 3], [3, 3]];
  const place = (id) => page.evaluate((id) => {
    const win = document.getElementById(id).getBoundingClientRect();
    const content = document.getElementById(id + 'D').getBoundingClientRect();
    return { offset: [content.left - win.left, content.top - win.top], size: [content.width, content.height],
      title: $('#' + id + ' > .qovtitle').is(':visible') };
  }, id);
  for (let i = 8; i < 12; ++i) {
    const { msg } = JSON.parse(lines[i]);
    await post(msg);
    const why = 'border style ' + (i - 4) + ' without Caption';
    assert.deepEqual(await place(msg.name), { offset: kNoCaptionOffsets[i - 8], size: [140, 30], title: false }, why);
  }
  // A later Caption change (the client's class change) brings the bar back and takes it away.
  await post({ action: 38, en: '#C146', remc: 'nocap' });
  assert.deepEqual(await place('C146'), { offset: kNativeClientOffsets[5], size: [140, 30], title: true },
    'Caption on again: frame and title bar as border style 6 with a caption');
  await post({ action: 38, en: '#C146', addc: 'nocap' });
  assert.deepEqual(await place('C146'), { offset: kNoCaptionOffsets[2], size: [140, 30], title: false },
    'and off once more');
});
