// pagehost_screen.js - the page host's screen while a server keeps changing
// the page: today's host and the host of a reference commit (9364964 unless
// QOV_SCREEN_REFERENCE names another), each started on its own, driven in
// turns through their TCP channel as the client drives them (every post
// awaited, as the client's flush waits for its acknowledgement), with the
// same page files. The pictures are timed as they reach the client's side;
// which change a picture shows is read from a marker box in its top left
// corner whose colour each post sets.
//
// Usage: node bench/pagehost_screen.js [scene ...]
// Scenes: full (a full-screen page changed without pause), small (a 400 x 240
// page changed every 10-20 ms), lone (a change after a quiet second), labels
// (3,000 labels made one by one on a full-screen page), resize (a resize
// during a run of posts), views (four busy full-screen views), keys (typed
// letters echoed by the server). QOV_SCREEN_SECONDS sets a run's length.
'use strict';
const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

const here = path.resolve(__dirname, '..');
const hostDir = path.join(here, 'webview', 'pagehost');
const { frame, frameReader } = require(path.join(hostDir, 'pagehost'));
const { assemblePageDir } = require(path.join(hostDir, 'pagefiles'));

const kReference = process.env.QOV_SCREEN_REFERENCE || '9364964';
const kSeconds = Number(process.env.QOV_SCREEN_SECONDS || 15);
const kFullScreen = [1280, 1024];
const kSmall = [400, 240];
const kDeadlineMs = 30000;
const kMarker = 'qovmark';

// ---- Hosts -------------------------------------------------------------------------

// The reference host's files, taken from the repository's history into a
// folder of their own, beside today's node_modules.
function referenceHostDir(work) {
  const dest = path.join(work, 'reference');
  fs.mkdirSync(dest, { recursive: true });
  const tar = execFileSync('git', ['-C', here, 'archive', kReference, 'webview/pagehost'], { maxBuffer: 64 << 20 });
  execFileSync('tar', ['-x', '-C', dest], { input: tar });
  const dir = path.join(dest, 'webview', 'pagehost');
  fs.symlinkSync(path.join(hostDir, 'node_modules'), path.join(dir, 'node_modules'));
  return dir;
}

function startHost(dir) {
  return new Promise((resolve, reject) => {
    const child = spawn(process.execPath, [path.join(dir, 'pagehost.js'), '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let out = '';
    child.stdout.on('data', (d) => {
      out += d;
      const m = /listening (\d+)/.exec(out);
      if (m) resolve({ port: Number(m[1]), stop: () => child.kill('SIGTERM') });
    });
    child.on('exit', () => reject(new Error('host ended')));
  });
}

// ---- A view, as the client's side sees it ------------------------------------------

// The colour a picture's marker shows: the top left pixels of the PNG, read
// from the first rows only (a full-screen picture is not decoded whole).
function markerOf(png) {
  let pos = 8;
  let header = null;
  const data = [];
  while (pos + 8 <= png.length) {
    const len = png.readUInt32BE(pos), type = png.toString('latin1', pos + 4, pos + 8);
    if (type === 'IHDR') header = { width: png.readUInt32BE(pos + 8), height: png.readUInt32BE(pos + 12), colour: png[pos + 17] };
    else if (type === 'IDAT') data.push(png.subarray(pos + 8, pos + 8 + len));
    else if (type === 'IEND') break;
    pos += 12 + len;
    if (data.length && type !== 'IDAT') break;
  }
  const channels = header.colour === 6 ? 4 : 3;
  const stride = header.width * channels;
  const raw = zlib.inflateSync(Buffer.concat(data).subarray(0, 1 << 16), { finishFlush: zlib.constants.Z_SYNC_FLUSH });
  // Rows 0 and 1, filters None, Sub and Up (Chromium's own choice per row).
  const rows = [];
  for (let y = 0; y < 3; y++) {
    const line = raw.subarray(y * (stride + 1) + 1, y * (stride + 1) + 1 + 4 * channels);
    const filter = raw[y * (stride + 1)];
    const out = Buffer.alloc(4 * channels);
    for (let i = 0; i < out.length; i++) {
      const left = i >= channels ? out[i - channels] : 0;
      const up = y > 0 ? rows[y - 1][i] : 0;
      const upLeft = y > 0 && i >= channels ? rows[y - 1][i - channels] : 0;
      let p = 0;
      if (filter === 1) p = left;
      else if (filter === 2) p = up;
      else if (filter === 3) p = (left + up) >> 1;
      else if (filter === 4) {
        const q = left + up - upLeft, pa = Math.abs(q - left), pb = Math.abs(q - up), pc = Math.abs(q - upLeft);
        p = pa <= pb && pa <= pc ? left : (pb <= pc ? up : upLeft);
      }
      out[i] = (line[i] + p) & 0xff;
    }
    rows.push(out);
  }
  const px = rows[2].subarray(2 * channels, 3 * channels);
  return { width: header.width, height: header.height, n: (px[0] << 16) | (px[1] << 8) | px[2] };
}

function connect(port) {
  const socket = net.connect(port, '127.0.0.1');
  socket.setNoDelay(true);
  const view = { socket, pictures: [], acks: 0, replies: [], waiters: [] };
  const read = frameReader((type, body) => {
    if (type === 'S') view.pictures.push({ at: performance.now(), ...markerOf(body) });
    else if (type === 'K') view.acks++;
    else if (type === 'W') view.replies.push(body.toString('utf8'));
  });
  socket.on('data', (d) => {
    read(d);
    view.waiters = view.waiters.filter((w) => !w());
  });
  view.until = (pred) => new Promise((resolve, reject) => {
    const t = setTimeout(() => reject(new Error(`timed out: ${view.pictures.length} pictures, the last showing ` +
      `${view.pictures.slice(-3).map((p) => `${p.n} at ${p.at.toFixed(0)}`).join(', ')}; now ${performance.now().toFixed(0)}`)), kDeadlineMs);
    const check = () => { if (pred()) { clearTimeout(t); resolve(); return true; } return false; };
    if (!check()) view.waiters.push(check);
  });
  view.send = (type, payload) => socket.write(frame(type, payload));
  // One post, awaited as the client's flush awaits it.
  view.post = async (obj) => {
    const want = view.acks + 1;
    view.send('P', typeof obj === 'string' ? obj : JSON.stringify(obj));
    await view.until(() => view.acks >= want);
  };
  view.js = (js) => view.post({ action: 30, js });
  view.size = (w, h) => {
    const b = Buffer.alloc(8);
    b.writeUInt32LE(w, 0);
    b.writeUInt32LE(h, 4);
    view.send('B', b);
  };
  return view;
}

async function openView(port, dir, [w, h]) {
  const v = connect(port);
  v.size(w, h);
  v.send('N', 'file:///Z:' + path.join(dir, 'qovwvstart.html'));
  await v.until(() => v.replies.includes('{"action":1}'));
  await v.js(`document.body.insertAdjacentHTML("beforeend", '<div id="${kMarker}" style="position:fixed;left:0;top:0;` +
    `width:8px;height:8px;z-index:99;background:rgb(0,0,0)"></div><div id="cap" style="position:absolute;left:20px;top:20px">0</div>'); 1`);
  // The pictures from before the marker count for nothing.
  await v.until(() => v.pictures.some((p) => p.n === 0));
  v.pictures.length = 0;
  return v;
}

// The page actions the client sends: a control's markup inserted, a text set,
// a style set (the marker's colour, which names the change).
const kActInsert = 19, kActSetCss = 23, kActText = 46, kActDelete = 20;
const markMsg = (n) => ({ action: kActSetCss, en: '#' + kMarker, pn: 'background-color',
  pv: `rgb(${(n >> 16) & 255},${(n >> 8) & 255},${n & 255})` });
const caption = (n, text) => ({ msgs: [{ action: kActText, en: '#cap', pv: text }, markMsg(n)] });
const label = (id, left, top) => ({ action: kActInsert, name: id,
  html: `<div id="${id}" style="position:absolute;left:${left}px;top:${top}px;width:40px;height:18px">${id}</div>` });
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const between = (lo, hi) => lo + Math.random() * (hi - lo);

// Time from at (when the post that made change n was acknowledged) until the
// first picture that shows n (or later) arrived; 0 when one came before.
async function shownAfter(v, n, at) {
  await v.until(() => v.pictures.some((p) => p.n >= n));
  return Math.max(0, v.pictures.find((p) => p.n >= n).at - at);
}

function gaps(pictures, from, to) {
  const times = [from, ...pictures.filter((p) => p.at >= from && p.at <= to).map((p) => p.at), to];
  let longest = 0;
  for (let i = 1; i < times.length; i++) longest = Math.max(longest, times[i] - times[i - 1]);
  return { count: times.length - 2, longest };
}

// ---- Scenes -------------------------------------------------------------------------

// A page changed by awaited posts without pause (a caption and the marker
// every lo-hi ms): pictures a second, the longest gap, the last change's delay.
async function changedRun(port, dir, size, lo, hi) {
  const v = await openView(port, dir, size);
  await sleep(500);
  const start = performance.now();
  let n = 0;
  let postsMs = 0;
  let lastAt = 0;
  while (performance.now() - start < kSeconds * 1000) {
    n++;
    const t = performance.now();
    await v.post(caption(n, `caption ${n}`));
    postsMs += performance.now() - t;
    lastAt = performance.now();
    await sleep(between(lo, hi));
  }
  const end = performance.now();
  const last = await shownAfter(v, n, lastAt);
  const g = gaps(v.pictures, start, end);
  v.socket.destroy();
  return { perSecond: g.count / ((end - start) / 1000), longestGapMs: g.longest, lastShownMs: last, postMs: postsMs / n };
}

async function lone(port, dir) {
  const v = await openView(port, dir, kFullScreen);
  const delays = [];
  for (let n = 1; n <= 7; n++) {
    await sleep(1000);
    const at = performance.now();
    await v.post(caption(n, `lone ${n}`));
    delays.push(await shownAfter(v, n, at));
  }
  v.socket.destroy();
  delays.sort((a, b) => a - b);
  return { medianMs: delays[delays.length >> 1], worstMs: delays[delays.length - 1] };
}

async function labels(port, dir) {
  const v = await openView(port, dir, kFullScreen);
  await sleep(500);
  const kCount = 3000;
  const start = performance.now();
  for (let i = 1; i <= kCount; i++) {
    await v.post(label(`L${i}`, (i % 30) * 42, 40 + (Math.floor(i / 30) % 45) * 21));
    if (i % 100 === 0) await v.post(markMsg(i));
  }
  const end = performance.now();
  const g = gaps(v.pictures, start, end);
  const last = await shownAfter(v, kCount, end);
  v.socket.destroy();
  return { postsPerSecond: kCount / ((end - start) / 1000), longestGapMs: g.longest, lastShownMs: last };
}

async function resize(port, dir) {
  const v = await openView(port, dir, [1000, 800]);
  const delays = [];
  for (let round = 0; round < 5; round++) {
    const want = round % 2 ? [1000, 800] : kFullScreen;
    let n = 0, at = 0;
    const start = performance.now();
    while (performance.now() - start < 2000) {
      n++;
      if (n === 20) { at = performance.now(); v.size(want[0], want[1]); }
      await v.post(caption(n, `r ${n}`));
      await sleep(between(10, 30));
    }
    await v.until(() => v.pictures.some((p) => p.at >= at && p.width === want[0] && p.height === want[1]));
    delays.push(v.pictures.find((p) => p.at >= at && p.width === want[0] && p.height === want[1]).at - at);
  }
  v.socket.destroy();
  delays.sort((a, b) => a - b);
  return { medianMs: delays[delays.length >> 1], worstMs: delays[delays.length - 1] };
}

async function views(port, dir) {
  const vs = [];
  for (let i = 0; i < 4; i++) vs.push(await openView(port, dir, kFullScreen));
  const rounds = 4;
  const lastN = [];
  const ends = [];
  await Promise.all(vs.map(async (v, k) => {
    let n = 0;
    for (let r = 0; r < rounds + k; r++) {
      for (let i = 1; i <= 100; i++) {
        await v.post(label(`V${i}`, (i % 20) * 60, 40 + Math.floor(i / 20) * 30));
      }
      for (let i = 1; i <= 100; i++) await v.post({ msgs: [{ action: kActText, en: `#V${i}`, pv: `W${r}` }, markMsg(++n)] });
      for (let i = 1; i <= 100; i++) await v.post({ action: kActDelete, delid: `V${i}` });
    }
    await v.post(markMsg(++n));
    lastN[k] = n;
    ends[k] = performance.now();
  }));
  const shown = [];
  for (let k = 0; k < vs.length; k++) shown.push(await shownAfter(vs[k], lastN[k], ends[k]));
  for (const v of vs) v.socket.destroy();
  return { worstLastShownMs: Math.max(...shown), lastShownMs: shown.map((x) => Math.round(x)).join('/') };
}

// Letters typed into an edit of a small page, each echoed by the server (a
// post that sets a caption and the marker, as a $CHANGE handler would): how
// late each is pictured after its key.
async function keys(port, dir) {
  const v = await openView(port, dir, kSmall);
  await v.post({ action: kActInsert, name: 'E1', html: '<input id="E1" style="position:absolute;left:10px;top:60px;width:200px">' });
  const input = (m) => v.send('I', JSON.stringify(m));
  input({ t: 'm', type: 'down', button: 'left', x: 50, y: 70, clicks: 1 });
  input({ t: 'm', type: 'up', button: 'left', x: 50, y: 70, clicks: 1 });
  await sleep(300);
  const delays = [];
  for (let n = 1; n <= 40; n++) {
    const at = performance.now();
    const ch = String.fromCharCode(97 + (n % 26));
    input({ t: 'k', type: 'down', vk: ch.toUpperCase().charCodeAt(0) });
    input({ t: 'c', text: ch });
    input({ t: 'k', type: 'up', vk: ch.toUpperCase().charCodeAt(0) });
    await v.post(caption(n, `typed ${n}`));
    delays.push(await shownAfter(v, n, at));
    await sleep(between(30, 80));
  }
  v.socket.destroy();
  delays.sort((a, b) => a - b);
  return { medianMs: delays[delays.length >> 1], worstMs: delays[delays.length - 1] };
}

const kScenes = {
  full: (p, d) => changedRun(p, d, kFullScreen, 10, 100),
  small: (p, d) => changedRun(p, d, kSmall, 10, 20),
  lone,
  labels,
  resize,
  views,
  keys,
};

async function main() {
  const wanted = process.argv.slice(2).length ? process.argv.slice(2) : Object.keys(kScenes);
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qov-screen-'));
  const pageDir = assemblePageDir(path.join(work, 'qovwv_html'));
  const hosts = [['today', hostDir], [kReference, referenceHostDir(work)]];
  const load = () => os.loadavg()[0].toFixed(1);
  try {
    for (const scene of wanted) {
      const results = [];
      for (const [name, dir] of hosts) {
        const h = await startHost(dir);
        const before = load();
        // A host that never shows what a scene waits for is reported, and the
        // run goes on.
        const r = await kScenes[scene](h.port, pageDir).catch((e) => ({ failed: e.message.split(':')[0] }));
        results.push(r);
        const figures = Object.entries(r).map(([k, x]) => `${k} ${typeof x === 'number' ? x.toFixed(x < 10 ? 2 : 0) : x}`).join(', ');
        console.log(`${scene.padEnd(7)} ${name.padEnd(8)} ${figures} (load ${before}-${load()})`);
        h.stop();
        await sleep(500);
      }
      // Each figure of today's host over the reference's, measured in the same run.
      const ratios = Object.keys(results[0]).filter((k) => typeof results[0][k] === 'number' && results[1][k] > 0)
        .map((k) => `${k} ${(results[0][k] / results[1][k]).toFixed(2)}`);
      console.log(`${scene.padEnd(7)} ratio    ${ratios.join(', ')}`);
    }
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

if (require.main === module) main().catch((e) => { console.error(e); process.exit(1); });
