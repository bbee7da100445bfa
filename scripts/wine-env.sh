# wine-env.sh - sourced by run.sh and test.sh: one fresh 32-bit Wine prefix per
# run and, when no display is set, an Xvfb server of our own. Wine must not try
# to download its .NET and HTML engines, so both are disabled.
# A machine that runs no 32-bit programs stops the run here, with one line.
bash "$(dirname "${BASH_SOURCE[0]}")/check-32bit.sh" || exit 1
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/qov-wine.XXXXXX)
  export WINEPREFIX
  QOV_OWN_PREFIX=1
fi
if [ -z "${DISPLAY:-}" ]; then
  # Two runs starting together can pick the same free number: the server
  # that lost the lock file ends at once, and its run takes the next number
  # (it used to take the other run's server, and lost its display when that
  # run ended and stopped it).
  for n in $(seq 90 130); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QOV_XVFB_PID=$!
    for _ in $(seq 300); do
      [ -e /tmp/.X11-unix/X$n ] && [ "$(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null)" = "$QOV_XVFB_PID" ] && break
      kill -0 "$QOV_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$QOV_XVFB_PID" 2>/dev/null && [ "$(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null)" = "$QOV_XVFB_PID" ]; then
      export DISPLAY=:$n
      break
    fi
    kill "$QOV_XVFB_PID" 2>/dev/null || true
    unset QOV_XVFB_PID
  done
fi
wineboot -i >/dev/null 2>&1 || true
wineserver -w
# Debian's Wine 8 looks for its own fonts (Marlett, Tahoma, MS Sans Serif, the
# bitmap system fonts) under a path built from its data directory that does not
# resolve, so a prefix has none of them: caption buttons, drawn with Marlett's
# glyphs "0", "1" and "r", come out as those letters in a fallback font, and
# dialogs use another face than on Windows. Wine does load every font in the
# prefix's windows\Fonts folder, so the fonts-wine files are linked there. A
# file of the same name already in the folder is left as it is.
qov_wine_fonts=/usr/share/wine/fonts
if [ -d "$qov_wine_fonts" ] && [ -d "$WINEPREFIX/drive_c/windows" ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  for f in "$qov_wine_fonts"/*; do
    [ -e "$WINEPREFIX/drive_c/windows/Fonts/${f##*/}" ] || ln -s "$f" "$WINEPREFIX/drive_c/windows/Fonts/${f##*/}"
  done
fi
# The prefix's settings, written in one import:
# - A program that crashes ends at once: Wine's default is to start its
#   debugger, which here waits for ever, so a crash in a test would hang the
#   test until its time limit instead of failing it.
# - On our own Xvfb there is no window manager to draw frames and captions,
#   and Wine leaves them to one unless told to draw them itself; without this
#   the windows have black frames and no caption buttons. Nor is there one to
#   place and withdraw windows: Wine would hand its top-level windows to it
#   and, each time one is hidden or destroyed, wait two seconds for an answer
#   that never comes, so it is told to manage them itself.
if [ -d "$WINEPREFIX/drive_c" ]; then
{
  printf 'REGEDIT4\n\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n"Debugger"=""\n\n'
  if [ -n "${QOV_XVFB_PID:-}" ]; then
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n'
  fi
} >"$WINEPREFIX/drive_c/qov-settings.reg"
wine regedit /S 'C:\qov-settings.reg' >/dev/null 2>&1 || true
fi

# One Wine server, with its desktop and services, for the whole run. Left to
# itself the server ends a few seconds after its last program, and the next
# program (a test run alone, after the others) starts it again with its
# desktop process; on a busy machine that start can take longer than the ten
# seconds Wine's first window waits for the desktop, and the window is then
# not made. The server the set-up started ends first (a persistent one
# cannot start beside it). Wine's services and desktop processes are started
# here too, with their output going nowhere: started by a test, they would
# keep that test's output open for as long as they run, and ctest would wait
# on it. The desktop would still end one second after the last program left
# it (a gap between tests on a busy machine is enough) and the next test
# would start it again, so the build's qovdesktop stays on it for the whole
# run; without that program, one that only asks for the desktop window starts
# it. qov_wine_cleanup ends them all.
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
qov_desktop_exe=${QOV_BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win32}/qovdesktop.exe
qov_desktop_ready=$WINEPREFIX/qov-desktop.ready
rm -f "$qov_desktop_ready"
if [ -f "$qov_desktop_exe" ]; then
  wine "$qov_desktop_exe" "Z:${qov_desktop_ready//\//\\}" </dev/null >/dev/null 2>&1 &
  QOV_DESKTOP_PID=$!
  for _ in $(seq 600); do
    [ -e "$qov_desktop_ready" ] && break
    kill -0 "$QOV_DESKTOP_PID" 2>/dev/null || break
    sleep 0.1
  done
fi
[ -e "$qov_desktop_ready" ] || wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true

qov_wine_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${QOV_XVFB_PID:-}" ] && kill "$QOV_XVFB_PID" 2>/dev/null || true
  [ -n "${QOV_OWN_PREFIX:-}" ] && rm -rf "$WINEPREFIX" || true
}
