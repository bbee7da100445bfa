// pagehost.js - the loopback page host: each TCP connection is one web view of
// the client. It opens the page files in headless Chromium, relays the client's
// posts into the page and the page's messages back, sizes and colours the view.
//
// Frames both ways: u32 little-endian payload length, one type byte, payload.
// Client to host: 'N' navigate (UTF-8 URL), 'P' post (UTF-8 text), 'B' bounds
// (u32 width, u32 height), 'C' background (A, R, G, B), 'F' focus, 'M' parent
// moved, 'X' close, 'I' the user's input in the view's window (UTF-8 JSON, see
// input.js; replayed at once, never behind a post). Host to client: 'W' a page
// message (UTF-8), 'K' a post was carried out (sent after every message the
// page posted while handling it), 'S' a picture of the page (PNG, the page's
// size, one page pixel a window pixel), sent whenever the page's look changed
// (at a pace while the client's posts keep changing it, see input.js),
// 'Y' the answer to an input frame that asked the page (its number, ':', the
// selected text for the Windows clipboard or an edit menu's state; UTF-8).
'use strict';
const fs = require('fs');
const net = require('net');
const { launchBrowser, sizeView } = require('./browser');
const { startControl } = require('./control');
const { startScreen } = require('./input');
const { floorCall } = require('./floor');

const kMaxFrame = 64 << 20;
const kFrameHead = 5;   // the u32 length and the type byte

// With QOV_PAGEHOST_TRACE naming a file, every post's hops in the host are
// timed (the frame read, its turn in the view's chain, the page's call
// returned, the answer written) and written there, tab-separated in
// milliseconds with the post's number, when the host ends; after each
// answer an empty call into the page is timed as well, the DevTools floor of
// the same moment, and then a drain through the shim, the same call as a
// post's without the page's work; each picture of the page sent is a line "S", its time and
// size; each command of the control connection is a line "C", the time its
// line was read, the time its answer was written and the command's name (a
// check that never got here shows as no line). Without it nothing is recorded.
const kTraceFile = process.env.QOV_PAGEHOST_TRACE;
const traced = kTraceFile ? [] : null;
const traceNow = () => Number(process.hrtime.bigint()) / 1e6;
if (traced) {
  process.on('exit', () => {
    fs.writeFileSync(kTraceFile, traced.map((r) => r.join('\t')).join('\n') + '\n');
  });
}

// The client runs under Wine: its drive Z: is the host's root.
function mapUrl(url) {
  const m = /^file:\/\/\/([A-Za-z]):\/(.*)$/.exec(url);
  if (!m) return url;
  if (m[1].toUpperCase() === 'Z') return 'file:///' + m[2];
  return url;
}

// Frames, each [type, payload], one after another in one buffer.
function frames(list) {
  const bodies = list.map(([type, payload]) =>
    [type, Buffer.isBuffer(payload) ? payload : Buffer.from(payload || '', 'utf8')]);
  let size = 0;
  for (const [, body] of bodies) size += kFrameHead + body.length;
  const out = Buffer.allocUnsafe(size);
  let at = 0;
  for (const [type, body] of bodies) {
    out.writeUInt32LE(body.length, at);
    out.write(type, at + 4, 1, 'latin1');
    body.copy(out, at + kFrameHead);
    at += kFrameHead + body.length;
  }
  return out;
}

function frame(type, payload) {
  return frames([[type, payload]]);
}

// The client's side of the frames (the tests' and the bench's): fed what the
// connection reads, it hands each whole frame to onFrame(type, body).
function frameReader(onFrame) {
  let buf = Buffer.alloc(0);
  return (data) => {
    buf = buf.length ? Buffer.concat([buf, data]) : data;
    while (buf.length >= kFrameHead && buf.length >= kFrameHead + buf.readUInt32LE(0)) {
      const n = buf.readUInt32LE(0);
      onFrame(String.fromCharCode(buf[4]), Buffer.from(buf.subarray(kFrameHead, kFrameHead + n)));
      buf = buf.subarray(kFrameHead + n);
    }
  };
}

// The posts each page has carried out, for the control connection's "posts"
// check: how many cross-process posts the client's messages took.
const postCounts = new WeakMap();

function serveConnection(socket, browser, log, pages) {
  let page = null;
  let chain = Promise.resolve();
  let gathered = [];      // what came and is not yet whole frames
  let gatheredSize = 0;
  let needed = kFrameHead; // bytes that make the next whole frame
  let closed = false;
  let background = null;
  let screen = null;

  const send = (type, payload) => { if (!closed) socket.write(frame(type, payload)); };
  const queue = (fn) => { chain = chain.then(fn).catch((e) => log(`view error: ${e.message}`)); };

  // Calls a function of the shim in the page straight over the page's DevTools
  // session (a third quicker than page.evaluate, which goes through
  // Playwright's own client, server and serialising script), on a handle to
  // the page's window kept from one call to the next: the call's text is the
  // same each time, so the page compiles it once, and the post goes as an
  // argument, never parsed as script. A handle a navigation left behind is
  // refused before anything runs, so the call is made once more on a fresh one.
  // The page's messages it returns (none when the page has none or the call
  // failed), and whether the call changed the document.
  let pageWindow = null;
  async function windowHandle() {
    if (!pageWindow) {
      pageWindow = screen.session.send('Runtime.evaluate', { expression: 'window' })
        .then((r) => (r && r.result && r.result.objectId) || null, () => null);
    }
    const id = await pageWindow;
    if (!id) pageWindow = null;
    return id;
  }
  const kStaleHandle = /Could not find object with given id|Cannot find context with specified id/i;
  // A post is delivered with the page's drawing paced (see shim.js); the
  // call answers the page's messages, whether the document changed, whether
  // its drawing is held and whether the next post may hold it.
  const kShimCall = 'function (name, text) { var fn = this[name]; var out = typeof fn === "function" ? fn(text, true) : []; ' +
    'return [out, typeof this.__qovChanged === "function" ? this.__qovChanged() : true, ' +
    'typeof this.__qovDrawingHeld === "function" && this.__qovDrawingHeld(), ' +
    'typeof this.__qovMayHold !== "function" || this.__qovMayHold()]; }';
  async function shimCallOn(id, name, text) {
    const args = [{ value: name }];
    if (text !== undefined) args.push({ value: text });
    return screen.session.send('Runtime.callFunctionOn', {
      functionDeclaration: kShimCall, objectId: id, arguments: args, returnByValue: true,
    });
  }
  const kNothing = { out: [], changed: false, held: false, mayHold: true };
  async function shimCall(name, text) {
    if (!page || page.isClosed() || !screen) return kNothing;
    let r = null;
    for (let attempt = 0; attempt < 2 && !r; attempt++) {
      const id = await windowHandle();
      if (!id) break;
      let stale = false;
      r = await shimCallOn(id, name, text).catch((e) => {
        stale = kStaleHandle.test(String(e && e.message));
        if (stale) pageWindow = null;
        return null;
      });
      if (!stale) break;
    }
    const value = r && !r.exceptionDetails && r.result ? r.result.value : null;
    if (!Array.isArray(value) || !Array.isArray(value[0])) return kNothing;
    return { out: value[0], changed: value[1] !== false, held: value[2] === true, mayHold: value[3] !== false };
  }

  // The page's messages, and the acknowledgement after them, in one buffer
  // written once (a segment each would wake the client once per frame; a
  // corked stream's gathered write took some 20 µs more a post).
  function sendAll(texts, ack) {
    if (closed || (!texts.length && !ack)) return;
    const list = texts.map((text) => ['W', String(text)]);
    if (ack) list.push(['K']);
    socket.write(frames(list));
  }

  async function drain() {
    sendAll((await shimCall('__qovDrain')).out, false);
  }

  async function applyBackground() {
    if (!page || !background) return;
    const [a, r, g, b] = background;
    await page.evaluate((c) => { document.documentElement.style.backgroundColor = c; },
      `rgba(${r},${g},${b},${a / 255})`).catch(() => {});
  }

  async function ensurePage() {
    if (page) return page;
    const opened = await browser.newPage();
    page = opened;
    pages.push(opened);
    // A closed view's page leaves the list: a host serving many windows one
    // after another keeps only the pages still open.
    opened.on('close', () => {
      const at = pages.indexOf(opened);
      if (at >= 0) pages.splice(at, 1);
    });
    screen = await startScreen(page, (png) => { if (traced) traced.push(['S', traceNow().toFixed(4), png.length]); send('S', png); }, log,
      (text) => send('Y', text));
    await page.exposeFunction('__qovWake', () => queue(drain));
    page.on('load', () => queue(applyBackground));
    // A new document: its window is another object.
    page.on('framenavigated', (f) => { if (f === page.mainFrame()) pageWindow = null; });
    page.on('pageerror', (e) => log(`page error: ${e.message}`));
    return page;
  }

  async function handle(type, body, readAt) {
    switch (type) {
      case 'N':
        await ensurePage();
        await page.goto(mapUrl(body.toString('utf8')));
        break;
      case 'P': {
        if (!page) { send('K'); break; }
        postCounts.set(page, (postCounts.get(page) || 0) + 1);
        const text = body.toString('utf8');
        screen.posting();
        if (!traced) {
          const delivered = await shimCall('__qovDeliver', text);
          screen.posted(delivered.held, delivered.mayHold);
          if (delivered.changed) screen.changing(delivered.held);
          sendAll(delivered.out, true);
          break;
        }
        const turn = traceNow();
        const delivered = await shimCall('__qovDeliver', text);
        const called = traceNow();
        screen.posted(delivered.held, delivered.mayHold);
        if (delivered.changed) screen.changing(delivered.held);
        sendAll(delivered.out, true);
        const m = /"qn": (\d+)\}$/.exec(text);
        const written = traceNow();
        // Recorded before the empty call, so a host that ends meanwhile keeps the post.
        const row = [m ? m[1] : 0, readAt.toFixed(4), turn.toFixed(4), called.toFixed(4), written.toFixed(4)];
        traced.push(row);
        await screen.session.send('Runtime.evaluate', { expression: '0', returnByValue: true }).catch(() => null);
        row.push((traceNow() - written).toFixed(4));
        // Then a call through the shim that carries nothing (the drain, whose
        // messages go out as usual): the call's own cost without the page's work.
        const drained = traceNow();
        await drain();
        row.push((traceNow() - drained).toFixed(4));
        break;
      }
      case 'B':
        if (body.length >= 8) {
          await ensurePage();
          const width = Math.max(1, body.readUInt32LE(0)), height = Math.max(1, body.readUInt32LE(4));
          await screen.resized(() => sizeView(page, screen.session, width, height));
        }
        break;
      case 'C':
        if (body.length >= 4) { background = [...body.subarray(0, 4)]; await applyBackground(); }
        break;
      case 'F':
        if (screen) await screen.focus(true);
        break;
      case 'M':
        break;
      case 'X':
        socket.end();
        break;
      default:
        log(`unknown frame ${type}`);
    }
  }

  // A large frame comes in many reads: they are gathered and joined once the
  // whole frame is there, not joined read by read (each join copies all the
  // frame has so far).
  socket.on('data', (data) => {
    const readAt = traced ? traceNow() : 0;
    gathered.push(data);
    gatheredSize += data.length;
    if (gatheredSize < needed) return;
    let pending = gathered.length === 1 ? gathered[0] : Buffer.concat(gathered, gatheredSize);
    needed = kFrameHead;
    while (pending.length >= kFrameHead) {
      const n = pending.readUInt32LE(0);
      if (n > kMaxFrame) { socket.destroy(); return; }
      if (pending.length < kFrameHead + n) { needed = kFrameHead + n; break; }
      const type = String.fromCharCode(pending[4]);
      const body = Buffer.from(pending.subarray(kFrameHead, kFrameHead + n));
      pending = pending.subarray(kFrameHead + n);
      if (type === 'I') {
        if (screen) screen.input(body.toString('utf8'));
        continue;
      }
      queue(() => handle(type, body, readAt));
    }
    gathered = pending.length ? [pending] : [];
    gatheredSize = pending.length;
  });
  const finish = () => {
    if (closed) return;
    closed = true;
    queue(async () => {
      if (screen) await screen.stop();
      if (page) await page.close().catch(() => {});
      page = null;
    });
  };
  socket.on('close', finish);
  socket.on('error', finish);
}

async function startPageHost({ port = 0, log = () => {}, controlFile = process.env.QOV_PAGEHOST_CONTROL_FILE,
  onBrowserGone = () => {} } = {}) {
  const browser = await launchBrowser();
  let closing = false;
  browser.onGone(() => { if (!closing) onBrowserGone(); });
  const sockets = new Set();
  const pages = [];
  let watcher = () => {};
  let pauseNew = () => {};
  const server = net.createServer((socket) => {
    socket.setNoDelay(true);
    sockets.add(socket);
    watcher(sockets.size);
    socket.on('close', () => { sockets.delete(socket); watcher(sockets.size); });
    serveConnection(socket, browser, log, pages);
    pauseNew(socket);
  });
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  // The tests' control connection, when a file is named for its port.
  let control = null;
  if (controlFile) {
    // Paused, the views' connections are not read (a connection made
    // meanwhile starts paused too): the client's posts go unacknowledged.
    let paused = false;
    const views = {
      pause() { paused = true; for (const s of sockets) s.pause(); },
      resume() { paused = false; for (const s of sockets) s.resume(); },
    };
    pauseNew = (socket) => { if (paused) socket.pause(); };
    const trace = traced && {
      now: traceNow,
      answered: (readAt, name) => traced.push(['C', readAt.toFixed(4), traceNow().toFixed(4), name]),
    };
    control = await startControl({
      pages: () => pages, log, quit: () => process.exit(kQuitStatus), postsOf: (p) => postCounts.get(p) || 0,
      floorOf: (p) => floorCall(p, browser.profile), trace, views,
    });
    fs.writeFileSync(controlFile + '.tmp', String(control.port));
    fs.renameSync(controlFile + '.tmp', controlFile);
  }
  return {
    port: server.address().port,
    session: browser.session,
    onConnections(fn) { watcher = fn; },
    pageCount() { return pages.length; },
    async close() {
      closing = true;
      for (const s of sockets) s.destroy();
      if (control) await control.close();
      await new Promise((resolve) => server.close(resolve));
      await browser.close();
    },
  };
}

module.exports = { startPageHost, mapUrl, frame, frameReader };

// The host's own end on the control command "quit": at once, as if killed (its
// clients see their connections close), but still without leaving files.
const kQuitStatus = 3;

// With --exit-when-idle the host ends itself once its views are all closed
// (or none came): the client that started it does not have to stop it.
const kIdleFirstMs = 60000;
const kIdleAfterMs = 5000;
// A port file nobody has taken (the client deletes it once read) means the
// client that started the host is gone: the host then ends.
const kPortUnreadMs = 10000;
const kPortPollMs = 500;
const kStopGraceMs = 5000;

if (require.main === module) {
  const args = process.argv.slice(2);
  const valueOf = (name) => { const i = args.indexOf(name); return i >= 0 ? args[i + 1] : undefined; };
  const port = Number(valueOf('--port') || 0);
  const portFile = valueOf('--port-file');
  const verbose = args.includes('--verbose');
  const idleExit = args.includes('--exit-when-idle');
  // A host that cannot start says why in its port file, so the client that
  // waits there stops at once; the same line goes to stderr.
  const fail = (reason) => {
    console.error(`page host failed: ${reason}`);
    if (portFile) {
      try {
        fs.writeFileSync(portFile + '.tmp', `failed: ${String(reason).split('\n')[0]}`);
        fs.renameSync(portFile + '.tmp', portFile);
      } catch (e) { /* the client gives up after its own wait */ }
    }
    process.exit(1);
  };
  let host = null;
  // A browser that does not close in time is left to end with its pipe.
  const stop = () => {
    setTimeout(() => process.exit(0), kStopGraceMs).unref();
    return (host ? host.close() : Promise.resolve()).finally(() => process.exit(0));
  };
  process.on('SIGTERM', stop);
  process.on('SIGINT', stop);
  process.on('SIGHUP', stop);
  process.on('uncaughtException', (e) => { console.error(`page host error: ${e && e.stack}`); process.exit(1); });
  startPageHost({
    port, log: verbose ? (t) => console.error(t) : () => {},
    // Chromium crashed or was killed: the views are dead, and so is the host.
    onBrowserGone: () => { console.error('page host: the browser ended'); process.exit(1); },
  }).then((started) => {
    host = started;
    console.log(`listening ${host.port}`);
    // Written whole under another name first, so a reader never sees half a
    // number. The second line names the session folder: the client that
    // started the host removes it should the host be killed outright.
    if (portFile) {
      fs.writeFileSync(portFile + '.tmp', `${host.port}\n${host.session}\n`);
      fs.renameSync(portFile + '.tmp', portFile);
    }
    if (idleExit && portFile) {
      const written = Date.now();
      const poll = setInterval(() => {
        if (!fs.existsSync(portFile)) clearInterval(poll);
        else if (Date.now() - written > kPortUnreadMs) stop();
      }, kPortPollMs);
      poll.unref();
    }
    if (idleExit) {
      let timer = setTimeout(stop, kIdleFirstMs);
      host.onConnections((count) => {
        clearTimeout(timer);
        if (count === 0) timer = setTimeout(stop, kIdleAfterMs);
      });
    }
  }).catch((e) => fail(e && e.message ? e.message : e));
}
