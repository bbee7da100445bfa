// pagemsg-seeds.js - builds the seed corpus of fuzz_pagemsg from real page
// traffic: the page files run in headless Chromium (as the page tests run
// them), a client session is played against them in the fuzz target's own
// rhythm (a numbered query, then a fetch of waiting events until the page has
// none), and everything the page sends is written one message a line. Each
// session is one seed; each distinct message is a seed of its own as well.
// Usage: node tests/fuzz/pagemsg-seeds.js [output folder]
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');
const here = __dirname;
const { launchBrowser } = require(path.join(here, '../../webview/pagehost/browser'));
const { assemblePageDir } = require(path.join(here, '../../webview/pagehost/pagefiles'));

const kFetch = 15, kEvent = 8, kWaiting = 56;
const kForm = '<div id="C1N"><input id="C2" value="caf\u00e9"><span id="C3">x</span>' +
  '<select id="C4"><option>a</option><option selected>b</option></select></div>';

// Each session: the client's posts, in order; a post is one message or a batch.
const kSessions = {
  'session-queries': [
    { action: 26, en: '#qovforms', pv: kForm },
    { action: 9, en: '#C2', pn: 'value', cv: 1 },
    { action: 9, en: '#C2', pn: 'disabled' },
    { action: 9, en: '#nothing', pn: 'value' },
    { action: 28, en: '#C3', pn: 'width' },
    { action: 30, js: '6*7' },
    { action: 30, js: '"\\u00e9\\ud83d\\ude00 \\"q\\" \\\\ \\n"' },
    { action: 30, js: 'nosuchfn()' },
    { msgs: [{ action: 24, en: '#C2', pn: 'value', pv: 'v2' }, { action: 9, en: '#C2', pn: 'value' }] },
    { action: 999 },
    'not json',
  ],
  'session-events': [
    { action: 26, en: '#qovforms', pv: kForm },
    { action: 30, js: 'QovPostEvent({name: "C2", ev: 4}); QovPostEvent({name: "C4", ev: 5, v1: 2}); 1' },
    { action: 30, js: 'QovPostEvent({name: "C3", ev: 7, v1: [1, "two", true], v2: {t: 3, txt: "caf\\u00e9"}}); 2' },
    { action: 9, en: '#C4', pn: 'selectedIndex' },
    { action: 30, js: 'QovPostEvent({name: "C2", ev: 2147483647, v1: -2147483648, v2: 1.5}); 3' },
  ],
};

function numbered(msg, n) {
  if (typeof msg === 'string') return msg;
  return JSON.stringify(Object.assign({}, msg, { qn: n }));
}

async function playSession(context, dir, posts) {
  const page = await context.newPage();
  await page.goto('file://' + path.join(dir, 'qovwvstart.html'));
  const lines = await page.evaluate(() => window.__qovDrain());
  let number = 0;
  const deliver = async (text) => {
    const out = await page.evaluate((t) => window.__qovDeliver(t), text);
    lines.push(...out);
    return out;
  };
  for (const msg of posts) {
    const out = await deliver(numbered(msg, ++number));
    if (!out.some((t) => JSON.parse(t).action === kWaiting)) continue;
    for (;;) {
      const fetched = await deliver(numbered({ action: kFetch }, ++number));
      const answer = fetched.length ? JSON.parse(fetched[fetched.length - 1]) : {};
      if (answer.action !== kEvent) break;
    }
  }
  await page.close();
  return lines;
}

async function main() {
  const outDir = path.resolve(process.argv[2] || path.join(here, 'corpus', 'fuzz_pagemsg'));
  fs.mkdirSync(outDir, { recursive: true });
  const dir = assemblePageDir(fs.mkdtempSync(path.join(os.tmpdir(), 'qovwv-seeds-')));
  const browser = await launchBrowser();
  const singles = new Set();
  try {
    for (const [name, posts] of Object.entries(kSessions)) {
      const lines = await playSession(browser.context, dir, posts);
      fs.writeFileSync(path.join(outDir, name), lines.join('\n') + '\n');
      for (const l of lines) singles.add(l);
    }
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
  for (const line of singles) {
    const sum = crypto.createHash('sha1').update(line).digest('hex');
    fs.writeFileSync(path.join(outDir, 'msg-' + sum), line + '\n');
  }
  console.log(`${Object.keys(kSessions).length} sessions, ${singles.size} messages in ${outDir}`);
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
