#!/usr/bin/env bash
# Builds the suite and shows it working against the virtual switch box under Wine.
# With a display: interactive (press the box's switches in this terminal).
# Without one: a short scripted run that saves screenshots and a log in build/windows/demo/.
set -uo pipefail
cd "$(dirname "$0")"
tools/setup-machine.sh || exit 1
cmake --preset windows >/dev/null && cmake --build --preset windows || exit 1
exec python3 tools/demo.py "$@"
