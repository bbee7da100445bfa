// pagehost.js - the loopback page host: each TCP connection is one web view of
// the client. It opens the page files in headless Chromium, relays the client's
// posts into the page and the page's messages back, sizes and colours the view.
//
// Frames both ways: u32 little-endian payload length, one type byte, payload.
// Client to host: 'N' navigate (UTF-8 URL), 'P' post (UTF-8 text), 'B' bounds
// (u32 width, u32 height), 'C' background (A, R, G, B), 'F' focus, 'M' parent
// moved, 'X' close. Host to client: 'W' a page message (UTF-8), 'K' a post was
// carried out (sent after every message the page posted while handling it).
'use strict';
const fs = require('fs');
const net = require('net');
const { launchBrowser } = require('./browser');
const { startControl } = require('./control');

const kMaxFrame = 64 << 20;

// The client runs under Wine: its drive Z: is the host's root.
function mapUrl(url) {
  const m = /^file:\/\/\/([A-Za-z]):\/(.*)$/.exec(url);
  if (!m) return url;
  if (m[1].toUpperCase() === 'Z') return 'file:///' + m[2];
  return url;
}

function frame(type, payload) {
  const body = Buffer.isBuffer(payload) ? payload : Buffer.from(payload || '', 'utf8');
  const head = Buffer.alloc(5);
  head.writeUInt32LE(body.length, 0);
  head.write(type, 4, 'latin1');
  return Buffer.concat([head, body]);
}

function serveConnection(socket, context, log, pages) {
  let page = null;
  let chain = Promise.resolve();
  let pending = Buffer.alloc(0);
  let closed = false;
  let background = null;

  const send = (type, payload) => { if (!closed) socket.write(frame(type, payload)); };
  const queue = (fn) => { chain = chain.then(fn).catch((e) => log(`view error: ${e.message}`)); };

  async function drain() {
    if (!page || page.isClosed()) return;
    const out = await page.evaluate(() => (window.__qovDrain ? window.__qovDrain() : []));
    for (const text of out) send('W', text);
  }

  async function applyBackground() {
    if (!page || !background) return;
    const [a, r, g, b] = background;
    await page.evaluate((c) => { document.documentElement.style.backgroundColor = c; },
      `rgba(${r},${g},${b},${a / 255})`).catch(() => {});
  }

  async function ensurePage() {
    if (page) return page;
    const opened = await context.newPage();
    page = opened;
    pages.push(opened);
    // A closed view's page leaves the list: a host serving many windows one
    // after another keeps only the pages still open.
    opened.on('close', () => {
      const at = pages.indexOf(opened);
      if (at >= 0) pages.splice(at, 1);
    });
    await page.exposeFunction('__qovWake', () => queue(drain));
    page.on('load', () => queue(applyBackground));
    page.on('pageerror', (e) => log(`page error: ${e.message}`));
    return page;
  }

  async function handle(type, body) {
    switch (type) {
      case 'N':
        await ensurePage();
        await page.goto(mapUrl(body.toString('utf8')));
        break;
      case 'P': {
        if (!page) { send('K'); break; }
        const out = await page.evaluate((t) => (window.__qovDeliver ? window.__qovDeliver(t) : []),
          body.toString('utf8')).catch(() => []);
        for (const text of out) send('W', text);
        send('K');
        break;
      }
      case 'B':
        if (body.length >= 8) {
          await ensurePage();
          await page.setViewportSize({
            width: Math.max(1, body.readUInt32LE(0)), height: Math.max(1, body.readUInt32LE(4)),
          });
        }
        break;
      case 'C':
        if (body.length >= 4) { background = [...body.subarray(0, 4)]; await applyBackground(); }
        break;
      case 'F':
        if (page) await page.bringToFront();
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

  socket.on('data', (data) => {
    pending = Buffer.concat([pending, data]);
    while (pending.length >= 5) {
      const n = pending.readUInt32LE(0);
      if (n > kMaxFrame) { socket.destroy(); return; }
      if (pending.length < 5 + n) break;
      const type = String.fromCharCode(pending[4]);
      const body = Buffer.from(pending.subarray(5, 5 + n));
      pending = pending.subarray(5 + n);
      queue(() => handle(type, body));
    }
  });
  const finish = () => {
    if (closed) return;
    closed = true;
    queue(async () => { if (page) await page.close().catch(() => {}); page = null; });
  };
  socket.on('close', finish);
  socket.on('error', finish);
}

async function startPageHost({ port = 0, log = () => {}, controlFile = process.env.QOV_PAGEHOST_CONTROL_FILE } = {}) {
  const browser = await launchBrowser();
  const sockets = new Set();
  const pages = [];
  let watcher = () => {};
  const server = net.createServer((socket) => {
    socket.setNoDelay(true);
    sockets.add(socket);
    watcher(sockets.size);
    socket.on('close', () => { sockets.delete(socket); watcher(sockets.size); });
    serveConnection(socket, browser.context, log, pages);
  });
  await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  // The tests' control connection, when a file is named for its port.
  let control = null;
  if (controlFile) {
    control = await startControl({ pages: () => pages, log });
    fs.writeFileSync(controlFile + '.tmp', String(control.port));
    fs.renameSync(controlFile + '.tmp', controlFile);
  }
  return {
    port: server.address().port,
    onConnections(fn) { watcher = fn; },
    pageCount() { return pages.length; },
    async close() {
      for (const s of sockets) s.destroy();
      if (control) await control.close();
      await new Promise((resolve) => server.close(resolve));
      await browser.close();
    },
  };
}

module.exports = { startPageHost, mapUrl, frame };

// With --exit-when-idle the host ends itself once its views are all closed
// (or none came): the client that started it does not have to stop it.
const kIdleFirstMs = 60000;
const kIdleAfterMs = 5000;

if (require.main === module) {
  const args = process.argv.slice(2);
  const valueOf = (name) => { const i = args.indexOf(name); return i >= 0 ? args[i + 1] : undefined; };
  const port = Number(valueOf('--port') || 0);
  const portFile = valueOf('--port-file');
  const verbose = args.includes('--verbose');
  const idleExit = args.includes('--exit-when-idle');
  startPageHost({ port, log: verbose ? (t) => console.error(t) : () => {} }).then((host) => {
    console.log(`listening ${host.port}`);
    // Written whole under another name first, so a reader never sees half a number.
    if (portFile) {
      fs.writeFileSync(portFile + '.tmp', String(host.port));
      fs.renameSync(portFile + '.tmp', portFile);
    }
    const stop = () => host.close().then(() => process.exit(0));
    process.on('SIGTERM', stop);
    process.on('SIGINT', stop);
    if (idleExit) {
      let timer = setTimeout(stop, kIdleFirstMs);
      host.onConnections((count) => {
        clearTimeout(timer);
        if (count === 0) timer = setTimeout(stop, kIdleAfterMs);
      });
    }
  }).catch((e) => {
    console.error(`page host failed: ${e.message}`);
    process.exit(1);
  });
}
