#!/usr/bin/env bash
# test.sh - sets up a fresh Debian machine if needed, builds both trees and runs
# every test: the platform-free modules natively under ASan and UBSan, then the
# Windows program's tests under Wine on Xvfb.
set -euo pipefail
cd "$(dirname "$0")"
export QOV_DEPS_CACHE=$(bash scripts/setup.sh | tail -n 1)
bash scripts/build.sh all
jobs=$(nproc)

echo "== include layout (floors, core and controls, cycles)"
python3 scripts/check-includes.py

echo "== one number list (property ids against their name table, no numbers kept by a file)"
python3 scripts/check-kindcodes.py

echo "== system callbacks under the out-of-memory guard"
python3 scripts/check-callbacks.py

echo "== host tests (ASan, UBSan)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/host && ctest --output-on-failure -j "$jobs")

echo "== page tests (Node, headless Chromium)"
bash scripts/test-pages.sh

echo "== target tests (Wine)"
source scripts/wine-env.sh
trap qov_wine_cleanup EXIT
(cd build/win32 && ctest --output-on-failure -j "$jobs")
