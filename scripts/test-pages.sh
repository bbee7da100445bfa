#!/usr/bin/env bash
# test-pages.sh - the web-view page files and the page host, tested in Node's
# test runner against Debian's headless Chromium; prints the runner's summary.
set -euo pipefail
cd "$(dirname "$0")/../webview/pagehost"
if [ ! -d node_modules/playwright-core ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null
fi
out=$(mktemp)
status=0
# Each test file starts its own Chromium; a few at a time keep each browser's
# pictures of its pages coming on a small machine (all at once, a page's
# screencast once sent no picture for 30 s).
node --test --test-concurrency=3 --test-reporter=spec test/ >"$out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then cat "$out"; else grep -E '^ℹ (tests|pass|fail|duration_ms)' "$out" || tail -n 8 "$out"; fi
rm -f "$out"
exit "$status"
