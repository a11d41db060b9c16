#!/usr/bin/env bash
# tools/smoke-xvfb.sh SONARIX OUTDIR: starts the program in a real X server
# (Xvfb), checks that the main window shows, presses Enter in the host box
# and checks that three echoes to 127.0.0.1 went out and came back; then
# that a start-up without an echo handle shows its error and exits non-zero.
# Runs in a network namespace of its own, so the kernel's ICMP counters
# count only this program's echoes. Exit 77 = skipped.
set -euo pipefail
sonarix=$(realpath "$1")
out=$(realpath -m "$2")
mkdir -p "$out"
for tool in xvfb-run xdotool import compare unshare ip setpriv sysctl; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for a network namespace"; exit 77; }

if [ "${SONARIX_SMOKE_INSIDE:-}" != 1 ]; then
  export SONARIX_SMOKE_INSIDE=1
  exec unshare -n -- xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

ip link set lo up
export QT_QPA_PLATFORM=xcb
# echo_counters
# shellcheck source=../tests/support/x11.sh
. "$(dirname "$(realpath "$0")")/../tests/support/x11.sh"

"$sonarix" >"$out/sonarix.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

win=""
for _ in $(seq 1 100); do
  win=$(xdotool search --name '^Sonarix 1\.0$' 2>/dev/null | head -n 1 || true)
  [ -n "$win" ] && break
  kill -0 $pid 2>/dev/null || { echo "FAIL: the program ended"; cat "$out/sonarix.log"; exit 1; }
  sleep 0.1
done
[ -n "$win" ] || { echo "FAIL: no main window"; exit 1; }
sleep 1
import -window root "$out/started.png"
read -r sent0 replies0 < <(echo_counters)

# The host box has the focus when the window opens: Enter pings.
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Return
sleep 3.5
import -window root "$out/pinged.png"
read -r sent1 replies1 < <(echo_counters)

kill -0 $pid 2>/dev/null || { echo "FAIL: the program ended"; cat "$out/sonarix.log"; exit 1; }
geometry=$(xdotool getwindowgeometry "$win" | awk '/Geometry/ { print $2 }')
echo "main window $win, geometry $geometry; echoes sent $((sent1 - sent0)), replies $((replies1 - replies0))"
[ "$geometry" = "431x503" ] || { echo "FAIL: window size $geometry"; exit 1; }
[ $((sent1 - sent0)) -eq 3 ] || { echo "FAIL: expected 3 echo requests"; exit 1; }
[ $((replies1 - replies0)) -eq 3 ] || { echo "FAIL: expected 3 echo replies"; exit 1; }
# The log now shows text: the two pictures differ.
diff_pixels=$(compare -metric AE "$out/started.png" "$out/pinged.png" null: 2>&1 || true)
echo "pixels changed: $diff_pixels"
[ "${diff_pixels%%.*}" -gt 500 ] || { echo "FAIL: the window did not change"; exit 1; }
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true

# A start-up that cannot open an echo handle (no raw sockets, no ping
# sockets in this namespace) shows its message and ends with a failure.
sysctl -qw net.ipv4.ping_group_range="1 0"
setpriv --bounding-set=-net_raw --inh-caps=-net_raw -- "$sonarix" >"$out/failed-start.log" 2>&1 &
pid=$!
box=""
for _ in $(seq 1 100); do
  box=$(xdotool search --onlyvisible --name '^Sonarix - a Ping Utility$' 2>/dev/null | head -n 1 || true)
  [ -n "$box" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
[ -n "$box" ] || { echo "FAIL: no error box at a failed start-up"; cat "$out/failed-start.log"; exit 1; }
sleep 0.5
import -window root "$out/failed-start.png"
if xdotool search --name '^Sonarix 1\.0$' >/dev/null 2>&1; then echo "FAIL: main window shown"; exit 1; fi
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
status=0
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "FAIL: still running after the error box"; exit 1; fi
wait $pid || status=$?
echo "failed start-up: exit status $status"
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] || { echo "FAIL: exit status $status"; exit 1; }
echo "PASS (screenshots in $out)"
