# wine-env.sh - sourced by run.sh and test.sh: one fresh 32-bit Wine prefix per
# run and, when no display is set, an Xvfb server of our own. Wine must not try
# to download its .NET and HTML engines, so both are disabled.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/qov-wine.XXXXXX)
  export WINEPREFIX
  QOV_OWN_PREFIX=1
fi
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 130); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QOV_XVFB_PID=$!
    export DISPLAY=:$n
    break
  done
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X${DISPLAY#:} ] && break; sleep 0.1; done
fi
wineboot -i >/dev/null 2>&1 || true
wineserver -w

qov_wine_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${QOV_XVFB_PID:-}" ] && kill "$QOV_XVFB_PID" 2>/dev/null || true
  [ -n "${QOV_OWN_PREFIX:-}" ] && rm -rf "$WINEPREFIX" || true
}
