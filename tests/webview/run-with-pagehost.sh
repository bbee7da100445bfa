#!/usr/bin/env bash
# run-with-pagehost.sh PROGRAM [ARGS] - starts the web-view page host on a free
# loopback port, runs the Windows test program under Wine against it, stops it.
# QOV_PAGEHOST_SCRIPT names a stand-in to start instead (one that prints
# "listening PORT" as the page host does).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
host_dir="$here/webview/pagehost"
log=$(mktemp)
# The tests' control connection: the host writes its port here.
export QOV_PAGEHOST_CONTROL_FILE=$(mktemp -u /tmp/qovpagectl-XXXXXX)
coproc HOST { exec node "${QOV_PAGEHOST_SCRIPT:-$host_dir/pagehost.js}" --port 0 2>"$log"; }
host_pid=$HOST_PID
trap 'kill "$host_pid" 2>/dev/null || true; wait "$host_pid" 2>/dev/null || true; rm -f "$log" "$QOV_PAGEHOST_CONTROL_FILE"' EXIT
port=""
if read -r -t 30 line <&"${HOST[0]}"; then port=${line#listening }; fi
if [ -z "$port" ]; then
  echo "page host did not start:"; cat "$log"; exit 1
fi
# QOV_PAGEHOST_PID: the benchmark measures the host's CPU with its browser's.
export QOVCS_WVRUNTIME=pagehost QOVCS_WVHOSTPORT="$port" QOV_PAGEHOST_PID="$host_pid"
wine "$@"
