#!/usr/bin/env bash
# 40-print-tools.sh - what the print tests read the test printer's PostScript
# back with (Ghostscript's ps2pdf, poppler's pdftotext) and the monospaced font
# the test prefix shows as "Courier New" (Liberation Mono has its metrics).
# Installs only what is missing.
set -euo pipefail

packages=(ghostscript poppler-utils fonts-liberation python3)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
