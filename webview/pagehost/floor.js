// floor.js - the floor of a web read, for the web view benchmark only: one bare
// Runtime.evaluate on a page over Chromium's own DevTools WebSocket, timed in
// the host. The WebSocket needs a DevTools port on loopback, which any local
// program could use, so the browser opens one only when QOV_PAGEHOST_FLOOR is
// set (bench/run.sh sets it for the benchmark's host); the host's own calls
// never go through it.
'use strict';
const fs = require('fs');
const path = require('path');
const { ws: WebSocket } = require('playwright-core/lib/utilsBundle');

const kFloorSetting = 'QOV_PAGEHOST_FLOOR';
const kPortFile = 'DevToolsActivePort';
const kPortWaitMs = 5000;
const kPollMs = 50;

// The browser's extra argument: a DevTools port chosen by Chromium.
function floorArgs() {
  return process.env[kFloorSetting] ? ['--remote-debugging-port=0'] : [];
}

// The port Chromium writes into its profile once it listens.
async function devToolsPort(profile) {
  const deadline = Date.now() + kPortWaitMs;
  for (;;) {
    try {
      const port = Number(fs.readFileSync(path.join(profile, kPortFile), 'utf8').split('\n')[0]);
      if (port > 0) return port;
    } catch (e) { /* not written yet */ }
    if (Date.now() > deadline) throw new Error('the browser has no DevTools port');
    await new Promise((r) => setTimeout(r, kPollMs));
  }
}

// One open WebSocket per page, kept for its later calls.
const sockets = new WeakMap();

async function pageSocket(page, profile) {
  const kept = sockets.get(page);
  if (kept) return kept;
  const cdp = await page.context().newCDPSession(page);
  const { targetInfo } = await cdp.send('Target.getTargetInfo');
  await cdp.detach().catch(() => {});
  const port = await devToolsPort(profile);
  const socket = new WebSocket(`ws://127.0.0.1:${port}/devtools/page/${targetInfo.targetId}`,
    { perMessageDeflate: false });
  await new Promise((resolve, reject) => { socket.once('open', resolve); socket.once('error', reject); });
  const state = { socket, next: 0, waiting: new Map() };
  socket.on('message', (data) => {
    const m = JSON.parse(String(data));
    const done = state.waiting.get(m.id);
    if (done) { state.waiting.delete(m.id); done(m); }
  });
  page.once('close', () => socket.close());
  sockets.set(page, state);
  return state;
}

// The milliseconds one bare evaluation of "0" takes, from the send to its answer.
async function floorCall(page, profile) {
  if (!process.env[kFloorSetting]) throw new Error(`no DevTools port (${kFloorSetting} is not set)`);
  const s = await pageSocket(page, profile);
  const id = ++s.next;
  const answered = new Promise((resolve) => s.waiting.set(id, resolve));
  const t0 = process.hrtime.bigint();
  s.socket.send(JSON.stringify({ id, method: 'Runtime.evaluate', params: { expression: '0', returnByValue: true } }));
  const m = await answered;
  const ms = Number(process.hrtime.bigint() - t0) / 1e6;
  if (m.error) throw new Error(m.error.message);
  return ms;
}

module.exports = { floorArgs, floorCall };
