#!/usr/bin/env bash
# tools/skin-xvfb.sh SONARIX OUTDIR: the skinned buttons of the program in a
# real X server (Xvfb), used with the pointer as a person would (xdotool):
#   - the pointer moves onto "Ping !": screenshots taken as fast as the X
#     server gives them show how far its frame has gone from the normal look
#     toward the hot one, over time; then the same when the pointer leaves;
#   - the button pressed (the pointer held down on it): the caption stands
#     one pixel right and down; moved off before the release, nothing runs;
#   - a host name whose lookup does not answer (a name server that never
#     replies, in a network and mount namespace of our own): "Ping !" looks
#     disabled while the lookup runs.
# Prints what it measured and writes screenshots at twice their size to
# OUTDIR (ping-states.png: normal, hot, pressed, disabled; buttons-*.png: the
# button row; fade-in.png, fade-out.png: the frames taken; main-lookup.png). Exit 77 = skipped; 1 = a look
# is not as it should be.
set -euo pipefail
sonarix=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../tests/support/x11.sh
. "$here/../tests/support/x11.sh"
mkdir -p "$out"
for tool in Xvfb xdpyinfo xdotool xwininfo xwd convert compare unshare ip python3 mount; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for the namespaces"; exit 77; }

if [ "${SONARIX_SKIN_INSIDE:-}" != 1 ]; then
  export SONARIX_SKIN_INSIDE=1
  exec unshare -mn -- "$0" "$@"
fi

fail() { echo "FAIL: $*"; exit 1; }

# Our own network with a name server that never answers: lookups of names
# not in the hosts file wait for the resolver's time-out. A /tmp of our own:
# the X server's lock and socket files cannot meet those of a server
# elsewhere.
ip link set lo up
mount --make-rprivate /
private_tmp "$(dirname "$sonarix")" "$out" "$here"
printf 'nameserver 127.0.0.2\noptions timeout:4 attempts:1\n' >"$out/resolv.conf"
mount --bind "$out/resolv.conf" /etc/resolv.conf
python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.2", 53))
time.sleep(600)' &
silent=$!

pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  kill "$silent" 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
# A display and authority of our own, the number chosen by the server.
XVFB_LOG="$out/xvfb.log" start_xvfb || { cat "$out/xvfb.log"; fail "no X server of our own"; }
export QT_QPA_PLATFORM=xcb

"$sonarix" >"$out/sonarix.log" 2>&1 &
pid=$!
win=""
for _ in $(seq 1 100); do
  win=$(timeout 5 xdotool search --onlyvisible --name '^Sonarix 1\.0$' 2>/dev/null | head -n 1 || true)
  [ -n "$win" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended: $(tail -n 3 "$out/sonarix.log")"
  sleep 0.1
done
[ -n "$win" ] || fail "no main window"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
# The client area inside the skin's 4-pixel frame and 19-pixel caption bar;
# "Ping !" at (7, 8) of the button row, which starts 436 pixels down.
cx=$((X + 4)) cy=$((Y + 23))
bx=$((cx + 7)) by=$((cy + 436 + 8)) bw=65 bh=52
echo "main window at +$X+$Y; \"Ping !\" at +$bx+$by"

# The screen; a window that goes while it is read (a hint) spoils one try.
snap() { for _ in 1 2 3; do xwd -root -silent >"$1" 2>/dev/null && return; done; fail "cannot read the screen"; }
crop() {  # XWD OUT.png: the button row (a 2x picture) and the button alone
  convert "xwd:$1" -crop "431x67+$cx+$((cy + 436))" +repage -filter point -resize 200% "$2"
}
button_png() { convert "xwd:$1" -crop "${bw}x${bh}+$bx+$by" +repage "$2"; }
# One pixel of the button's top edge (3, 1), as "R G B".
edge() {
  convert "xwd:$1" -crop "1x1+$((bx + 32))+$((by + 1))" +repage txt:- |
    awk -F'[(),]+' 'NR == 2 { print $3, $4, $5 }'
}
# How far (0..100) colour $1 has gone from $2 toward $3, by the channel that changes most.
progress() {
  python3 -c "
import sys
c, a, b = [list(map(int, s.split())) for s in sys.argv[1:4]]
i = max(range(3), key=lambda k: abs(b[k] - a[k]))
print(0 if b[i] == a[i] else round(100 * (c[i] - a[i]) / (b[i] - a[i])))" "$1" "$2" "$3"
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Normal, with the pointer away.
xdotool mousemove $((cx + 215)) $((cy + 200)); sleep 0.5
snap "$out/normal.xwd"
normal=$(edge "$out/normal.xwd")
button_png "$out/normal.xwd" "$out/b-normal.png"
crop "$out/normal.xwd" "$out/buttons-normal.png"
# Onto the button: frames as fast as the server gives them, for 450 ms.
xdotool mousemove $((bx + 32)) $((by + 40))
t0=$(now_ms)
frames=()
while [ $(($(now_ms) - t0)) -lt 450 ]; do
  f="$out/in-$(($(now_ms) - t0)).xwd"
  snap "$f"
  frames+=("$f")
done
sleep 0.3
snap "$out/hot.xwd"
hot=$(edge "$out/hot.xwd")
[ "$normal" != "$hot" ] || fail "the hot frame looks like the normal one"
echo "frame pixel: normal ($normal), hot ($hot)"
echo "fade to hot (ms after the pointer arrived: percent of the way):"
line="" reached=""
for f in "${frames[@]}"; do
  t=$(basename "$f" .xwd); t=${t#in-}
  p=$(progress "$(edge "$f")" "$normal" "$hot")
  line+=" $t:$p"
  [ -z "$reached" ] && [ "$p" -ge 100 ] && reached=$t
done
echo " $line"
echo "hot look reached after ${reached:-more than 450} ms"
convert $(for f in "${frames[@]}"; do echo "xwd:$f[${bw}x${bh}+$bx+$by]"; done) +append \
  -filter point -resize 200% "$out/fade-in.png"

# Away again: back to normal.
xdotool mousemove $((cx + 215)) $((cy + 200))
t0=$(now_ms)
frames=()
while [ $(($(now_ms) - t0)) -lt 450 ]; do
  f="$out/out-$(($(now_ms) - t0)).xwd"
  snap "$f"
  frames+=("$f")
done
line="" reached=""
for f in "${frames[@]}"; do
  t=$(basename "$f" .xwd); t=${t#out-}
  p=$(progress "$(edge "$f")" "$hot" "$normal")
  line+=" $t:$p"
  [ -z "$reached" ] && [ "$p" -ge 100 ] && reached=$t
done
echo "fade back to normal:$line"
echo "normal look reached after ${reached:-more than 450} ms"
convert $(for f in "${frames[@]}"; do echo "xwd:$f[${bw}x${bh}+$bx+$by]"; done) +append \
  -filter point -resize 200% "$out/fade-out.png"

# Pressed: the pointer held down on the button.
xdotool mousemove $((bx + 32)) $((by + 40)); sleep 0.4
snap "$out/hot.xwd"
xdotool mousedown 1; sleep 0.4
snap "$out/pressed.xwd"
# Off the button before the release: no click.
xdotool mousemove $((cx + 215)) $((cy + 200)); sleep 0.1
xdotool mouseup 1; sleep 0.4
kill -0 "$pid" 2>/dev/null || fail "the program ended"
button_png "$out/hot.xwd" "$out/b-hot.png"
button_png "$out/pressed.xwd" "$out/b-pressed.png"
# The caption's ink: pixels of the interior far from the panel's colours.
ink_box() {
  convert "$1" -crop "$((bw - 16))x$((bh - 16))+8+8" txt:- |
    awk -F'[(),: ]+' 'NR > 1 { r = $3; g = $4; b = $5
      if (r - b > 40) { x = $1 + 8; y = $2 + 8
        if (n++ == 0 || x < l) l = x; if (x > rr) rr = x; if (n == 1 || y < t) t = y; if (y > bb) bb = y } }
      END { printf "%d %d %d %d %d\n", n, l, t, rr, bb }'
}
read -r n1 l1 t1 r1 b1 < <(ink_box "$out/b-hot.png")
read -r n2 l2 t2 r2 b2 < <(ink_box "$out/b-pressed.png")
echo "caption ink, hot: $n1 pixels in ($l1,$t1)-($r1,$b1); pressed: $n2 pixels in ($l2,$t2)-($r2,$b2)"
[ "$n1" -gt 10 ] && [ $((l2 - l1)) -eq 1 ] && [ $((t2 - t1)) -eq 1 ] ||
  fail "the pressed caption is not one pixel right and down"
crop "$out/hot.xwd" "$out/buttons-hot.png"
crop "$out/pressed.xwd" "$out/buttons-pressed.png"
convert "$out/b-hot.png" "$out/b-pressed.png" +append -filter point -resize 400% \
  "$out/ping-hot-pressed.png"

# A lookup that does not answer: "Ping !" is disabled meanwhile. (Pressed
# last, it has the focus now: it looks hot until the host box takes it.)
xdotool mousemove $((cx + 215)) $((cy + 200)); sleep 0.5
xdotool mousemove $((cx + 150)) $((cy + 16)); sleep 0.2
xdotool click --repeat 3 --delay 80 1; sleep 0.2
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "slow.sonarix.test"
sleep 0.3
xdotool mousemove $((bx + 32)) $((by + 40)); sleep 0.3
xdotool click 1
xdotool mousemove $((cx + 215)) $((cy + 200)); sleep 0.6
snap "$out/lookup.xwd"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
button_png "$out/lookup.xwd" "$out/b-disabled.png"
bright() {  # the brightest pixel of the caption area (its red channel)
  convert "$1" -crop "$((bw - 24))x$((bh - 28))+12+14" -channel R -separate -format "%[fx:int(255*maxima)]" info:
}
echo "caption brightness: normal $(bright "$out/b-normal.png"), during the lookup $(bright "$out/b-disabled.png")"
[ "$(bright "$out/b-disabled.png")" -lt $(($(bright "$out/b-normal.png") - 40)) ] ||
  fail "\"Ping !\" does not look disabled during the lookup"
crop "$out/lookup.xwd" "$out/buttons-lookup.png"
convert "$out/b-normal.png" "$out/b-hot.png" "$out/b-pressed.png" "$out/b-disabled.png" +append \
  -filter point -resize 400% "$out/ping-states.png"
convert "xwd:$out/lookup.xwd" -crop "439x530+$X+$Y" +repage -filter point -resize 200% \
  "$out/main-lookup.png"
# The lookup gives up after the resolver's time-out: "Ping !" comes back.
for _ in $(seq 1 30); do
  sleep 0.5
  snap "$out/after.xwd"
  button_png "$out/after.xwd" "$out/b-after.png"
  [ "$(bright "$out/b-after.png")" -ge $(($(bright "$out/b-normal.png") - 10)) ] && break
done
echo "caption brightness after the lookup gave up: $(bright "$out/b-after.png")"
rm -f "$out"/*.xwd
echo "skinned buttons: hot, pressed and disabled looks as expected"
