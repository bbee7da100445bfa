# scenelib.sh - sourced by the web-view scene tests: each scene runs from a
# copy of the program (its debug log and outputs are the scene's own), with
# the client's default runtime starting the page host itself; the page hosts a
# scene started must end and leave no session folder (qovwv-PID-*) behind.
# A failure keeps every scene's logs (the server's output, the client's debug
# log, the page host's trace) in failed/TEST.PID under the test's folder (or
# QOV_TWIN_FAILED) before the scenes' folders go.
# Sourced with the test's arguments: SERVER CLIENT SCRIPTS.
server=$1 client=$2 scripts=$3
build=$(dirname "$client")
work=$(mktemp -d)
# A scene installed on drive C: (scene_root below) has its copy removed too.
c_root=${WINEPREFIX:-$HOME/.wine}/drive_c/qovc-$$
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work" "$c_root"' EXIT
winpath() { echo "Z:$1" | tr / '\\'; }
# A program copied into the prefix's drive C: is run by its C: path.
drive_c=$(dirname "$c_root")
progpath() {
  case $1 in
    "$drive_c"/*) echo "C:${1#"$drive_c"}" | tr / '\\' ;;
    *) winpath "$1" ;;
  esac
}
# Where prepare copies the program: the scene's folder of its own, or with
# scene_root=$c_root a folder on drive C:.
scene_root=$work
failed_root=${QOV_TWIN_FAILED:-$PWD/failed}
keep_logs() {
  local dest d
  dest=$failed_root/$(basename "$0" .sh).$$
  for d in "$scene_root"/*/; do
    [ -d "$d" ] || continue
    # The host writes its trace as it ends.
    wait_for 30 no_hosts_left "${d%/}" || true
    mkdir -p "$dest/$(basename "$d")"
    cp "$d"*.log "$d"*.txt "$dest/$(basename "$d")/" 2>/dev/null || true
  done
  echo "the scenes' logs are kept in $dest"
}
# On stderr too: a scene's own checks run inside "dir=$(scene ...)", whose
# standard output the caller takes as the folder's name.
fail() { echo "FAIL: $*" | tee /dev/stderr; keep_logs; exit 1; }
tmpdir=${TMPDIR:-/tmp}

# Polls for a condition (a command) up to a deadline in seconds.
wait_for() {
  local seconds=$1; shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

# The page hosts started from this scene's copy of the program.
host_pids() { pgrep -f "$1/qovwv_host/pagehost.js" || true; }
no_session_folders() {
  local pid
  for pid in $1; do
    compgen -G "$tmpdir/qovwv-$pid-*" >/dev/null && return 1
  done
  return 0
}
no_hosts_left() { [ -z "$(host_pids "$1")" ]; }

# Copies the program beside its page files into a folder of its own.
prepare() {
  local dir=$scene_root/$1
  mkdir -p "$dir"
  cp "$client" "$dir/"
  cp -r "$build/qovwv_html" "$dir/"
  cp -R "$build/qovwv_host" "$dir/"
  echo "$dir"
}

# Runs one scene; the page hosts it started are watched while it runs.
scene() {
  local name=$1 script=$2; shift 2
  local dir; dir=$(prepare "$name")
  local rc=0
  (cd "$dir" && env QOV_PAGEHOST_TRACE="$dir/pagehost-trace.txt" "$@" wine "$server" --timeout 30 \
      --client "$(progpath "$dir/qovtervex.exe") -deb $name" "$(winpath "$scripts/$script")") \
      >"$dir/session.log" 2>&1 &
  local run=$!
  local seen=""
  while kill -0 $run 2>/dev/null; do
    seen="$seen $(host_pids "$dir")"
    sleep 0.2
  done
  wait $run || rc=$?
  tr -d '\r' <"$dir/session.log" >&2
  [ "$rc" -eq 0 ] && ! grep -q FAIL "$dir/session.log" || fail "scene $name"
  wait_for 30 no_hosts_left "$dir" || fail "$name: its page host is still running"
  no_session_folders "$seen" || fail "$name: a page host left its folder in $tmpdir"
  echo "$dir"
}

# A log shown before a failure; one that is missing says so instead of ending
# the test (errexit) before the failure is named.
show() { tr -d '\r' <"$1" || echo "(no $1)"; }
log_has() { grep -qF "$2" "$1/qovtervex.log" || { show "$1/qovtervex.log"; fail "the log lacks: $2"; }; }

