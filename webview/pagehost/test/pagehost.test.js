// pagehost.test.js - the loopback page host as the client sees it: frames over
// TCP, the page's messages relayed, replies before the acknowledgement, sizes.
'use strict';
const { test, before, after, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { startPageHost, mapUrl, frame, frameReader } = require('../pagehost');
const { assemblePageDir } = require('../pagefiles');
const { decodePng } = require('./pagekit');
const { kFullScreenPicturesPerSecond } = require('../input');

const kFullScreen = [1280, 1024];

let host, dir;

before(async () => {
  dir = assemblePageDir(fs.mkdtempSync(path.join(os.tmpdir(), 'qovwv-host-')));
  host = await startPageHost();
});

after(async () => {
  await host.close();
  fs.rmSync(dir, { recursive: true, force: true });
});

// How long a wait for the host or the page lasts; reached only on failure, so
// it is generous: on a busy machine a picture of the page can take seconds.
const kPollDeadlineMs = 30000;

// The page's notice that events wait: it may come before or with any answer
// (a resize, for one, raises an event as soon as the page has laid out).
const kEventsWaiting = '{"action":56}';
const isReply = (x) => x.type === 'W' && x.text !== kEventsWaiting;

// Connections still open when a test ends, failed or not: closed then, so a
// failed test leaves no page behind for the tests after it.
const open = new Set();
afterEach(() => {
  for (const socket of open) socket.destroy();
  open.clear();
});

// A client connection that collects the host's frames in order.
function connect() {
  const socket = net.connect(host.port, '127.0.0.1');
  open.add(socket);
  socket.on('close', () => open.delete(socket));
  const frames = [];
  const pictures = [];   // 'S' frames: the page's look, apart from the channel's frames
  let waiters = [];
  const read = frameReader((type, body) => {
    if (type === 'S') pictures.push(body);
    else frames.push({ type, text: body.toString('utf8') });
  });
  socket.on('data', (d) => {
    read(d);
    waiters = waiters.filter((w) => !w());
  });
  const until = (pred) => new Promise((resolve, reject) => {
    const t = setTimeout(() => reject(new Error(`timed out; ${pictures.length} pictures, frames: ` +
      JSON.stringify(frames))), kPollDeadlineMs);
    const check = () => { if (pred(frames, pictures)) { clearTimeout(t); resolve(frames); return true; } return false; };
    if (!check()) waiters.push(check);
  });
  const send = (type, payload) => socket.write(frame(type, payload));
  const query = async (js) => {
    frames.length = 0;
    send('P', JSON.stringify({ action: 30, js }));
    await until((f) => f.some((x) => x.type === 'K'));
    return JSON.parse(frames.find(isReply).text).res;
  };
  return { socket, frames, pictures, until, send, query };
}

// The view's size, as its host window sends it.
function sizeView(c, width, height) {
  const b = Buffer.alloc(8);
  b.writeUInt32LE(width, 0);
  b.writeUInt32LE(height, 4);
  c.send('B', b);
}

// A view of that size showing the start page, once the page has loaded.
async function openView(width, height) {
  const c = connect();
  sizeView(c, width, height);
  c.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
  await c.until((f) => f.some((x) => x.type === 'W' && x.text === '{"action":1}'));
  return c;
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
  assert.deepEqual(c.frames.filter((x) => x.text !== kEventsWaiting),
    [{ type: 'W', text: '{"data":"hello","qn":5}' }, { type: 'K', text: '' }]);

  sizeView(c, 640, 360);
  c.frames.length = 0;
  c.send('P', JSON.stringify({ action: 30, js: 'innerWidth + "x" + innerHeight' }));
  await c.until((f) => f.some((x) => x.type === 'K'));
  assert.deepEqual(c.frames.filter(isReply), [{ type: 'W', text: '{"res":"640x360"}' }]);

  // A new document, by the client or by the page itself: posts reach it,
  // never the window of the document before.
  for (const how of ['client', 'page']) {
    c.frames.length = 0;
    if (how === 'client') c.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
    else c.send('P', JSON.stringify({ action: 30, js: 'window.qovOld = 1; setTimeout(() => location.reload(), 0); 1' }));
    await c.until((f) => f.some((x) => x.type === 'W' && x.text === '{"action":1}'));
    assert.equal(await c.query('typeof window.qovOld'), 'undefined', how);
    assert.equal(await c.query('window.qovOld = 2'), '2', how);
  }

  c.frames.length = 0;
  c.send('P', JSON.stringify({ action: 30, js: 'setTimeout(() => QovPostEvent({name: "C9", ev: 4}), 10); 1' }));
  await c.until((f) => f.some((x) => x.text === kEventsWaiting));
  c.send('X');
  await new Promise((r) => c.socket.on('close', r));
});

test('frames arrive whole however the link splits them: a header in pieces, two in one write, a large post', async () => {
  const c = connect();
  c.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
  await c.until((f) => f.some((x) => x.type === 'W' && x.text === '{"action":1}'));
  c.frames.length = 0;
  const one = frame('P', JSON.stringify({ action: 30, js: '"a" + 1', qn: 1 }));
  const two = frame('P', JSON.stringify({ action: 30, js: '"b" + 2', qn: 2 }));
  c.socket.setNoDelay(true);
  await new Promise((r) => c.socket.write(one.subarray(0, 3), r));
  c.socket.write(Buffer.concat([one.subarray(3), two]));
  await c.until((f) => f.filter((x) => x.type === 'K').length === 2);
  assert.deepEqual(c.frames.filter(isReply).map((x) => x.text), ['{"res":"a1","qn":1}', '{"res":"b2","qn":2}']);
  const big = 'x'.repeat(8 << 20);
  c.frames.length = 0;
  c.send('P', JSON.stringify({ action: 30, js: `"${big}".length`, qn: 3 }));
  await c.until((f) => f.some((x) => x.type === 'K'));
  assert.deepEqual(c.frames.filter(isReply).map((x) => x.text), [`{"res":"${big.length}","qn":3}`]);
});

test('the look of the page: a picture the size of the view after each change, input replayed as trusted events', async () => {
  const c = await openView(320, 200);
  await c.query('document.body.insertAdjacentHTML("beforeend", ' +
    '\'<input id="E1" style="position:absolute;left:10px;top:10px;width:100px;height:20px">\'); 1');
  // A change the page shows makes a new picture; an unchanged page sends none.
  await c.until((f, p) => p.length > 0);
  c.pictures.length = 0;
  await c.query('document.body.style.background = "rgb(1, 2, 3)"; 1');
  // A picture already on its way may still show the page before the change:
  // the one that shows the new background (away from the input) comes next.
  const showsChange = (png) => decodePng(png).rgb(300, 190) === '#010203';
  await c.until((f, p) => p.some(showsChange));
  const picture = decodePng(c.pictures.find(showsChange));
  assert.deepEqual([picture.width, picture.height], [320, 200]);

  await c.query('window.__ev = []; ["mousedown", "click", "dblclick", "keydown", "input"].forEach((t) => ' +
    'document.addEventListener(t, (e) => __ev.push(t + ":" + e.isTrusted))); 1');
  const input = (m) => c.send('I', JSON.stringify(m));
  // A double click as the window reports it: down, up, double-click down, up.
  for (const clicks of [1, 2]) {
    input({ t: 'm', type: 'down', button: 'left', x: 50, y: 20, clicks });
    input({ t: 'm', type: 'up', button: 'left', x: 50, y: 20, clicks });
  }
  // Keys: a key down without text, then its character: typed once.
  for (const ch of 'hi') {
    input({ t: 'k', type: 'down', vk: ch.toUpperCase().charCodeAt(0) });
    input({ t: 'c', text: ch });
    input({ t: 'k', type: 'up', vk: ch.toUpperCase().charCodeAt(0) });
  }
  const want = 'mousedown:true click:true mousedown:true click:true dblclick:true ' +
    'keydown:true input:true keydown:true input:true|hi';
  const got = await queryUntil(c, '__ev.join(" ") + "|" + document.getElementById("E1").value', (v) => v === want);
  assert.equal(got, want);
  // The wheel scrolls what lies under the pointer: a box with more to show
  // than its height (the page itself never scrolls; its forms do).
  await c.query('document.body.insertAdjacentHTML("beforeend", \'<div id="S1" style="position:absolute;' +
    'left:0;top:50px;width:300px;height:120px;overflow:auto"><div style="height:3000px"></div></div>\'); 1');
  // The answer to the insertion can come before the browser has laid the
  // box out for scrolling: a notch that found nothing to scroll is turned
  // again, as a user would.
  const scrolled = await queryUntil(c, 'Math.round(document.getElementById("S1").scrollTop)',
    (v) => String(v) !== '0', () => input({ t: 'm', type: 'wheel', x: 100, y: 100, dy: 300 }));
  assert.notEqual(String(scrolled), '0');
  c.send('X');
  await new Promise((r) => c.socket.on('close', r));
});

const kPollMs = 50;

// Asks the page the query (after act, when given) until the answer passes
// done or the deadline is reached; the last answer.
async function queryUntil(c, query, done, act) {
  const until = Date.now() + kPollDeadlineMs;
  for (;;) {
    if (act) act();
    const got = await c.query(query);
    if (done(got) || Date.now() > until) return got;
    await new Promise((r) => setTimeout(r, kPollMs));
  }
}

// Polls until the condition holds (up to the deadline).
async function waitFor(cond, what) {
  const until = Date.now() + kPollDeadlineMs;
  while (!cond()) {
    if (Date.now() > until) throw new Error('timed out waiting for ' + what);
    await new Promise((r) => setTimeout(r, 20));
  }
}

test('each view\'s pictures show its whole page: after a resize, beside a view of another size, after a run of posts', async () => {
  // The newest picture is the page at its size, its bottom right corner in
  // the colour set last (only the newest is decoded, once).
  const newest = (width, height, colour) => {
    let seen = 0;
    return (f, p) => {
      if (p.length === seen) return false;
      seen = p.length;
      const png = decodePng(p[p.length - 1]);
      return png.width === width && png.height === height && png.rgb(width - 5, height - 5) === colour;
    };
  };
  const a = await openView(320, 200);
  sizeView(a, 400, 300);   // its host window resized
  await a.query('document.body.style.background = "rgb(1, 2, 3)"; 1');
  await a.until(newest(400, 300, '#010203'));
  const b = await openView(200, 120);
  await b.query('document.body.style.background = "rgb(4, 5, 6)"; 1');
  await b.until(newest(200, 120, '#040506'));
  await a.query('document.body.style.background = "rgb(7, 8, 9)"; 1');
  await a.until(newest(400, 300, '#070809'));

  // A full-screen page changed by a run of posts: its pictures keep a pace
  // (the browser may still send the ones on their way when it is held, and
  // the one it resumes with), and the last shows the last change.
  sizeView(a, kFullScreen[0], kFullScreen[1]);
  await a.query('document.body.style.background = "rgb(0, 0, 1)"; 1');
  await a.until(newest(kFullScreen[0], kFullScreen[1], '#000001'));
  a.pictures.length = 0;
  const kRun = 40, kPicturesAPause = 4;
  const started = performance.now();
  for (let i = 1; i <= kRun; i++) await a.query(`document.body.style.background = "rgb(${i}, 0, 0)"; 1`);
  const elapsed = performance.now() - started;
  await a.until(newest(kFullScreen[0], kFullScreen[1], '#' + kRun.toString(16).padStart(2, '0') + '0000'));
  const most = kPicturesAPause * (2 + elapsed * kFullScreenPicturesPerSecond / 1000);
  assert.ok(a.pictures.length <= most, `${a.pictures.length} pictures for ${kRun} posts in ${elapsed} ms`);
});

// A page's holds of its drawing, counted as the shim starts them (each is a
// view transition).
const kCountHolds = 'window.__holds = 0; const start = document.startViewTransition.bind(document); ' +
  'document.startViewTransition = (cb) => { window.__holds++; return start(cb); }; 1';
// The marker in the top left corner whose colour names the change n: what a
// picture shows is read from it.
const kMarker = '<div id="M0" style="position:fixed;left:0;top:0;width:8px;height:8px;z-index:9;background:rgb(0,0,0)"></div>';
const markChange = (n) => ({ action: 23, en: '#M0', pn: 'background-color', pv: `rgb(0,${(n >> 8) & 255},${n & 255})` });
const markerOf = (png) => parseInt(decodePng(png).rgb(2, 2).slice(3), 16);
// Labels by the thousand, as a window made label by label, in one script.
const manyLabels = (count) => `(() => { const parts = []; for (let i = 0; i < ${count}; i++) parts.push('<div style="position:absolute;' +
  'left:' + (i % 30) * 40 + 'px;top:' + (20 + (i % 45) * 20) + 'px;width:36px;height:16px">Label ' + i + '</div>');
  document.body.insertAdjacentHTML('beforeend', parts.join('')); return 1; })()`;

test('a page costly to draw is held while posts change it, and a server\'s script or the user\'s input finds it as drawn', async () => {
  const c = await openView(400, 240);
  // Thousands of labels on top of one another, an edit and a box above them.
  await c.query(manyLabels(20000));
  await c.query(`document.body.insertAdjacentHTML('beforeend', '<input id="E1" style="position:absolute;left:10px;` +
    `top:200px;width:100px;height:20px;z-index:1"><div id="D1" style="position:absolute;left:300px;top:200px;` +
    `width:90px;height:30px;z-index:1"></div>'); window.__ev = []; document.addEventListener('mousedown', ` +
    `(e) => __ev.push(e.target.id || e.target.tagName)); ${kCountHolds}`);
  let step = 0;
  const changes = (count) => changeUntil(c, (n) => n >= count, count, () => ({ action: 46, en: '#D1', pv: String(++step) }));
  // Runs of changes, each read by a script right after it: the hold its run
  // started is over for the script, which finds the box under the point, the
  // root's own transition name and no transition or sheet of the hold.
  const read = 'document.elementFromPoint(340, 215).id + "|" + getComputedStyle(document.documentElement).viewTransitionName + ' +
    '"|" + document.adoptedStyleSheets.length + "|" + !!document.activeViewTransition + "|" + __holds';
  let holdsSeen = 0;
  for (let round = 0; round < 40 && holdsSeen < 3; round++) {
    await changes(6);
    const [hit, name, sheets, active, holds] = String(await c.query(read)).split('|');
    assert.deepEqual([hit, name, sheets, active], ['D1', 'root', '0', 'false'], `round ${round}: held ${holds} times`);
    holdsSeen = Number(holds);
  }
  assert.ok(holdsSeen >= 3, `the runs held the drawing ${holdsSeen} times`);
  // Input right after a run: pressed on the edit and typed into it.
  await changes(6);
  await c.query('document.getElementById("D1").style.background = "rgb(0, 0, 255)"; 1');
  await changes(6);
  const input = (m) => c.send('I', JSON.stringify(m));
  input({ t: 'm', type: 'down', button: 'left', x: 50, y: 210, clicks: 1 });
  input({ t: 'm', type: 'up', button: 'left', x: 50, y: 210, clicks: 1 });
  for (const ch of 'ok') {
    input({ t: 'k', type: 'down', vk: ch.toUpperCase().charCodeAt(0) });
    input({ t: 'c', text: ch });
    input({ t: 'k', type: 'up', vk: ch.toUpperCase().charCodeAt(0) });
  }
  const want = 'E1|ok';
  assert.equal(await queryUntil(c, '__ev.join(" ") + "|" + document.getElementById("E1").value', (v) => v === want), want);
  // The last change is drawn once the posts have paused.
  await c.until((f, p) => p.length > 0 && decodePng(p[p.length - 1]).rgb(380, 225) === '#0000ff');
  c.send('X');
  await new Promise((r) => c.socket.on('close', r));
});

// Posts one change after another (each awaited, as the client's flush awaits
// it) until done() or the most posts; the changes made.
async function changeUntil(c, done, most, message = markChange) {
  let n = 0;
  while (n < most && !done(n)) {
    n++;
    const acks = c.frames.filter((x) => x.type === 'K').length;
    c.send('P', JSON.stringify(message(n)));
    await c.until((f) => f.filter((x) => x.type === 'K').length > acks);
    if (c.frames.length > 1000) c.frames.length = 0;
  }
  return n;
}

// Which change each new picture shows, as they come.
function watchChanges(c) {
  const shown = [];
  let seen = 0;
  return {
    shown,
    take() {
      for (; seen < c.pictures.length; seen++) shown.push(markerOf(c.pictures[seen]));
      return shown;
    },
  };
}

test('the screen keeps up with the page: a full-screen page is pictured while posts keep changing it, a cheap page is never held', async () => {
  const c = await openView(kFullScreen[0], kFullScreen[1]);
  await c.query(`document.body.insertAdjacentHTML('beforeend', '${kMarker}'); ${kCountHolds}`);
  await c.until((f, p) => p.length > 0);
  c.pictures.length = 0;
  // A run with no pause: pictures come while it goes on, each showing a
  // change of the run.
  const watch = watchChanges(c);
  const kPicturesInRun = 5;
  const posted = await changeUntil(c, () => watch.take().filter((n) => n > 0).length >= kPicturesInRun, 1500);
  assert.ok(watch.take().filter((n) => n > 0).length >= kPicturesInRun,
    `${posted} posts, pictures showing ${watch.shown.join(' ')}`);
  // The last change is pictured once the run has stopped.
  await c.until(() => watch.take().includes(posted));
  // Frames this cheap are never held, however fast the posts come.
  assert.equal(String(await c.query('__holds')), '0');
  c.send('X');
  await new Promise((r) => c.socket.on('close', r));
});

test('a view that goes quiet is drawn and pictured at its own pace while another view keeps changing', async () => {
  const views = [await openView(kFullScreen[0], kFullScreen[1]), await openView(kFullScreen[0], kFullScreen[1])];
  for (const v of views) {
    await v.query(manyLabels(3000));
    await v.query(`document.body.insertAdjacentHTML('beforeend', '${kMarker}'); ${kCountHolds}`);
  }
  const [quiet, busy] = views;
  const watch = watchChanges(quiet);
  // Both change together; then the quiet one stops, and the busy one goes on
  // until the quiet one's last change is pictured.
  let pictured = false;
  const busyPosts = changeUntil(busy, () => pictured, 1000000, (n) => ({ action: 46, en: '#M0', pv: String(n) }));
  const kQuietRun = 300;
  await changeUntil(quiet, (n) => n >= kQuietRun, kQuietRun);
  await quiet.until(() => watch.take().includes(kQuietRun));
  pictured = true;
  assert.ok(await busyPosts > 0);
  assert.ok(Number(await quiet.query('__holds')) > 0, 'the quiet view\'s drawing was held while it changed');
  for (const v of views) v.send('X');
  await Promise.all(views.map((v) => new Promise((r) => v.socket.on('close', r))));
});

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

// With QOV_PAGEHOST_TRACE the host writes, when it ends, one line per post:
// the number the client gave it (its "qn" as the client writes it) and four
// times that follow one another; and one line "C" per control command, with
// its two times and its name. Without it no file is written.
test('the hop trace names each post by its number and times it in order', async () => {
  const { spawn } = require('child_process');
  const traceFile = path.join(dir, 'hops.tsv');
  const controlFile = path.join(dir, 'hops.port');
  const run = (env) => new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(__dirname, '..', 'pagehost.js'), '--port', '0'],
      { env: { ...process.env, ...env }, stdio: ['ignore', 'pipe', 'ignore'] });
    const t = setTimeout(() => { child.kill('SIGKILL'); reject(new Error('host did not answer')); }, kPollDeadlineMs);
    let out = '';
    child.stdout.on('data', (d) => {
      out += d;
      const m = /listening (\d+)/.exec(out);
      if (!m || child.talked) return;
      child.talked = true;
      const socket = net.connect(Number(m[1]), '127.0.0.1');
      let acks = 0, buf = Buffer.alloc(0);
      socket.on('data', (b) => {
        buf = Buffer.concat([buf, b]);
        while (buf.length >= 5 && buf.length >= 5 + buf.readUInt32LE(0)) {
          if (buf[4] === 'K'.charCodeAt(0) && ++acks === 2) child.kill('SIGTERM');
          buf = buf.subarray(5 + buf.readUInt32LE(0));
        }
      });
      const control = net.connect(Number(fs.readFileSync(controlFile, 'utf8')), '127.0.0.1');
      control.write('{"cmd":"echo","text":"x"}\n');
      control.once('data', () => {
        socket.write(frame('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html')));
        for (const qn of [7, 4294967295]) socket.write(frame('P', `{ "action": 30, "js": "1+1", "qn": ${qn}}`));
      });
    });
    child.on('exit', () => { clearTimeout(t); resolve(); });
  });
  await run({ QOV_PAGEHOST_TRACE: traceFile, QOV_PAGEHOST_CONTROL_FILE: controlFile });
  const lines = fs.readFileSync(traceFile, 'utf8').trim().split('\n').map((l) => l.split('\t'));
  const control = lines.filter((f) => f[0] === 'C');
  assert.deepEqual(control.map((f) => f[3]), ['echo']);
  assert.ok(Number(control[0][2]) >= Number(control[0][1]), control[0].join(' '));
  const rows = lines.filter((f) => f[0] !== 'S' && f[0] !== 'C');
  assert.deepEqual(rows.map((f) => f[0]), ['7', '4294967295']);
  for (const f of rows) {
    const t = f.slice(1, 5).map(Number);
    assert.ok(t.every((x, i) => Number.isFinite(x) && (i === 0 || x >= t[i - 1])), f.join(' '));
  }
  fs.rmSync(traceFile);
  await run({ QOV_PAGEHOST_TRACE: '', QOV_PAGEHOST_CONTROL_FILE: controlFile });
  assert.equal(fs.existsSync(traceFile), false);
});
