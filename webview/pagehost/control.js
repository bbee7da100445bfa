// control.js - the test-control connection of the page host: a loopback TCP
// server that takes one JSON command a line and answers one JSON line, acting
// on the pages with Playwright's real input. A command names its page by
// "page" (the number of the view, from 1, in the order the client made them)
// or by "sel", a selector the page holds (the newest such page wins).
//
// Commands: echo {text}; quit (the host ends at once); pause and resume (the
// host stops reading the client's view connections, as if stopped, and reads
// them again); eval {js}; posts {sel} (the
// posts the page has carried out so far); floor {sel} (the milliseconds of one
// bare evaluation over the page's DevTools WebSocket: floor.js); click and dblclick {sel, button,
// modifiers}; type {sel, text}; press {sel, key}; drag {sel, dx, dy}; wait
// {sel, timeout}; screenshot {file, sel?}; pixel {x, y} or {sel} (the centre of
// the element); expect {sel, what, value, timeout} with what one of "exists",
// "absent", "text", "value", "class", "attr:NAME", "css:NAME", "prop:NAME", "px:left|top|width|
// height" (the element's box in the page), "pixel", "scrolled" (where its own
// scrolling stands: "start", "middle" or "end"), "selection" (the text selected
// in the element's page). Answers {ok: true, ...} or
// {ok: false, error}.
'use strict';
const net = require('net');
const zlib = require('zlib');

const kDefaultTimeoutMs = 3000;
// What runs once a command's answer has been written (a symbol: not sent).
const kAfterAnswer = Symbol('after answer');
const kPollMs = 50;

// The colour of a 1 by 1 PNG: whatever the row's filter, a single pixel's
// bytes are the colour itself (every predictor is 0 for the first pixel).
function pngPixel(png) {
  let at = 8;
  const idat = [];
  let colourType = 2;
  while (at + 8 <= png.length) {
    const len = png.readUInt32BE(at);
    const type = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + len);
    if (type === 'IHDR') colourType = body[9];
    if (type === 'IDAT') idat.push(body);
    at += 12 + len;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const [r, g, b] = colourType === 0 ? [raw[1], raw[1], raw[1]] : [raw[1], raw[2], raw[3]];
  return '#' + [r, g, b].map((v) => v.toString(16).padStart(2, '0')).join('');
}

// trace, when given: { now(), answered(readAt, name) }, told of each command
// once its answer is written.
function startControl({ pages, log = () => {}, quit = null, postsOf = () => 0, floorOf = null, trace = null, views = null }) {
  async function pageFor(cmd) {
    if (typeof cmd.page === 'number') {
      const p = pages()[cmd.page - 1];
      if (!p) throw new Error(`no page ${cmd.page}`);
      return p;
    }
    const list = pages().filter((p) => p && !p.isClosed());
    if (!cmd.sel) {
      if (!list.length) throw new Error('no page');
      return list[list.length - 1];
    }
    const deadline = Date.now() + (cmd.timeout || kDefaultTimeoutMs);
    for (;;) {
      for (let i = list.length - 1; i >= 0; i--) {
        if (await list[i].$(cmd.sel).catch(() => null)) return list[i];
      }
      if (Date.now() > deadline) throw new Error(`no page holds ${cmd.sel}`);
      await new Promise((r) => setTimeout(r, kPollMs));
    }
  }

  // Why an element cannot be acted on: it and each of its ancestors, with the
  // style and box that decide whether it is seen, and the page's posts so far.
  async function whyUnseen(page, sel) {
    const el = await page.$(sel).catch(() => null);
    const chain = !el ? 'no element matches now' : await el.evaluate((start) => {
      const out = [];
      for (let e = start; e; e = e.parentElement || (e.getRootNode() !== e && e.getRootNode().host) || null) {
        const cs = getComputedStyle(e), r = e.getBoundingClientRect();
        out.push(`${e.tagName}#${e.id}.${e.className} display ${cs.display} visibility ${cs.visibility} ` +
          `${Math.round(r.width)}x${Math.round(r.height)} at ${Math.round(r.left)},${Math.round(r.top)}`);
      }
      return `${document.readyState} ${location.href}\n${out.join('\n')}`;
    }).catch((e) => `not described: ${e.message}`);
    return `posts carried out: ${postsOf(page)} (of ${pages().length} pages)\n${chain}`;
  }

  async function pixelAt(page, x, y) {
    const png = await page.screenshot({ clip: { x: Math.round(x), y: Math.round(y), width: 1, height: 1 } });
    return pngPixel(png);
  }

  async function actual(page, cmd) {
    const what = cmd.what || 'exists';
    const el = await page.$(cmd.sel);
    if (what === 'exists') return el ? 'true' : 'false';
    if (what === 'absent') return el ? 'false' : 'true';
    if (!el) return null;
    if (what === 'text') return (await el.innerText()).trim();
    if (what === 'value') return await el.inputValue();
    if (what === 'class') return await el.getAttribute('class');
    if (what.startsWith('attr:')) return await el.getAttribute(what.slice(5));
    if (what.startsWith('css:')) return await el.evaluate((e, n) => getComputedStyle(e).getPropertyValue(n), what.slice(4));
    if (what.startsWith('prop:')) return await el.evaluate((e, n) => String(e[n]), what.slice(5));
    if (what.startsWith('px:')) {
      const box = await el.boundingBox();
      if (!box) return null;
      const part = { left: box.x, top: box.y, width: box.width, height: box.height }[what.slice(3)];
      return part === undefined ? null : String(Math.round(part));
    }
    if (what === 'scrolled') {
      return await el.evaluate((e) => (e.scrollTop + e.clientHeight >= e.scrollHeight - 1 ? 'end'
        : e.scrollTop <= 0 ? 'start' : 'middle'));
    }
    // The text selected in the element's page (whatever the element).
    if (what === 'selection') return await el.evaluate(() => String(window.getSelection()));
    if (what === 'pixel') {
      const box = await el.boundingBox();
      return box ? pixelAt(page, box.x + box.width / 2, box.y + box.height / 2) : null;
    }
    throw new Error(`unknown check ${what}`);
  }

  // "class" passes when every class named is on the element; the rest compare whole.
  function matches(what, got, want) {
    if (got === null || got === undefined) return false;
    if (what === 'class') {
      const have = String(got).split(/\s+/);
      return String(want).split(/\s+/).filter(Boolean).every((c) => have.includes(c));
    }
    return String(got) === String(want);
  }

  async function run(cmd) {
    switch (cmd.cmd) {
      case 'echo':
        return { text: cmd.text };
      case 'quit':
        // The host ends itself once the answer is out.
        if (!quit) throw new Error('quit is not offered here');
        return { [kAfterAnswer]: quit };
      case 'pause':
      case 'resume':
        if (!views) throw new Error(`${cmd.cmd} is not offered here`);
        views[cmd.cmd]();
        return {};
      case 'eval': {
        const page = await pageFor(cmd);
        return { value: await page.evaluate((js) => String((0, eval)(js)), String(cmd.js)) };
      }
      case 'posts':
        return { value: String(postsOf(await pageFor(cmd))) };
      case 'floor':
        if (!floorOf) throw new Error('floor is not offered here');
        return { value: String(await floorOf(await pageFor(cmd))) };
      case 'click':
      case 'dblclick': {
        const page = await pageFor(cmd);
        try {
          await page[cmd.cmd](cmd.sel, { button: cmd.button || 'left', modifiers: cmd.modifiers || [] });
        } catch (e) {
          throw new Error(`${await whyUnseen(page, cmd.sel)}\n${e.message}`);
        }
        return {};
      }
      case 'type': {
        const page = await pageFor(cmd);
        await page.type(cmd.sel, String(cmd.text || ''));
        return {};
      }
      case 'press': {
        const page = await pageFor(cmd);
        await page.press(cmd.sel, String(cmd.key));
        return {};
      }
      case 'drag': {
        const page = await pageFor(cmd);
        const box = await (await page.$(cmd.sel)).boundingBox();
        const x = box.x + box.width / 2, y = box.y + box.height / 2;
        await page.mouse.move(x, y);
        await page.mouse.down();
        await page.mouse.move(x + (cmd.dx || 0), y + (cmd.dy || 0), { steps: 5 });
        await page.mouse.up();
        return {};
      }
      case 'wait': {
        const page = await pageFor(cmd);
        await page.waitForSelector(cmd.sel, { timeout: cmd.timeout || kDefaultTimeoutMs });
        return {};
      }
      case 'screenshot': {
        const page = await pageFor(cmd);
        if (cmd.sel && cmd.page === undefined) await (await page.$(cmd.sel)).screenshot({ path: cmd.file });
        else await page.screenshot({ path: cmd.file });
        return { file: cmd.file };
      }
      case 'pixel': {
        const page = await pageFor(cmd);
        if (cmd.sel) return { value: await actual(page, { sel: cmd.sel, what: 'pixel' }) };
        return { value: await pixelAt(page, cmd.x, cmd.y) };
      }
      case 'expect': {
        const deadline = Date.now() + (cmd.timeout || kDefaultTimeoutMs);
        let got = null;
        for (;;) {
          const page = await pageFor({ sel: cmd.what === 'absent' ? undefined : cmd.sel, page: cmd.page,
            timeout: Math.max(1, deadline - Date.now()) }).catch(() => null);
          got = page ? await actual(page, cmd).catch(() => null) : null;
          if (matches(cmd.what, got, cmd.value)) return { value: got };
          if (Date.now() > deadline) return { ok: false, error: `${cmd.sel} ${cmd.what}: ${got} not ${cmd.value}`, value: got };
          await new Promise((r) => setTimeout(r, kPollMs));
        }
      }
      default:
        throw new Error(`unknown command ${cmd.cmd}`);
    }
  }

  const server = net.createServer((socket) => {
    let pending = '';
    let chain = Promise.resolve();
    socket.setEncoding('utf8');
    socket.on('data', (data) => {
      const readAt = trace ? trace.now() : 0;
      pending += data;
      let nl;
      while ((nl = pending.indexOf('\n')) >= 0) {
        const line = pending.slice(0, nl);
        pending = pending.slice(nl + 1);
        chain = chain.then(async () => {
          let answer;
          try {
            answer = Object.assign({ ok: true }, await run(JSON.parse(line)));
          } catch (e) {
            answer = { ok: false, error: String(e && e.message ? e.message : e) };
          }
          log(`control ${line} -> ${JSON.stringify(answer)}`);
          if (!socket.destroyed) socket.write(JSON.stringify(answer) + '\n', answer[kAfterAnswer]);
          if (trace) trace.answered(readAt, String(/"cmd":\s*"(\w+)"/.exec(line)?.[1] || '?'));
        });
      }
    });
    socket.on('error', () => {});
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    port: server.address().port,
    close: () => new Promise((r) => server.close(r)),
  })));
}

module.exports = { startControl, pngPixel };
