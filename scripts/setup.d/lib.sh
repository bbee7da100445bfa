#!/usr/bin/env bash
# lib.sh - helpers the set-up steps source. It only defines functions, so when
# setup.sh runs it as a step of its own it does nothing.

# Installs those of the named Debian packages that are not installed yet; when
# all are there it only asks dpkg, so a second run is quick.
install_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}
