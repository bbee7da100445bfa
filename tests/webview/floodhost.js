// floodhost.js - a stand-in page host for the tests: it speaks the page host's
// frames (see webview/pagehost/pagehost.js) with no browser behind them. A
// navigation is answered by a page that says it has loaded; every post is
// acknowledged, and a script run (action 30) answered with its own text. A
// script run of "flood" is followed by page messages nobody asked for, of
// 1 MiB, 16 MiB and 64 MiB less 16 bytes, twice, in that order; once they are
// all written the file QOV_FLOOD_DONE_FILE is made, so the scene may go on.
// Prints "listening PORT" as the page host does.
'use strict';
const fs = require('fs');
const net = require('net');

const kFrameHead = 5;
const kMiB = 1 << 20;
const kFloodSizes = [kMiB, 16 * kMiB, 64 * kMiB - 16];
const kFloodRounds = 2;
const doneFile = process.env.QOV_FLOOD_DONE_FILE || 'flood-sent';
fs.rmSync(doneFile, { force: true });

function frame(type, payload) {
  const body = Buffer.isBuffer(payload) ? payload : Buffer.from(payload || '', 'utf8');
  const head = Buffer.alloc(kFrameHead);
  head.writeUInt32LE(body.length, 0);
  head.write(type, 4, 1, 'latin1');
  return Buffer.concat([head, body]);
}

// A post's number ("qn", which its answer carries back) and its messages:
// one, or a batch's.
function readPost(text) {
  try {
    const v = JSON.parse(text);
    return { qn: v.qn, msgs: Array.isArray(v.msgs) ? v.msgs : [v] };
  } catch (e) {
    return { qn: 0, msgs: [] };
  }
}

function flood(socket) {
  for (let round = 0; round < kFloodRounds; round++) {
    for (const size of kFloodSizes) {
      // Not a page message the channel can read: text of one letter.
      const head = Buffer.alloc(kFrameHead);
      head.writeUInt32LE(size, 0);
      head.write('W', 4, 1, 'latin1');
      socket.write(head);
      socket.write(Buffer.alloc(size, 'q'));
    }
  }
  socket.write(Buffer.alloc(0), () => fs.writeFileSync(doneFile, 'sent\n'));
}

function serve(socket) {
  let pending = Buffer.alloc(0);
  socket.on('data', (data) => {
    pending = Buffer.concat([pending, data]);
    while (pending.length >= kFrameHead) {
      const n = pending.readUInt32LE(0);
      if (pending.length < kFrameHead + n) break;
      const type = String.fromCharCode(pending[4]);
      const body = pending.subarray(kFrameHead, kFrameHead + n).toString('utf8');
      pending = pending.subarray(kFrameHead + n);
      if (type === 'N') {
        socket.write(frame('W', '{"action":1}'));
      } else if (type === 'P') {
        let flooding = false;
        const post = readPost(body);
        for (const m of post.msgs) {
          if (m.action !== 30) continue;
          socket.write(frame('W', JSON.stringify({ res: m.js, qn: post.qn })));
          flooding = flooding || m.js === 'flood';
        }
        socket.write(frame('K'));
        if (flooding) flood(socket);
      } else if (type === 'X') {
        socket.end();
      }
    }
  });
  socket.on('error', () => {});
}

const server = net.createServer((socket) => {
  socket.setNoDelay(true);
  serve(socket);
});
server.listen(0, '127.0.0.1', () => console.log(`listening ${server.address().port}`));
