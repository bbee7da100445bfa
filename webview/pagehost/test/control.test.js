// control.test.js - the test-control connection against a page: each command
// over a real loopback socket, real input reaching the page's handlers, checks
// that wait, and the answers of failing commands.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { launchBrowser } = require('../browser');
const { startControl } = require('../control');

let browser, page, control, socket, dir;
let buffered = '';
const waiting = [];

function command(obj) {
  return new Promise((resolve) => {
    waiting.push(resolve);
    socket.write(JSON.stringify(obj) + '\n');
  });
}

before(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qovwv-control-'));
  browser = await launchBrowser();
  page = await browser.context.newPage();
  await page.setContent(`<div id="box" style="position:absolute; left:30px; top:40px; width:100px; height:50px;
      background-color:#ff0000" class="qovfrm wb2"></div>
    <input id="in" style="position:absolute; left:200px; top:40px">
    <div id="log"></div>
    <script>
      const log = (t) => { document.getElementById('log').textContent += t + ';'; };
      box.addEventListener('click', (e) => log('click' + e.button + (e.shiftKey ? 'S' : '')));
      box.addEventListener('dblclick', () => log('dbl'));
      box.addEventListener('mousedown', (e) => { box.dataset.x = e.clientX; });
      box.addEventListener('auxclick', (e) => log('aux' + e.button));
      box.addEventListener('mouseup', (e) => { if (e.clientX != box.dataset.x) log('drag' + (e.clientX - box.dataset.x)); });
      document.getElementById('in').addEventListener('keydown', (e) => log('key' + e.key));
    </script>`);
  control = await startControl({ pages: () => [page] });
  socket = net.connect(control.port, '127.0.0.1');
  socket.setEncoding('utf8');
  socket.on('data', (d) => {
    buffered += d;
    let nl;
    while ((nl = buffered.indexOf('\n')) >= 0) {
      const line = buffered.slice(0, nl);
      buffered = buffered.slice(nl + 1);
      waiting.shift()(JSON.parse(line));
    }
  });
  await new Promise((r) => socket.on('connect', r));
});

after(async () => {
  socket.destroy();
  await control.close();
  await browser.close();
  fs.rmSync(dir, { recursive: true, force: true });
});

test('commands answer and act on the page', async () => {
  const cases = [
    { cmd: { cmd: 'echo', text: 'hi' }, want: { ok: true, text: 'hi' }, why: 'echo' },
    { cmd: { cmd: 'eval', js: '6*7' }, want: { ok: true, value: '42' }, why: 'eval' },
    { cmd: { cmd: 'click', sel: '#box', modifiers: ['Shift'] }, want: { ok: true }, why: 'click with Shift' },
    { cmd: { cmd: 'click', sel: '#box', button: 'middle' }, want: { ok: true }, why: 'middle button' },
    { cmd: { cmd: 'dblclick', sel: '#box', page: 1 }, want: { ok: true }, why: 'a double click by page number' },
    { cmd: { cmd: 'type', sel: '#in', text: 'ab' }, want: { ok: true }, why: 'typing' },
    { cmd: { cmd: 'press', sel: '#in', key: 'Enter' }, want: { ok: true }, why: 'a key' },
    { cmd: { cmd: 'drag', sel: '#box', dx: 20, dy: 0 }, want: { ok: true }, why: 'a drag' },
    { cmd: { cmd: 'pixel', sel: '#box' }, want: { ok: true, value: '#ff0000' }, why: 'the colour in the box' },
    { cmd: { cmd: 'pixel', x: 5, y: 5 }, want: { ok: true, value: '#ffffff' }, why: 'outside it' },
    { cmd: { cmd: 'expect', sel: '#box', what: 'px:left', value: '30' }, want: { ok: true, value: '30' }, why: 'box place' },
    { cmd: { cmd: 'expect', sel: '#box', what: 'class', value: 'wb2' }, want: { ok: true, value: 'qovfrm wb2' },
      why: 'a class among others' },
    { cmd: { cmd: 'expect', sel: '#nothere', what: 'absent', value: 'true' }, want: { ok: true, value: 'true' },
      why: 'absence' },
    { cmd: { cmd: 'click', sel: '#box', page: 7 }, want: { ok: false, error: 'no page 7' }, why: 'a page that is not there' },
    { cmd: { cmd: 'nonsense' }, want: { ok: false, error: 'unknown command nonsense' }, why: 'unknown command' },
  ];
  for (const c of cases) assert.deepEqual(await command(c.cmd), c.want, c.why);
  const log = await page.textContent('#log');
  assert.equal(log, 'click0S;aux1;click0;click0;dbl;keya;keyb;keyEnter;drag20;click0;', 'the page saw real input');
});

test('a check that does not come true fails after its time, with what was there', async () => {
  const start = Date.now();
  const answer = await command({ cmd: 'expect', sel: '#box', what: 'text', value: 'never', timeout: 300 });
  assert.equal(answer.ok, false);
  assert.equal(answer.value, '');
  assert.ok(Date.now() - start >= 300, 'it waited');
});

test('a screenshot of the page and of an element', async () => {
  const whole = path.join(dir, 'page.png'), part = path.join(dir, 'box.png');
  assert.deepEqual(await command({ cmd: 'screenshot', file: whole }), { ok: true, file: whole });
  assert.deepEqual(await command({ cmd: 'screenshot', file: part, sel: '#box' }), { ok: true, file: part });
  assert.ok(fs.statSync(whole).size > fs.statSync(part).size && fs.statSync(part).size > 0);
});
