// pagefiles.js - puts together a qovwv_html folder: the page files of the repo,
// the action codes written from their one definition (as the build writes
// them) and the Debian script libraries listed in pagelibs.txt.
'use strict';
const fs = require('fs');
const path = require('path');
const { writePageActions, kHeader } = require('../genpageactions');

const kWebviewDir = path.resolve(__dirname, '..');

function libraryList() {
  const text = fs.readFileSync(path.join(kWebviewDir, 'pagelibs.txt'), 'utf8');
  return text.split('\n')
    .map((l) => l.trim())
    .filter((l) => l && !l.startsWith('#'))
    .map((l) => { const [src, name] = l.split(/\s+/); return { src, name }; });
}

function assemblePageDir(dest) {
  fs.mkdirSync(path.join(dest, 'lib'), { recursive: true });
  fs.cpSync(path.join(kWebviewDir, 'qovwv_html'), dest, { recursive: true });
  writePageActions(kHeader, path.join(dest, 'qovactions.js'));
  for (const { src, name } of libraryList()) {
    const to = path.join(dest, 'lib', name);
    fs.mkdirSync(path.dirname(to), { recursive: true });
    fs.copyFileSync(src, to);
  }
  return dest;
}

module.exports = { assemblePageDir, libraryList };
