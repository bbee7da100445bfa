#!/usr/bin/env bash
# wine-run.sh - the cross build's test emulator: runs one Windows program under
# the Wine prefix and display that scripts/wine-env.sh prepared.
exec wine "$@"
