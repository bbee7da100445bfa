#!/usr/bin/env python3
"""hoptrace.py CLIENT_TRACE HOST_TRACE [FIRST] - where a web-view query's time goes.

Joins the tracing client's hop records (QOV_HOP_TRACE_FILE, session/hoptrace.h)
with the page host's (QOV_PAGEHOST_TRACE, pagehost.js) by the post's number and
prints the median, p95 and max of each hop in milliseconds. Each side's times
are differences of its own clock only, so the two processes' clocks never have
to agree: the wire (both directions, with Wine's socket calls) is what the
client's wait for the page leaves over once the host's own time is taken out.
The native requests of the same run (frames without a post) are summed too.
FIRST takes only the posts numbered up to it (the web view benchmark's reads
come first, before its batches of creations).
"""
import statistics
import sys

CLIENT = ['taken', 'begun', 'sent', 'answered', 'done', 'waited', 'out']


def stats(values):
    v = sorted(values)
    if not v:
        return 'none'
    return 'median %6.3f  p95 %6.3f  max %7.3f' % (statistics.median(v), v[len(v) * 95 // 100], v[-1])


def main(client_file, host_file, first=None):
    last = int(first) if first else None
    host = {}
    for line in open(host_file):
        f = line.split('\t')
        if len(f) >= 5 and f[0] != '0':
            host[int(f[0])] = [float(x) for x in f[1:]]
    web, native = [], []
    for line in open(client_file):
        f = line.split('\t')
        n, t = int(f[0]), dict(zip(CLIENT, (float(x) for x in f[1:])))
        if n == 0:
            if t['out'] and t['taken']:
                native.append(t['out'] - t['taken'])
            continue
        if all(t[k] for k in CLIENT) and n in host and (last is None or n <= last):
            web.append((t, host[n]))
    hops = [
        ('client: frame to post (dispatch, JSON)', lambda t, h: t['begun'] - t['taken']),
        ('client: post written (UTF-16, send)', lambda t, h: t['sent'] - t['begun']),
        ('wire both ways + Wine socket wait', lambda t, h: (t['answered'] - t['sent']) - (h[3] - h[0])),
        ('host: frame read to its turn', lambda t, h: h[1] - h[0]),
        ('host: Chromium call (DevTools)', lambda t, h: h[2] - h[1]),
        ('host: answer and ack written', lambda t, h: h[3] - h[2]),
        ('  (an empty DevTools call, after)', lambda t, h: h[4] if len(h) > 4 else 0),
        ('  (a drain through the shim, after)', lambda t, h: h[5] if len(h) > 5 else 0),
        ('client: answer delivered (parse)', lambda t, h: t['done'] - t['answered']),
        ('client: reply wait\'s pump turn', lambda t, h: t['waited'] - t['done']),
        ('client: reply to answer sent', lambda t, h: t['out'] - t['waited']),
        ('client: frame taken to answer out', lambda t, h: t['out'] - t['taken']),
    ]
    print('web queries traced: %d (native requests: %d)' % (len(web), len(native)))
    for name, fn in hops:
        print('  %-40s %s' % (name, stats([fn(t, h) for t, h in web])))
    print('  %-40s %s' % ('native: frame taken to answer out', stats(native)))


if __name__ == '__main__':
    main(*sys.argv[1:4])
