#!/usr/bin/env bash
# 30-pdf-tools.sh - the tools the PDF writer's tests read its files back with
# (qpdf, poppler, MuPDF, Ghostscript), the fonts they render the standard fonts
# with, and cairo for the PDF benchmark; the Chinese font and fontTools the
# subset files are checked with (by Debian's own python3), and libqpdf for the
# page import benchmark; pdf.js (libjs-pdf), the text extraction of browsers,
# run by node. Installs only what is missing.
set -euo pipefail

. "$(dirname "$0")/lib.sh"

install_missing_packages qpdf poppler-utils mupdf-tools ghostscript fonts-urw-base35 libcairo2-dev \
  fonts-droid-fallback fonttools python3-fonttools python3-cairo libqpdf-dev libjs-pdf
