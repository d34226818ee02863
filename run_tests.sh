#!/usr/bin/env bash
# Runs every test tier: host cores (sanitizers), Windows tests under Wine, end-to-end.
# Installs what a fresh Debian machine lacks first.
set -uo pipefail
cd "$(dirname "$0")"
tools/setup-machine.sh || exit 1

status=0
step() { echo; echo "=== $*"; "$@" || status=1; }

step cmake --preset host >/dev/null
step cmake --build --preset host
step ctest --preset host

step cmake --preset windows >/dev/null
step cmake --build --preset windows
step ctest --preset windows
exit $status
