#!/usr/bin/env bash
# 30-pdf-tools.sh - the tools the PDF writer's tests read its files back with
# (qpdf, poppler, MuPDF, Ghostscript), the fonts they render the standard fonts
# with, and cairo for the PDF benchmark. Installs only what is missing.
set -euo pipefail

packages=(qpdf poppler-utils mupdf-tools ghostscript fonts-urw-base35 libcairo2-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
