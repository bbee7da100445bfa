#!/bin/sh
# single_use_test.sh - with QOVCS_SINGLEUSE a second client finds the first one
# running and ends at once with code 0, without trying to connect.
server=$1 client=$2 script=$3
export QOVCS_SINGLEUSE=1
# The first session stays open until this file is there, made however this
# script ends.
rm -f single-use-done
trap 'touch single-use-done' EXIT
wine "$server" --timeout 20 --client "$client -host 127.0.0.1 holder" "$script" > first.log 2>&1 &
first=$!
# Wait until the first client holds its session: on a busy machine starting
# the server and the client under Wine may take many seconds.
for _ in $(seq 600); do
  grep -q "C> 1100" first.log 2>/dev/null && break
  kill -0 "$first" 2>/dev/null || break
  sleep 0.1
done
grep -q "C> 1100" first.log || { echo "FAIL: the first client did not connect"; cat first.log; exit 1; }
out=$(wine "$client" -deb -host 127.0.0.1 -port 9 second 2>&1 | tr -d '\r')
rc=$?
echo "$out"
touch single-use-done
wait "$first"
firstrc=$?
cat first.log
[ "$rc" = 0 ] || { echo "FAIL: the second client ended with $rc"; exit 1; }
case "$out" in *"error while communicating"*) echo "FAIL: the second client tried to connect"; exit 1 ;; esac
[ "$firstrc" = 0 ] || { echo "FAIL: the first session ended with $firstrc"; exit 1; }
echo PASS
