// pagehost.test.js - the loopback page host as the client sees it: frames over
// TCP, the page's messages relayed, replies before the acknowledgement, sizes.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { startPageHost, mapUrl, frame } = require('../pagehost');
const { assemblePageDir } = require('../pagefiles');

let host, dir;

before(async () => {
  dir = assemblePageDir(fs.mkdtempSync(path.join(os.tmpdir(), 'qovwv-host-')));
  host = await startPageHost();
});

after(async () => {
  await host.close();
  fs.rmSync(dir, { recursive: true, force: true });
});

// A client connection that collects the host's frames in order.
function connect() {
  const socket = net.connect(host.port, '127.0.0.1');
  const frames = [];
  let waiters = [];
  let buf = Buffer.alloc(0);
  socket.on('data', (d) => {
    buf = Buffer.concat([buf, d]);
    while (buf.length >= 5 && buf.length >= 5 + buf.readUInt32LE(0)) {
      const n = buf.readUInt32LE(0);
      frames.push({ type: String.fromCharCode(buf[4]), text: buf.subarray(5, 5 + n).toString('utf8') });
      buf = buf.subarray(5 + n);
    }
    waiters = waiters.filter((w) => !w());
  });
  const until = (pred) => new Promise((resolve, reject) => {
    const t = setTimeout(() => reject(new Error('timed out; frames: ' + JSON.stringify(frames))), 10000);
    const check = () => { if (pred(frames)) { clearTimeout(t); resolve(frames); return true; } return false; };
    if (!check()) waiters.push(check);
  });
  const send = (type, payload) => socket.write(frame(type, payload));
  return { socket, frames, until, send };
}

test('client URLs on drive Z: map to host paths', () => {
  const cases = [
    ['file:///Z:/work/out/qovwv_html/qovwvstart.html', 'file:///work/out/qovwv_html/qovwvstart.html'],
    ['file:///z:/a/b.html', 'file:///a/b.html'],
    ['file:///C:/x.html', 'file:///C:/x.html'],
    ['about:blank', 'about:blank'],
  ];
  for (const [from, to] of cases) assert.equal(mapUrl(from), to, from);
});

test('navigate, loaded notice, query reply before its acknowledgement, resize', async () => {
  const c = connect();
  c.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
  await c.until((f) => f.some((x) => x.type === 'W' && x.text === '{"action":1}'));
  c.frames.length = 0;
  c.send('P', JSON.stringify({ msgs: [
    { action: 26, en: '#qovforms', pv: '<span id="C9">hello</span>' },
    { action: 9, en: '#C9', pn: 'textContent' },
  ], qn: 5 }));
  await c.until((f) => f.some((x) => x.type === 'K'));
  assert.deepEqual(c.frames, [{ type: 'W', text: '{"data":"hello","qn":5}' }, { type: 'K', text: '' }]);

  const size = Buffer.alloc(8);
  size.writeUInt32LE(640, 0);
  size.writeUInt32LE(360, 4);
  c.send('B', size);
  c.frames.length = 0;
  c.send('P', JSON.stringify({ action: 30, js: 'innerWidth + "x" + innerHeight' }));
  await c.until((f) => f.some((x) => x.type === 'K'));
  assert.deepEqual(c.frames[0], { type: 'W', text: '{"res":"640x360"}' });

  c.frames.length = 0;
  c.send('P', JSON.stringify({ action: 30, js: 'setTimeout(() => QovPostEvent({name: "C9", ev: 4}), 10); 1' }));
  await c.until((f) => f.some((x) => x.text === '{"action":56}'));
  c.send('X');
  await new Promise((r) => c.socket.on('close', r));
});

// Polls until the condition holds (10 s at most).
async function waitFor(cond, what) {
  const until = Date.now() + 10000;
  while (!cond()) {
    if (Date.now() > until) throw new Error('timed out waiting for ' + what);
    await new Promise((r) => setTimeout(r, 20));
  }
}

test('a closed view takes its page along: many views in a row leave none behind', async () => {
  // The views of the tests before have closed.
  await waitFor(() => host.pageCount() === 0, 'earlier pages to close');
  const before = 0;
  for (let i = 0; i < 5; i++) {
    const c = connect();
    c.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
    await c.until((f) => f.some((x) => x.type === 'W' && x.text === '{"action":1}'));
    assert.equal(host.pageCount(), before + 1);
    c.send('X');
    await new Promise((r) => c.socket.on('close', r));
    await waitFor(() => host.pageCount() === before, 'the page to close');
  }
  // A connection dropped without 'X' closes its page too.
  const c = connect();
  c.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
  await c.until((f) => f.some((x) => x.type === 'W' && x.text === '{"action":1}'));
  c.socket.destroy();
  await waitFor(() => host.pageCount() === before, 'the dropped view\'s page to close');
});
