// pagekit.js - what the page tests share: the start page of a fresh page
// folder opened in headless Chromium with its script errors kept, and the
// client's side of the channel: posting a message, taking the answer, and
// fetching the queued events as the client does with action 15, waiting for
// an event that input still being handled will queue; and the pixels of a
// screenshot, decoded from its PNG.
'use strict';
const fs = require('fs');
const zlib = require('zlib');
const os = require('os');
const path = require('path');
const { launchBrowser } = require('../browser');
const { assemblePageDir } = require('../pagefiles');
const { readPageActions } = require('../../genpageactions');

const kAction = Object.fromEntries(readPageActions().map((a) => [a.name, a.code]));
const kFetchEvent = kAction.kActFetchEvent, kPageEvent = kAction.kActPageEvent, kFocusEvent = 99995;
// How long a test waits for an event it expects; reached only on failure.
const kEventDeadlineMs = 30000;
const kEventPollMs = 20;

// options.consoleErrors: console errors count as script errors too.
async function openStartPage(prefix, options = {}) {
  const dir = assemblePageDir(fs.mkdtempSync(path.join(os.tmpdir(), prefix)));
  const browser = await launchBrowser();
  const page = await browser.context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e && e.message ? e.message : e)));
  if (options.consoleErrors) page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  await page.goto('file://' + path.join(dir, 'qovwvstart.html'));
  await page.waitForFunction(() => window.QovPendingEvents && window.QovPendingEvents() > 0);
  const kit = {
    browser, page, dir, errors,
    // Every message the page sends back for one post (an object, or a text
    // sent as it is).
    async post(obj) {
      const text = typeof obj === 'string' ? obj : JSON.stringify(obj);
      const out = await page.evaluate((t) => window.__qovDeliver(t), text);
      return out.map((s) => JSON.parse(s));
    },
    // The answer of a query: the last message back.
    async answer(obj) {
      const out = await kit.post(obj);
      return out[out.length - 1];
    },
    // Every queued event in order; focus reports only when asked for. With
    // an event type, fetched until one of that type has come (input the page
    // is still handling queues its events a little later).
    async events(withFocus = false, untilType = undefined) {
      const deadline = Date.now() + kEventDeadlineMs;
      const out = [];
      for (;;) {
        const sent = await kit.post({ action: kFetchEvent });
        const ev = sent[sent.length - 1];
        if (ev.action === kPageEvent) {
          delete ev.action;
          if (withFocus || ev.et !== kFocusEvent) out.push(ev);
          continue;
        }
        if (untilType === undefined || out.some((e) => e.et === untilType) || Date.now() >= deadline) return out;
        await page.waitForFunction(() => window.QovPendingEvents() > 0, null,
          { polling: kEventPollMs, timeout: Math.max(1, deadline - Date.now()) }).catch(() => {});
      }
    },
    // The messages the page sent on its own since the last drain.
    drain() {
      return page.evaluate(() => window.__qovDrain());
    },
    // Every queued event fetched and the notices sent meanwhile dropped, so
    // a test starts with an empty queue.
    async settle() {
      await kit.events(true);
      await kit.drain();
    },
    async close() {
      await browser.close();
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
  return kit;
}

const kPngSignature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
// Colour types of a PNG with eight bits a sample, and their samples a pixel.
const kPngChannels = { 0: 1, 2: 3, 4: 2, 6: 4 };
const kPngFilterNone = 0, kPngFilterSub = 1, kPngFilterUp = 2, kPngFilterAverage = 3, kPngFilterPaeth = 4;

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// The pixels of a PNG as Chromium writes screenshots (eight bits a sample,
// not interlaced): { width, height, rgb(x, y) as '#rrggbb' }. Any other form
// is refused with its reason.
function decodePng(bytes) {
  if (!bytes.subarray(0, 8).equals(kPngSignature)) throw new Error('not a PNG');
  let pos = 8, header = null;
  const data = [];
  while (pos + 8 <= bytes.length) {
    const len = bytes.readUInt32BE(pos), type = bytes.toString('latin1', pos + 4, pos + 8);
    const body = bytes.subarray(pos + 8, pos + 8 + len);
    if (type === 'IHDR') {
      header = { width: body.readUInt32BE(0), height: body.readUInt32BE(4), depth: body[8], colour: body[9], interlace: body[12] };
    } else if (type === 'IDAT') {
      data.push(body);
    } else if (type === 'IEND') {
      break;
    }
    pos += 12 + len;
  }
  if (!header) throw new Error('PNG without a header');
  const channels = kPngChannels[header.colour];
  if (header.depth !== 8 || !channels || header.interlace !== 0) {
    throw new Error(`PNG form not read here: depth ${header.depth}, colour ${header.colour}, interlace ${header.interlace}`);
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = header.width * channels;
  if (raw.length !== (stride + 1) * header.height) throw new Error('PNG data of the wrong length');
  const pixels = Buffer.alloc(stride * header.height);
  for (let y = 0; y < header.height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const out = y * stride;
    for (let i = 0; i < stride; i++) {
      const left = i >= channels ? pixels[out + i - channels] : 0;
      const up = y > 0 ? pixels[out - stride + i] : 0;
      const upLeft = y > 0 && i >= channels ? pixels[out - stride + i - channels] : 0;
      let predictor;
      if (filter === kPngFilterNone) predictor = 0;
      else if (filter === kPngFilterSub) predictor = left;
      else if (filter === kPngFilterUp) predictor = up;
      else if (filter === kPngFilterAverage) predictor = (left + up) >> 1;
      else if (filter === kPngFilterPaeth) predictor = paeth(left, up, upLeft);
      else throw new Error('PNG line filter ' + filter);
      pixels[out + i] = (line[i] + predictor) & 0xff;
    }
  }
  const hex = (v) => v.toString(16).padStart(2, '0');
  return {
    width: header.width,
    height: header.height,
    rgb(x, y) {
      const at = y * stride + x * channels;
      if (channels < 3) return '#' + hex(pixels[at]).repeat(3);
      return '#' + hex(pixels[at]) + hex(pixels[at + 1]) + hex(pixels[at + 2]);
    },
  };
}

module.exports = { openStartPage, decodePng };
