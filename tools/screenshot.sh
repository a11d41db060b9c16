#!/usr/bin/env bash
# tools/screenshot.sh SONARIX [OUT.png]: the main window after pinging
# 127.0.0.1 three times, captured in Xvfb; by default it refreshes the
# screenshot the README and the AppStream metadata show
# (data/screenshots/main-window.png). Needs permission to send echoes.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
sonarix=$(realpath "$1")
out=$(realpath -m "${2:-$here/../data/screenshots/main-window.png}")
# shellcheck source=../tests/support/x11.sh
. "$here/../tests/support/x11.sh"
mkdir -p "$(dirname "$out")"
start_xvfb
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; stop_xvfb' EXIT
QT_QPA_PLATFORM=xcb "$sonarix" >/dev/null 2>&1 &
pid=$!
win=$(wait_window "$pid" '^Sonarix 1\.0$' 15)
press_enter_in "$win"
# Three echoes 500 ms apart, then the finished line.
sleep 2.5
import -window "$win" "$out"
echo "wrote $out"
