# demo-printer.sh - sourced by demo.sh: the demo's printer. The demo runs in a
# fresh Wine prefix without printers; the test printers of the print tests are
# installed into it ("QovTest", Letter, the default, on LPT1:), with the port
# captured into the print scene's folder, and the captured pages are turned
# into a PDF file there once the scenes have run. The printer files scene
# prints its receipt on "QovTestA4" (LPT2:) and writes its label to the port
# LPT3, which is pointed at label.prn in the same folder.

# qov_demo_printer BUILD OUT: installs the printer; the scene's folder is
# OUT/demo-print. Without the printer tool the print scene fails its open.
qov_demo_printer() {
  local build=$1 out=$2 here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  local tool=$build/tests/print/qovprtsetup.exe
  [ -f "$tool" ] || cmake --build "$build" --target qovprtsetup >&2 || true
  if [ ! -f "$tool" ]; then
    echo "demo printer: $tool is missing; the print scene has no printer" >&2
    return 0
  fi
  mkdir -p "$out/demo-print"
  sh "$here/tests/print/setup_printer.sh" "$tool" "$out/demo-print" >/dev/null 2>&1 ||
    echo "demo printer: the set-up failed" >&2
  rm -f "$out/demo-print"/*.ppd
  # The client's ini in the scene's folder: the TrueType faces of PDF files.
  cp "$here/tests/print/pdffonts.ini" "$out/demo-print/qovtervex.ini"
  : > "$out/demo-print/label.prn"
  ln -sfn "$out/demo-print/label.prn" "$WINEPREFIX/dosdevices/lpt3"
}

# qov_demo_printer_pages OUT: the pages printed on LPT1: as invoice.pdf and
# those on LPT2: as receipt.pdf, each with a picture of its first page. The
# protected invoice the client wrote itself gets its passwords in the scene's
# log.
qov_demo_printer_pages() {
  local dir=$1/demo-print
  if [ -s "$dir/invoice-protected.pdf" ]; then
    echo "invoice-protected.pdf: user password \"invoice\", owner password \"northwind\"" | tee -a "$dir/session.log"
    command -v pdftoppm >/dev/null &&
      pdftoppm -upw invoice -png -r 100 -f 1 -l 1 -singlefile "$dir/invoice-protected.pdf" "$dir/invoice-protected"
  fi
  [ -s "$dir/capture-lpt1.ps" ] || return 0
  mv "$dir/capture-lpt1.ps" "$dir/invoice.ps"
  ps2pdf "$dir/invoice.ps" "$dir/invoice.pdf" && rm -f "$dir/invoice.ps"
  command -v pdftoppm >/dev/null && pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$dir/invoice.pdf" "$dir/invoice"
  if [ -s "$dir/capture-lpt2.ps" ]; then
    ps2pdf "$dir/capture-lpt2.ps" "$dir/receipt.pdf" && rm -f "$dir/capture-lpt2.ps"
    command -v pdftoppm >/dev/null && pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$dir/receipt.pdf" "$dir/receipt"
  fi
  ln -sfn /dev/null "$WINEPREFIX/dosdevices/lpt3"
  return 0
}
