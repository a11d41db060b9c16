#!/usr/bin/env bash
# tests/smoke/echo6-xvfb.sh SONARIX RESPONDER OUTDIR: an IPv6 host in a real
# X server (Xvfb), used as a person would with xdotool. In a network
# namespace of its own, where the test's responder answers ::1 after 30 ms
# (so that the scope has bars to draw), the user types "::1" into the host
# box and presses Enter:
#   - the namespace's ICMPv6 counters show three echoes each way;
#   - the log, saved through "Save Log...", holds the series with the IPv6
#     address in the address's place;
#   - the scope draws the reply times (red bars: 30 ms is at or above the
#     10 ms threshold), where nothing red was before.
# Screenshots at twice their size go to OUTDIR. Exit 77 = skipped.
set -euo pipefail
sonarix=$(realpath "$1")
responder=$(realpath "$2")
out=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../support/x11.sh
. "$here/../support/x11.sh"
for tool in Xvfb xdotool xprop import convert unshare ip sysctl mount; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for a network namespace"; exit 77; }
[ -e /proc/net/if_inet6 ] || { echo "skipped: the kernel has no IPv6"; exit 77; }
if [ "${SONARIX_ECHO6_INSIDE:-}" != 1 ]; then
  export SONARIX_ECHO6_INSIDE=1
  exec unshare -n -m --propagation private -- "$0" "$@"
fi
# The X server's files cannot meet those of a server of another namespace.
private_tmp "$(dirname "$sonarix")" "$out"
mkdir -p "$out"
fail() { echo "FAIL: $*"; exit 1; }

ip link set lo up
sysctl -qw net.ipv6.icmp.echo_ignore_all=1
pid=
answerer=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  if [ -n "$answerer" ]; then kill "$answerer" 2>/dev/null || true; fi
  stop_xvfb
}
trap cleanup EXIT

# The responder says "ready" once it listens.
ready=$(mktemp)
"$responder" 30 0 >"$ready" &
answerer=$!
for _ in $(seq 1 50); do grep -q ready "$ready" && break; sleep 0.1; done
grep -q ready "$ready" || fail "the responder did not start"
rm -f "$ready"

# Echo requests sent and replies received, from this namespace's counters.
echo6_counters() {
  awk '$1 == "Icmp6OutEchos" { s = $2 } $1 == "Icmp6InEchoReplies" { r = $2 } END { printf "%d %d\n", s, r }' /proc/net/snmp6
}
# Pure red pixels (the scope's bars at or above the threshold) in a
# rectangle W H X Y of a screenshot.
red_pixels() { convert "$1" -crop "$2x$3+$4+$5" txt:- | grep -ci '#FF0000' || true; }
picture() { convert "$1" -crop "$(($4 + 16))x$(($5 + 16))+$(($2 - 8))+$(($3 - 8))" +repage -filter point -resize 200% "$6"; }

start_xvfb || fail "no X server"
QT_QPA_PLATFORM=xcb "$sonarix" >"$out/sonarix.log" 2>&1 &
pid=$!
win=$(wait_window "$pid" '^Sonarix 1\.0$' 15) || { cat "$out/sonarix.log"; fail "no main window"; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "main window $win: ${WIDTH}x${HEIGHT}+$X+$Y"
import -window root "$out/before.png"
red0=$(red_pixels "$out/before.png" "$WIDTH" "$HEIGHT" "$X" "$Y")

# The host box has the focus when the window opens.
read -r sent0 replies0 < <(echo6_counters)
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key ctrl+a
xdotool type --delay 50 "::1"
xdotool key Return
sleep 3.5
kill -0 "$pid" 2>/dev/null || { cat "$out/sonarix.log"; fail "the program ended"; }
import -window root "$out/after.png"
read -r sent1 replies1 < <(echo6_counters)
echo "ICMPv6 echoes sent $((sent1 - sent0)), replies $((replies1 - replies0))"
[ $((sent1 - sent0)) -eq 3 ] || fail "expected 3 ICMPv6 echo requests"
[ $((replies1 - replies0)) -eq 3 ] || fail "expected 3 ICMPv6 echo replies"
red1=$(red_pixels "$out/after.png" "$WIDTH" "$HEIGHT" "$X" "$Y")
echo "red scope pixels before $red0, after $red1"
[ "$red0" -eq 0 ] || fail "red before the series"
[ "$red1" -gt 20 ] || fail "the scope drew no bars"
picture "$out/after.png" "$X" "$Y" "$WIDTH" "$HEIGHT" "$out/echo6-after.png"

# The log, saved as a user would: "Save Log...", a file name, Enter.
rm -f "$out/log.txt"
xdotool mousemove $((X + 4 + 214 + 35)) $((Y + HEIGHT - 4 - 67 + 8 + 25))
sleep 0.2
xdotool click 1
wait_window "$pid" '^Save Log$' 10 >/dev/null || fail "no save dialog"
sleep 0.8
xdotool key ctrl+a
xdotool type --delay 20 "$out/log.txt"
xdotool key Return
for _ in $(seq 1 50); do [ -s "$out/log.txt" ] && break; sleep 0.1; done
[ -s "$out/log.txt" ] || fail "the log was not saved"
tr -d '\r' <"$out/log.txt" >"$out/log-lines.txt"
echo "--- the saved log:"
cat "$out/log-lines.txt"
# Each line a regular expression.
expected=(
  "Resolving host '::1'"
  "Host '::1' is ::1"
  ""
  "Sending 56 bytes to ::1 \(::1\)"
  "Received 56 bytes from ::1 in 3[0-9] msecs"
  "Sending 56 bytes to ::1 \(::1\)"
  "Received 56 bytes from ::1 in 3[0-9] msecs"
  "Sending 56 bytes to ::1 \(::1\)"
  "Received 56 bytes from ::1 in 3[0-9] msecs"
  "\*\*\*\*\*\*\*\*\*\*\*\*\*Finished\*\*\*\*\*\*\*\*\*\*\*\*"
)
mapfile -t lines <"$out/log-lines.txt"
[ "${#lines[@]}" -eq "${#expected[@]}" ] || fail "${#lines[@]} log lines, not ${#expected[@]}"
for i in "${!expected[@]}"; do
  [[ "${lines[$i]}" =~ ^${expected[$i]}$ ]] || fail "log line $((i + 1)): '${lines[$i]}'"
done

# The caption's close button ends the program.
eval "$(xdotool getwindowgeometry --shell "$win")"
import -window root "$out/closing.png"
xdotool mousemove $((X + WIDTH - 11)) $((Y + 13))
sleep 0.2
xdotool mousedown 1
sleep 0.2
xdotool mouseup 1
wait_exit "$pid" 10 || fail "the program did not end"
[ "$EXIT_STATUS" -eq 0 ] || fail "exit status $EXIT_STATUS"
pid=
echo "PASS (screenshots in $out)"
