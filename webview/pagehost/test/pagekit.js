// pagekit.js - what the page tests share: the start page of a fresh page
// folder opened in headless Chromium with its script errors kept, and the
// client's side of the channel: posting a message, taking the answer, and
// fetching the queued events as the client does with action 15.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { launchBrowser } = require('../browser');
const { assemblePageDir } = require('../pagefiles');

const kFetchEvent = 15, kPageEvent = 8, kFocusEvent = 99995;

async function openStartPage(prefix) {
  const dir = assemblePageDir(fs.mkdtempSync(path.join(os.tmpdir(), prefix)));
  const browser = await launchBrowser();
  const page = await browser.context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e && e.message ? e.message : e)));
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
    // Every queued event in order; focus reports only when asked for.
    async events(withFocus = false) {
      const out = [];
      for (;;) {
        const sent = await kit.post({ action: kFetchEvent });
        const ev = sent[sent.length - 1];
        if (ev.action !== kPageEvent) break;
        delete ev.action;
        if (withFocus || ev.et !== kFocusEvent) out.push(ev);
      }
      return out;
    },
    async close() {
      await browser.close();
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
  return kit;
}

module.exports = { openStartPage };
