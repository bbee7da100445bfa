// input.js - the page as the user sees and drives it: a DevTools protocol
// session per page sends a PNG picture of the page whenever its look changes
// (screencast, each picture acknowledged so the next can come; paced while the
// client's posts keep changing it), and replays the user's mouse, wheel and
// key input from the view's window as trusted input.
//
// Input frames are JSON objects: {t:"m", type:"down"|"up"|"move"|"wheel", x,
// y, button:"left"|"middle"|"right"|"none", clicks, dx, dy, mods}; {t:"k",
// type:"down"|"up", vk, mods}; {t:"c", text, mods}; {t:"f", on}; {t:"y", n,
// cut} the selection's text asked for the Windows clipboard (a cut deletes it
// too), answered through onAnswer as "n:text" (n the question's number); {t:"p", text} the Windows clipboard's text pasted;
// {t:"e", n, x, y} what the edit menu of the focused text field under x, y
// may offer, answered the same way ("n:" when there is none); {t:"x", cmd} an
// edit menu's command (undo, delete, selectAll) in the focused field.
// mods: 1 Alt, 2 Ctrl, 4 Meta, 8 Shift. Key downs carry no text: the window's
// WM_CHAR comes as a "c" frame of its own (text on both would type every
// character twice). The browser's own clipboard is never used: the client
// keeps the copy, cut and paste keys from the page and sends these instead.
'use strict';

// Virtual-key codes whose key has a name of its own; letters and digits get
// theirs from the character frames.
const kKeyNames = {
  8: 'Backspace', 9: 'Tab', 13: 'Enter', 16: 'Shift', 17: 'Control', 18: 'Alt', 27: 'Escape', 32: ' ',
  33: 'PageUp', 34: 'PageDown', 35: 'End', 36: 'Home', 37: 'ArrowLeft', 38: 'ArrowUp', 39: 'ArrowRight',
  40: 'ArrowDown', 45: 'Insert', 46: 'Delete',
};
for (let f = 1; f <= 12; f++) kKeyNames[111 + f] = `F${f}`;

// The page's selection for a copy or cut: the focused text field's selected
// part, else the document's selection. A password field gives nothing, as a
// native one. A cut deletes the selection of a field that may be edited, as
// the user's own deletion (one input event).
const kSelectionScript = (cut) => `(() => {
  const el = document.activeElement;
  const field = !!el && (el.tagName === 'INPUT' || el.tagName === 'TEXTAREA') && typeof el.selectionStart === 'number';
  if (field && el.type === 'password') return '';
  const text = field ? el.value.substring(el.selectionStart, el.selectionEnd) : String(window.getSelection() || '');
  if (${cut ? 'true' : 'false'} && text && field && !el.readOnly && !el.disabled) document.execCommand('delete');
  return text;
})()`;

// What an edit menu offers, one '0'/'1' each: undo, a selection, the field
// editable, a password field, a selection short of the whole text. "" when
// the point is not on the focused text field. Opened from the keyboard (x
// and y -1) it is the focused field's, with its centre after (":X:Y").
const kEditStateScript = (x, y) => `(() => {
  const el = document.activeElement;
  const field = !!el && (el.tagName === 'INPUT' || el.tagName === 'TEXTAREA') && typeof el.selectionStart === 'number';
  const byKey = ${x} < 0 && ${y} < 0;
  if (!field || (!byKey && document.elementFromPoint(${x}, ${y}) !== el)) return '';
  const s = el.selectionStart, e = el.selectionEnd, bit = (b) => (b ? '1' : '0');
  const state = bit(document.queryCommandEnabled('undo')) + bit(e > s) + bit(!el.readOnly && !el.disabled) +
    bit(el.type === 'password') + bit(s > 0 || e < el.value.length);
  const r = el.getBoundingClientRect();
  return byKey ? state + ':' + Math.round(r.left + r.width / 2) + ':' + Math.round(r.top + r.height / 2) : state;
})()`;
const kEditCommands = new Set(['undo', 'delete', 'selectAll']);

// A picture of the page costs the machine in proportion to its area all
// along its way: the browser draws the whole page again and reads it back,
// encodes it, and the client decodes and draws it (some 26 ms of one
// processor for a 1,220 x 1,009 page). While the client's posts keep changing
// the page, its pictures follow at a pace that gives them the same share of
// the machine whatever the page's size: a full-screen page's at most
// kFullScreenPicturesPerSecond, a smaller one's as much more often as it is
// smaller. A page whose gap is under kPacedFromFrames display frames (one
// under some 470 x 470 pixels) is never paced: its picture costs a few
// milliseconds. A lone change is pictured as it comes; once a picture shows
// the page in a run of changes (two or more since the picture before), the
// screencast stops until the next is due: when the posts have paused for a
// share of the gap (kSettleShare: a full-screen page's 50 ms), at the gap in
// a long run, never sooner than the gap after the last picture. Started
// again, it sends the page as it is then, and it stays on until that picture
// has come (a full-screen page's first frame takes some 200 ms). While the
// page's drawing is held (shim.js) the holds pace the pictures: the page is
// drawn, and pictured, when a hold ends. The page's own changes (a caret, the
// user's input) go on as before.
const kFullScreenPixels = 1280 * 1024;
const kFullScreenPicturesPerSecond = 5;
const kSettleShare = 1 / 4;
const kDisplayFrameMs = 1000 / 60;
const kPacedFromFrames = 2;
const kRunChanges = 2;
const kPictureFormat = { format: 'png', everyNthFrame: 1 };
// Two of the page's frames, or at most kDrawnWaitMs: by then it has drawn at
// a new size (its timers alone run while the browser draws no frames).
const kDrawnWaitMs = 200;
const kTwoFramesDrawn = `new Promise((done) => { requestAnimationFrame(() => requestAnimationFrame(() => done(0)));
  setTimeout(() => done(0), ${kDrawnWaitMs}); })`;

// A page whose drawing is held while posts change it (shim.js) is given back
// before the user's input is replayed, and then follows the changes for a
// while; the host ends a hold once the posts have paused for
// kDrawingSettleMs, and at the latest after kHoldMaxMs (a full-screen page
// kFullScreenHoldMs, a smaller one as much sooner as it is smaller), so that
// the page is drawn, and pictured, at a pace of its own whatever other views
// do.
const kDrawNow = 'window.__qovDrawNow ? window.__qovDrawNow() : 0';
const kRelease = 'window.__qovRelease ? window.__qovRelease() : 0';
const kDrawingSettleMs = 33;
const kHoldMaxMs = 250;
const kFullScreenHoldMs = 500;

const kMouseTypes = { down: 'mousePressed', up: 'mouseReleased', move: 'mouseMoved', wheel: 'mouseWheel' };
const kButtonBits = { left: 1, right: 2, middle: 4 };

// The page's DevTools session. Playwright runs in this process, so the session
// is opened on its own connection to the browser: calls and events then skip
// Playwright's client-to-server messaging (its checks, stack captures and two
// turns of the event loop each way), the largest part of a page query's time
// in the host. A Playwright that does not offer that gets the public session.
async function openSession(page) {
  const context = page.context();
  try {
    const own = context._toImpl && context._toImpl();
    const ownPage = page._toImpl && page._toImpl();
    if (own && ownPage && typeof own.newCDPSession === 'function') {
      const s = await own.newCDPSession(ownPage);
      const handlers = new Map();
      s.on('event', (e) => {
        const fn = handlers.get(e.method);
        if (fn) fn(e.params);
      });
      return {
        send: (method, params) => s.send(method, params),
        on: (method, fn) => handlers.set(method, fn),
        detach: () => s.detach(),
      };
    }
  } catch (e) {
    // Fall back to the public session below.
  }
  const cdp = await context.newCDPSession(page);
  return {
    send: (method, params) => cdp.send(method, params),
    on: (method, fn) => cdp.on(method, fn),
    detach: () => cdp.detach(),
  };
}

async function startScreen(page, onPicture, log = () => {}, onAnswer = () => {}) {
  const cdp = await openSession(page);
  let stopped = false;
  let inputChain = Promise.resolve();
  let buttons = 0;

  // The pictures' pace: when the last one went out, when a post last changed
  // the page, the changes since the last picture, the page's area, whether
  // the screencast is on (and since when it is held), and whether the
  // page's drawing is held (its holds then pace the pictures).
  let lastPictureAt = -Infinity;
  let lastChangeAt = -Infinity;
  let changesSincePicture = 0;
  let pixels = 0;
  let castOn = true;
  let heldSince = 0;
  let resumeTimer = null;
  let drawingPaces = false;
  let castChain = Promise.resolve();
  const cast = (method, params) => {
    castChain = castChain.then(() => (stopped ? null : cdp.send(method, params))).catch((e) => log(`${method}: ${e.message}`));
    return castChain;
  };
  const pictureGapMs = () => (1000 / kFullScreenPicturesPerSecond) * (pixels / kFullScreenPixels);
  const paced = () => !stopped && pictureGapMs() >= kPacedFromFrames * kDisplayFrameMs;

  function resume() {
    if (resumeTimer) clearTimeout(resumeTimer);
    resumeTimer = null;
    if (castOn || stopped) return;
    castOn = true;
    cast('Page.startScreencast', kPictureFormat);
  }

  function holdPictures(now) {
    castOn = false;
    heldSince = now;
    cast('Page.stopScreencast');
    scheduleResume(now);
  }

  function scheduleResume(now) {
    const gap = pictureGapMs();
    const due = Math.max(lastPictureAt + gap, Math.min(lastChangeAt + gap * kSettleShare, heldSince + gap));
    if (resumeTimer) clearTimeout(resumeTimer);
    resumeTimer = setTimeout(resume, Math.max(0, due - now));
  }

  cdp.on('Page.screencastFrame', (f) => {
    if (stopped) return;
    cdp.send('Page.screencastFrameAck', { sessionId: f.sessionId }).catch(() => {});
    const now = performance.now();
    lastPictureAt = now;
    if (f.metadata) pixels = f.metadata.deviceWidth * f.metadata.deviceHeight;
    // A picture in a run of changes that goes on: the next waits for its turn
    // (and comes then even if this one showed the last change). Once the
    // posts have paused the screencast stays on, and sends the last change
    // as it is drawn.
    const inRun = changesSincePicture >= kRunChanges && now - lastChangeAt < pictureGapMs() * kSettleShare;
    changesSincePicture = 0;
    onPicture(Buffer.from(f.data, 'base64'));
    if (castOn && inRun && !drawingPaces && paced()) holdPictures(now);
  });
  // The page thinks it has the focus while its window has it: carets blink
  // and focus rings show although the browser has no window of its own.
  await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: true });
  await cdp.send('Page.startScreencast', kPictureFormat);

  // The page's drawing: whether a post may have left it held since the host
  // last gave it back, since when it is held, and the timers that end the
  // hold when the posts pause and at its pace.
  let drawingMayBeHeld = false;
  let mayHold = true;
  let drawingHeldSince = 0;
  let settleTimer = null;
  let holdMaxTimer = null;
  function holdMaxMs() {
    return Math.max(kHoldMaxMs, kFullScreenHoldMs * (pixels / kFullScreenPixels));
  }
  function stopDrawingTimers() {
    clearTimeout(settleTimer);
    clearTimeout(holdMaxTimer);
    settleTimer = holdMaxTimer = null;
    drawingHeldSince = 0;
  }
  function giveBack(expression) {
    stopDrawingTimers();
    if (!drawingMayBeHeld) return null;
    drawingMayBeHeld = false;
    return cdp.send('Runtime.evaluate', { expression, returnByValue: true }).catch(() => null);
  }
  const release = () => giveBack(kRelease);
  const drawn = () => giveBack(kDrawNow);

  function mouse(m) {
    const type = kMouseTypes[m.type];
    if (!type) return null;
    const button = m.button || 'none';
    if (m.type === 'down') buttons |= kButtonBits[button] || 0;
    if (m.type === 'up') buttons &= ~(kButtonBits[button] || 0);
    const ev = { type, x: m.x, y: m.y, modifiers: m.mods || 0, buttons };
    if (type === 'mouseWheel') Object.assign(ev, { deltaX: m.dx || 0, deltaY: m.dy || 0, button: 'none' });
    else Object.assign(ev, { button, clickCount: m.clicks || (type === 'mouseMoved' ? 0 : 1) });
    return cdp.send('Input.dispatchMouseEvent', ev);
  }

  // A key the page handed to the client (Tab, Enter, a menu key) holds the
  // input after it until the client has handled it, as a native window's
  // keys wait while it acts on one: a Tab then moves the focus before the
  // next letter is typed. The page answers at once when nothing is held.
  function settled() {
    return cdp.send('Runtime.evaluate', {
      expression: 'window.QovInputSettled ? window.QovInputSettled() : 0', awaitPromise: true, returnByValue: true,
    }).catch(() => null);
  }

  // Only the Windows key code goes: a native code is the host's own (an X
  // key code here), and a virtual-key code taken for one made Ctrl+Tab (9,
  // X's Escape) a browser shortcut that never reached the page.
  function key(k) {
    const ev = { type: k.type === 'down' ? 'rawKeyDown' : 'keyUp', windowsVirtualKeyCode: k.vk, modifiers: k.mods || 0 };
    if (kKeyNames[k.vk]) ev.key = kKeyNames[k.vk];
    const sent = cdp.send('Input.dispatchKeyEvent', ev);
    return k.type === 'down' ? sent.then(settled) : sent;
  }

  function character(c) {
    const text = String(c.text || '');
    return cdp.send('Input.dispatchKeyEvent', {
      type: 'char', text, unmodifiedText: text, key: text === '\r' ? 'Enter' : text, modifiers: c.mods || 0,
    });
  }

  // Every question is answered, with "" when nothing could be read: the
  // client waits for the answer, which names the question's number.
  function answer(q, r) {
    const text = r && !r.exceptionDetails && r.result && typeof r.result.value === 'string' ? r.result.value : '';
    onAnswer(`${Number(q.n) >>> 0}:${text}`);
  }

  async function copy(y) {
    const r = await cdp.send('Runtime.evaluate', {
      expression: kSelectionScript(!!y.cut), returnByValue: true, userGesture: true,
    }).catch(() => null);
    answer(y, r);
  }

  async function editState(e) {
    const r = await cdp.send('Runtime.evaluate', {
      expression: kEditStateScript(Number(e.x) | 0, Number(e.y) | 0), returnByValue: true,
    }).catch(() => null);
    answer(e, r);
  }

  function editCommand(x) {
    if (!kEditCommands.has(x.cmd)) return null;
    return cdp.send('Runtime.evaluate', { expression: `document.execCommand('${x.cmd}')`, userGesture: true });
  }

  function paste(p) {
    const text = String(p.text || '');
    return text ? cdp.send('Input.insertText', { text }) : null;
  }

  return {
    // The page's DevTools session, for the host's own calls into the page.
    session: cdp,
    // One input frame, replayed in order behind the ones before it.
    input(json) {
      let m;
      try { m = JSON.parse(json); } catch (e) { return; }
      inputChain = inputChain.then(async () => {
        if (stopped) return null;
        if (m.t === 'm' || m.t === 'k' || m.t === 'c' || m.t === 'e') await drawn();
        if (m.t === 'm') return mouse(m);
        if (m.t === 'k') return key(m);
        if (m.t === 'c') return character(m);
        if (m.t === 'f') return this.focus(!!m.on);
        if (m.t === 'y') return copy(m);
        if (m.t === 'p') return paste(m);
        if (m.t === 'e') return editState(m);
        if (m.t === 'x') return editCommand(m);
        return null;
      }).catch((e) => {
        log(`input error: ${e.message}`);
        if (m.t === 'y' || m.t === 'e') answer(m, null);
      });
    },
    // A post of the client's goes to the page: on a page that may hold its
    // drawing (its frames are costly), it may until the page says (posted)
    // whether it does; input meanwhile has the page given back first. The
    // posts have not paused while one is carried out (it may wait for a
    // frame the page draws), so a hold's settling counts from its answer.
    posting() {
      if (mayHold) drawingMayBeHeld = true;
      clearTimeout(settleTimer);
      settleTimer = null;
    },
    // The post is carried out, its drawing held or not: a hold ends when the
    // posts have paused, or at its pace.
    posted(held, nextMayHold = true) {
      mayHold = nextMayHold;
      drawingMayBeHeld = held;
      if (!held || stopped) {
        stopDrawingTimers();
        return;
      }
      const now = performance.now();
      if (!drawingHeldSince) {
        drawingHeldSince = now;
        holdMaxTimer = setTimeout(release, holdMaxMs());
      }
      clearTimeout(settleTimer);
      settleTimer = setTimeout(release, kDrawingSettleMs);
    },
    // A post has changed the page (its drawing held or not): see the
    // pictures' pace above.
    changing(held) {
      const now = performance.now();
      lastChangeAt = now;
      changesSincePicture++;
      drawingPaces = held;
      if (!paced()) return;
      if (held) resume();
      else if (!castOn) scheduleResume(now);
    },
    // The view is sized anew (by size): the browser never sends the first
    // frame of a new size, so a page that does not change after would keep
    // its picture of the old size. The page's drawing is given back, the
    // screencast stops meanwhile and starts again once the page has drawn at
    // its new size: starting, it sends the page as it is, whatever the pace.
    async resized(size) {
      await drawn();
      if (resumeTimer) clearTimeout(resumeTimer);
      resumeTimer = null;
      castOn = false;
      await cast('Page.stopScreencast');
      await size();
      await cdp.send('Runtime.evaluate', { expression: kTwoFramesDrawn, awaitPromise: true }).catch(() => null);
      resume();
      await castChain;
    },
    async focus(on) {
      await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: on }).catch(() => {});
      if (on) await page.bringToFront().catch(() => {});
    },
    async stop() {
      stopped = true;
      if (resumeTimer) clearTimeout(resumeTimer);
      stopDrawingTimers();
      await cdp.send('Page.stopScreencast').catch(() => {});
      await cdp.detach().catch(() => {});
    },
  };
}

module.exports = { startScreen, kFullScreenPicturesPerSecond, kFullScreenPixels };
