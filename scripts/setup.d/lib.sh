#!/usr/bin/env bash
# lib.sh - helpers the set-up steps source. It only defines functions, so when
# setup.sh runs it as a step of its own it does nothing.

# Refreshes the package lists. A mirror caught in the middle of a sync serves
# an index of the wrong size, and apt-get fails the whole refresh for it; the
# refresh is tried again a few times, then the lists that did come are used:
# the install that follows fails, saying what is missing, only if a package it
# needs is not among them.
# Lists refreshed within the hour (an earlier step of the same set-up) are
# used as they are, complete or not, rather than fetched and waited for again.
apt_lists_incomplete=
apt_refreshed=/var/lib/apt/lists/qovtervex-refreshed
apt_update() {
  if [ -n "$(find "$apt_refreshed" -mmin -60 2>/dev/null)" ]; then
    [ "$(cat "$apt_refreshed")" = complete ] || apt_lists_incomplete=1
    return 0
  fi
  local try
  for try in 1 2 3 4 5; do
    if apt-get update -qq; then
      apt_lists_incomplete=
      echo complete > "$apt_refreshed"
      return 0
    fi
    [ "$try" -lt 5 ] && { echo "package lists incomplete (try $try of 5), again in 30 s" >&2; sleep 30; }
  done
  apt_lists_incomplete=1
  echo incomplete > "$apt_refreshed"
  echo "package lists still incomplete: going on with those fetched" >&2
}

# Installs the named packages. When one architecture's list of the security
# suite did not come, the other's newer versions are candidates that the
# missing architecture cannot match (multi-arch libraries must agree), and
# the install fails; it is then made from the release's own suite, whose
# lists came for both architectures.
apt_install() {
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null && return 0
  [ -n "$apt_lists_incomplete" ] || return 1
  local release
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "installing from $release alone, its security suite's lists being incomplete" >&2
  apt-get install -y -qq --no-install-recommends -t "$release" "$@" >/dev/null
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
    apt_install "${missing[@]}"
  fi
}
