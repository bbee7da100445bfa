#!/bin/sh
# noserver_test.sh - the client against a port where no server listens, over
# IPv4 and IPv6: it prints the fatal text with the refusal and ends with code 0
# (no connection), releasing the link it set up without hanging.
exe=$1
fatal='Qovtervex has had the following error while communicating with the server:'
for link in '-host 127.0.0.1' '-ipv6 -host ::1'; do
  out=$(wine "$exe" $link -port 1 orders.qoc 2>&1)
  rc=$?
  out=$(echo "$out" | tr -d '\r')
  echo "$out"
  [ "$rc" = 0 ] || { echo "FAIL: $link ended with $rc, expected 0"; exit 1; }
  echo "$out" | grep -qF "$fatal" || { echo "FAIL: $link printed no fatal text"; exit 1; }
  echo "$out" | grep -q '^10061' || { echo "FAIL: $link printed no refusal number"; exit 1; }
done
echo PASS
