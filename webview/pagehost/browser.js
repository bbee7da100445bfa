// browser.js - starts Debian's Chromium headless through playwright-core, in a
// fresh profile, with the web-view shim installed in every page.
//
// Everything the browser leaves in the temporary directory goes into one
// session folder, qovwv-<pid>-XXXXXX (the profile, Chromium's own temporary
// files, Playwright's artifacts): it is removed when the host ends however it
// ends, and a later host removes the folders of hosts that are gone without
// doing so (killed outright), never one whose process still runs.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { installWebViewShim } = require('./shim');
const { floorArgs } = require('./floor');

const kChromium = process.env.QOV_CHROMIUM || '/usr/bin/chromium';
const kSessionPrefix = 'qovwv-';
// No network but the package registries: nothing in the browser may call out.
const kArgs = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--allow-file-access-from-files',
];

function processAlive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch (e) {
    return e.code === 'EPERM';
  }
}

// Session folders of hosts of this user whose process is gone.
function removeLeftovers(tmp = os.tmpdir()) {
  let names = [];
  try { names = fs.readdirSync(tmp); } catch (e) { return []; }
  const removed = [];
  for (const name of names) {
    const m = /^qovwv-(\d+)-[A-Za-z0-9]{6}$/.exec(name);
    if (!m || Number(m[1]) === process.pid || processAlive(Number(m[1]))) continue;
    const full = path.join(tmp, name);
    try {
      if (fs.statSync(full).uid !== process.getuid()) continue;
      fs.rmSync(full, { recursive: true, force: true });
      removed.push(full);
    } catch (e) { /* gone meanwhile, or not ours */ }
  }
  return removed;
}

// A module of Playwright's own server side, null when this Playwright has none
// of that name.
function playwrightServerModule(file) {
  try {
    const root = path.dirname(require.resolve('playwright-core/package.json'));
    return require(path.join(root, 'lib', 'server', file));
  } catch (e) {
    return null;
  }
}

// Playwright gives every page a timer that wakes Node about 28 times a second
// to pace the acknowledgements of its own screencast (videos, traces), which
// this host never starts: input.js acknowledges its frames itself. Pages are
// made with that timer stopped (a stopped pacer acknowledges at once), so an
// idle host sleeps. A Playwright without the pacer is left as it is.
function quietFramePacers() {
  const pageModule = playwrightServerModule('page.js');
  if (!pageModule) return;
  const Base = pageModule.Page;
  if (typeof Base !== 'function' || Base.qovQuiet) return;
  class QuietPage extends Base {
    constructor(...args) {
      super(...args);
      const pacer = this._frameThrottler;
      if (pacer && typeof pacer.dispose === 'function') pacer.dispose();
    }
  }
  QuietPage.qovQuiet = true;
  pageModule.Page = QuietPage;
}

// Playwright writes each DevTools message to the browser's pipe in two writes,
// the message and then its terminating NUL: the browser's pipe reader wakes
// for each, twice a call into a page. The message goes in one write instead,
// the same bytes. A Playwright whose transport looks otherwise is left as it is.
function joinPipeWrites() {
  const transportModule = playwrightServerModule('pipeTransport.js');
  if (!transportModule) return;
  const Transport = transportModule.PipeTransport;
  if (typeof Transport !== 'function' || Transport.prototype.qovJoined) return;
  if (!/write\('\\0'\)/.test(String(Transport.prototype.send))) return;
  Transport.prototype.send = function send(message) {
    if (this._closed) throw new Error('Pipe has been closed');
    this._pipeWrite.write(JSON.stringify(message) + '\0');
  };
  Transport.prototype.qovJoined = true;
}

// A page in a window of its own. The tabs of one window share its size, so a
// view sized for its host window would resize every other view's page; and a
// window is taller than its page by the browser's own bar, which the view's
// sizing (sizeView) takes into account. Pages are made one at a time, so the
// page the context announces next is the one asked for. A Playwright that
// offers no browser session gets a tab of the one window.
let windowPages = Promise.resolve();
function newWindowPage(context) {
  const own = context._toImpl && context._toImpl();
  const session = own && own._browser && own._browser._session;
  if (!session) return context.newPage();
  const made = windowPages.then(async () => {
    const page = context.waitForEvent('page');
    await session.send('Target.createTarget', {
      url: 'about:blank', newWindow: true, browserContextId: own._browserContextId,
    });
    return page;
  });
  windowPages = made.catch(() => {});
  return made;
}

// The page's viewport at width x height, and its window sized so that the
// browser draws (and pictures) all of it: Playwright sizes the window itself
// as if it had no bar of its own, which leaves the bottom of the page out of
// its pictures. A browser that cannot size a window's contents keeps that.
async function sizeView(page, session, width, height) {
  await page.setViewportSize({ width, height });
  const found = await session.send('Browser.getWindowForTarget', {}).catch(() => null);
  if (found) {
    await session.send('Browser.setContentsSize', { windowId: found.windowId, width, height }).catch(() => {});
  }
}

const sessions = new Set();
function removeSessionsNow() {
  for (const dir of sessions) fs.rmSync(dir, { recursive: true, force: true });
  sessions.clear();
}
// The last word on every way out: a normal end, process.exit, a signal
// handler's exit, an uncaught error.
process.on('exit', removeSessionsNow);

async function launchBrowser() {
  removeLeftovers();
  quietFramePacers();
  joinPipeWrites();
  const session = fs.mkdtempSync(path.join(os.tmpdir(), `${kSessionPrefix}${process.pid}-`));
  sessions.add(session);
  const profile = path.join(session, 'profile');
  const tmp = path.join(session, 'tmp');
  fs.mkdirSync(tmp);
  // Playwright makes its artifacts folder in os.tmpdir() while it launches.
  const keptTmp = process.env.TMPDIR;
  process.env.TMPDIR = tmp;
  let context;
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: kChromium,
      headless: true,
      args: [...kArgs, ...floorArgs()],
      // Playwright hides scroll bars in headless mode; a view shows them
      // wherever content overflows, as native controls do.
      ignoreDefaultArgs: ['--hide-scrollbars'],
      env: { ...process.env, TMPDIR: tmp },
      viewport: { width: 800, height: 600 },
    });
  } catch (e) {
    sessions.delete(session);
    fs.rmSync(session, { recursive: true, force: true });
    throw e;
  } finally {
    if (keptTmp === undefined) delete process.env.TMPDIR;
    else process.env.TMPDIR = keptTmp;
  }
  await context.addInitScript(installWebViewShim);
  return {
    context,
    newPage: () => newWindowPage(context),
    session,
    profile,
    onGone(fn) { context.on('close', fn); },
    async close() {
      await context.close().catch(() => {});
      sessions.delete(session);
      fs.rmSync(session, { recursive: true, force: true });
    },
  };
}

module.exports = { launchBrowser, removeLeftovers, sizeView };
