#!/usr/bin/env bash
# 50-webview.sh - what the web-view pages and their host need: Debian's headless
# Chromium, jQuery, jQuery UI and Bootstrap 5 (copied into the build output's
# qovwv_html at build time), and the page host's npm packages from its lock file.
# Installs only what is missing; a second run does nothing but two quick checks.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)

packages=(chromium libjs-jquery libjs-jquery-ui libjs-bootstrap5)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# Node may come from another source with npm built in; Debian's only when absent.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  source "$here/scripts/setup.d/lib.sh"
  apt_update
  apt_install "${missing[@]}"
fi

# playwright-core only drives the browser; it must never fetch one of its own.
host="$here/webview/pagehost"
stamp="$host/node_modules/.qov-lock-stamp"
if [ ! -f "$stamp" ] || ! cmp -s "$host/package-lock.json" "$stamp"; then
  (cd "$host" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  cp "$host/package-lock.json" "$stamp"
fi
