#!/bin/sh
# setup_printer.sh - the test printers of a Wine test run, installed into the
# run's prefix ($WINEPREFIX): two PPD files written here (Letter by default and
# A4 by default, both 600 dpi with an imageable area), Wine's PostScript driver
# with each, "QovTest" on LPT1: as the default printer and "QovTestA4" on
# LPT2:, both ports captured to files. The prefix's serial and parallel devices
# are pointed at /dev/null first so no test ever reaches the host's ports.
#
# Usage: setup_printer.sh TOOL.exe OUTDIR
set -eu
tool=$1
out=$2
: "${WINEPREFIX:?the test printer needs the run's WINEPREFIX}"
mkdir -p "$out"
# A link already there is left alone: the set-up may run again in a prefix
# whose ports are in use, and relinking takes the name away for a moment.
for d in com1 com2 com3 com4 lpt1 lpt2 lpt3 lpt4; do
  [ "$(readlink "$WINEPREFIX/dosdevices/$d" || true)" = /dev/null ] || ln -sfn /dev/null "$WINEPREFIX/dosdevices/$d"
done

# write_ppd FILE DEFAULT-SIZE: written beside and moved into place, so that a
# set-up reading the file never meets it half-written.
write_ppd() {
  cat > "$1.$$" <<PPD
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "QOVTEST.PPD"
*Manufacturer: "Qovtervex"
*Product: "(Qovtervex Test Printer)"
*ModelName: "Qovtervex Test Printer"
*ShortNickName: "Qovtervex Test Printer"
*NickName: "Qovtervex Test Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *Resolution: PickOne
*DefaultResolution: 600dpi
*Resolution 600dpi: "<</HWResolution[600 600]>>setpagedevice"
*CloseUI: *Resolution
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: $2
*PageSize Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: $2
*PageRegion Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: $2
*ImageableArea Letter/US Letter: "18 18 594 774"
*ImageableArea A4/A4: "18 18 577 824"
*DefaultPaperDimension: $2
*PaperDimension Letter/US Letter: "612 792"
*PaperDimension A4/A4: "595 842"
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
*Font Helvetica: Standard "(001.006S)" Standard ROM
*Font Times-Roman: Standard "(001.007S)" Standard ROM
PPD
  mv -f "$1.$$" "$1"
}
write_ppd "$out/qovtest.ppd" Letter
write_ppd "$out/qovtesta4.ppd" A4

# The prefix shows a monospaced font with the metrics of "Courier New" (the
# jobs' default font) so positions can be checked character by character.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d 'Liberation Mono' /f >/dev/null 2>&1

winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

# install PRINTER ...: the tool installs one printer and writes "PRINTER: W x H
# at D dpi" once its work is done. On a heavily loaded machine Wine has left
# that process hanging in its own teardown after the line (the set-up then
# waited out its time limit and every print test was skipped): the line is the
# verdict, and a process still there some time after it is stopped.
line_wait=60
exit_wait=20

# poll_until SECONDS COMMAND...: runs the command every tenth of a second until
# it succeeds (0) or the seconds have passed (1).
poll_until() {
  end=$(($(date +%s) + $1)); shift
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.1
  done
}
ended() { ! kill -0 "$pid" 2>/dev/null; }
# The tool has written its line, or has ended without it.
line_or_end() { grep -q "^$name: " "$log" || ended; }

install() {
  name=$1
  log=$out/setup-$name.txt
  wine "$tool" "$@" >"$log" 2>&1 &
  pid=$!
  if ! poll_until "$line_wait" line_or_end; then
    kill "$pid" 2>/dev/null || true
    cat "$log"
    echo "FAIL: $name not installed within ${line_wait} s" >&2
    return 1
  fi
  cat "$log"
  if grep -q "^$name: " "$log" && ! poll_until "$exit_wait" ended; then
    kill "$pid" 2>/dev/null || true
    echo "note: $name is installed; its set-up process did not end within ${exit_wait} s and was stopped" >&2
    return 0
  fi
  rc=0
  wait "$pid" || rc=$?
  [ "$rc" = 0 ] || echo "FAIL: $name: its set-up process ended with code $rc" >&2
  return "$rc"
}
install QovTest "$(winpath "$out/qovtest.ppd")" LPT1: "$out/capture-lpt1.ps" default
install QovTestA4 "$(winpath "$out/qovtesta4.ppd")" LPT2: "$out/capture-lpt2.ps"
