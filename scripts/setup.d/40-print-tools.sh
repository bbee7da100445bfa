#!/usr/bin/env bash
# 40-print-tools.sh - what the print tests read the test printer's PostScript
# back with (Ghostscript's ps2pdf, poppler's pdftotext) and the monospaced font
# the test prefix shows as "Courier New" (Liberation Mono has its metrics).
# Installs only what is missing.
set -euo pipefail

. "$(dirname "$0")/lib.sh"

install_missing_packages ghostscript poppler-utils fonts-liberation python3
