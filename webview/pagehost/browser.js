// browser.js - starts Debian's Chromium headless through playwright-core, in a
// fresh profile, with the web-view shim installed in every page.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { installWebViewShim } = require('./shim');

const kChromium = process.env.QOV_CHROMIUM || '/usr/bin/chromium';
// No network but the package registries: nothing in the browser may call out.
const kArgs = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--allow-file-access-from-files',
];

async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qovwv-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: true,
    args: kArgs,
    viewport: { width: 800, height: 600 },
  });
  await context.addInitScript(installWebViewShim);
  return {
    context,
    async close() {
      await context.close().catch(() => {});
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

module.exports = { launchBrowser };
