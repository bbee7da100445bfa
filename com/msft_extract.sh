#!/bin/sh
# msft_extract.sh IN OUT - writes the MSFT type library held in the PE file IN
# (from its "MSFT" signature to the end) to OUT; widl ignores what follows it.
set -e
offset=$(grep -obUa MSFT "$1" | head -n 1 | cut -d: -f1)
[ -n "$offset" ] || { echo "no MSFT type library in $1" >&2; exit 1; }
mkdir -p "$(dirname "$2")"
tail -c +$((offset + 1)) "$1" > "$2"
