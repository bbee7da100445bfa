#!/usr/bin/env bash
# run.sh - sets up a fresh Debian machine if needed, builds Qovtervex and runs it
# under Wine. With no arguments it runs the demo session against the project's
# scripted server; with arguments it passes them to the client, for example
#   ./run.sh -host myserver -port 3933 myprogram
set -euo pipefail
cd "$(dirname "$0")"
export QOV_DEPS_CACHE=$(bash scripts/setup.sh | tail -n 1)
bash scripts/build.sh win32 >/dev/null
if [ $# -eq 0 ] && [ -f scripts/demo.sh ]; then
  exec bash scripts/demo.sh
fi
source scripts/wine-env.sh
trap qov_wine_cleanup EXIT
if [ $# -eq 0 ]; then set -- -ver; fi
wine build/win32/qovtervex.exe "$@"
