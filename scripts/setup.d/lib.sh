#!/usr/bin/env bash
# lib.sh - helpers the set-up steps source. It only defines functions, so when
# setup.sh runs it as a step of its own it does nothing.

# Refreshes the package lists. A mirror caught in the middle of a sync serves
# an index of the wrong size, and apt-get fails the whole refresh for it; the
# refresh is tried again a few times, then the lists that did come are used:
# the install that follows fails, saying what is missing, only if a package it
# needs is not among them.
apt_update() {
  local try
  for try in 1 2 3 4 5; do
    apt-get update -qq && return 0
    [ "$try" -lt 5 ] && { echo "package lists incomplete (try $try of 5), again in 30 s" >&2; sleep 30; }
  done
  echo "package lists still incomplete: going on with those fetched" >&2
}

# Installs those of the named Debian packages that are not installed yet; when
# all are there it only asks dpkg, so a second run is quick.
install_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt_update
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}
