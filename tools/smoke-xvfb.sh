#!/usr/bin/env bash
# tools/smoke-xvfb.sh SONARIX OUTDIR: starts the program in a real X server
# (Xvfb, no window manager) and uses it as a person would, with xdotool:
#   - the main window is its 431 x 503 client inside the skin's frame, and
#     its corners are cut (the white root shows through them);
#   - the caption text is white while the window is active and the title
#     colour when it is not;
#   - Enter in the host box sends three echoes to 127.0.0.1, all answered;
#   - the close button shows its hot and pressed looks;
#   - dragging the bottom-right corner by (+100, +100) makes the log 100
#     pixels taller while the scope and the button row keep their heights;
#     dragging the caption by (+60, +40) moves the window by exactly that;
#   - maximise and restore;
#   - "Save Log..." shows the save dialog in the skin's frame; a file that
#     cannot be created gives the error box, in the skin's frame too;
#   - releasing the mouse on the close button ends the program with status 0;
# and then that a start-up without an echo handle shows its error and exits
# non-zero. Screenshots at twice their size go to OUTDIR. Runs in a network
# namespace of its own, so the kernel's ICMP counters count only this
# program's echoes. Exit 77 = skipped.
set -euo pipefail
sonarix=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../tests/support/x11.sh
. "$here/../tests/support/x11.sh"
mkdir -p "$out"
for tool in Xvfb xdpyinfo xdotool xwininfo import convert compare unshare ip setpriv sysctl mount; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for a network namespace"; exit 77; }

if [ "${SONARIX_SMOKE_INSIDE:-}" != 1 ]; then
  export SONARIX_SMOKE_INSIDE=1
  exec unshare -n -m --propagation private -- "$0" "$@"
fi
# A /tmp of our own: the X server's lock and socket files cannot meet those
# of a server elsewhere.
private_tmp "$(dirname "$sonarix")" "$out" "$here"

ip link set lo up
export QT_QPA_PLATFORM=xcb

fail() { echo "FAIL: $*"; exit 1; }

# A display and authority of our own, the number chosen by the server; a
# white root window shows where the program's window is cut away.
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
XVFB_LOG="$out/xvfb.log" start_xvfb -wr || { cat "$out/xvfb.log"; fail "no X server of our own"; }

echo_counters() { awk '/^IcmpMsg:/ { if (!h) { split($0, names); h = 1 } else { split($0, v); for (i = 2; i <= NF; i++) c[names[i]] = v[i] } } END { printf "%d %d\n", c["OutType8"], c["InType0"] }' /proc/net/snmp; }
alive() { kill -0 "$pid" 2>/dev/null || { cat "$out/sonarix.log"; fail "the program ended"; }; }
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }
shot() { import -window root "$out/screen.png"; }
# Pixels of a colour (#RRGGBB) in a rectangle W H X Y of the last shot.
count_color() { convert "$out/screen.png" -crop "$1x$2+$3+$4" txt:- | grep -ci "$5" || true; }
# Pixels within 6 of a colour (R G B) in a rectangle W H X Y of the last
# shot: text edges are smoothed, so its full colour shows where strokes are solid.
count_near() {
  convert "$out/screen.png" -crop "$1x$2+$3+$4" txt:- |
    awk -F'[(),]+' -v r="$5" -v g="$6" -v b="$7" 'NR > 1 {
      if ($3 - r <= 6 && r - $3 <= 6 && $4 - g <= 6 && g - $4 <= 6 && $5 - b <= 6 && b - $5 <= 6) n++ }
      END { print n + 0 }'
}
# The window (and a margin) enlarged twice, as a picture to look at.
picture() {
  convert "$out/screen.png" -crop "$(($3 + 16))x$(($4 + 16))+$(($1 - 8))+$(($2 - 8))" +repage \
    -filter point -resize 200% "$out/$5"
}
# Rows of the log's colour, and of the scope's (black or green), in the
# client's column 305 (clear of the inputs above the log, right of the log's
# text); and the scope's last row.
rows() {
  shot
  convert "$out/screen.png" -crop "1x$HEIGHT+$((X + 4 + 305))+$Y" txt:- |
    awk -F'[(),]+' 'NR > 1 { y = $2 + 0
      if ($3 == 73 && $4 == 78 && $5 == 73) log_rows++
      if ($3 == 0 && $5 == 0) { scope_rows++; last = y } }
      END { printf "%d %d %d\n", log_rows, scope_rows, last }'
}
wait_window() {
  local w=""
  for _ in $(seq 1 100); do
    w=$(timeout 5 xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$w" ] && break
    alive
    sleep 0.1
  done
  [ -n "$w" ] || fail "no window named $1"
  echo "$w"
}
click() { xdotool mousemove "$1" "$2"; sleep 0.15; xdotool click 1; sleep 0.3; }
drag() {  # from X Y by DX DY in five steps
  xdotool mousemove "$1" "$2"; sleep 0.15; xdotool mousedown 1
  for s in 1 2 3 4 5; do xdotool mousemove $(($1 + $3 * s / 5)) $(($2 + $4 * s / 5)); sleep 0.05; done
  xdotool mouseup 1; sleep 0.4
}

"$sonarix" >"$out/sonarix.log" 2>&1 &
pid=$!
win=$(wait_window '^Sonarix 1\.0$')
sleep 1
geometry "$win"
echo "main window $win: ${WIDTH}x${HEIGHT}+$X+$Y"
# 431 x 503 inside a 4-pixel sizing frame and a 19-pixel caption bar.
[ "${WIDTH}x${HEIGHT}" = "439x530" ] || fail "window size ${WIDTH}x${HEIGHT}"
xwininfo -shape -id "$win" | grep -q "Window shape extents:  439x530+0+0" || fail "no window shape"
shot
# The cut corners show the white root window; the frame next to them does not.
for corner in "0 0" "2 0" "0 2" "438 0" "436 0" "438 2" "0 529" "438 529"; do
  set -- $corner
  [ "$(count_color 1 1 $((X + $1)) $((Y + $2)) '#FFFFFF')" = 1 ] || fail "corner $1,$2 not cut"
done
for inside in "3 0" "1 1" "435 0" "1 529"; do
  set -- $inside
  [ "$(count_color 1 1 $((X + $1)) $((Y + $2)) '#FFFFFF')" = 0 ] || fail "$1,$2 cut away"
done
echo "corners cut"

# The caption: white text while active, the title colour (0xA2ACA6 as
# 0x00BBGGRR, #A6ACA2 on the screen) when not.
caption_colors() {
  shot
  echo "$(count_near 380 15 $((X + 8)) $((Y + 4)) 255 255 255) $(count_near 380 15 $((X + 8)) $((Y + 4)) 166 172 162)"
}
timeout 5 xdotool windowfocus --sync "$win" 2>/dev/null || true
sleep 0.3
read -r white title < <(caption_colors)
echo "active caption: $white white pixels, $title title-coloured"
[ "$white" -gt 0 ] || fail "active caption not white"
picture "$X" "$Y" "$WIDTH" "$HEIGHT" main-active.png
xdotool windowfocus "$(xwininfo -root | awk '/Window id/ { print $4 }')"
sleep 0.4
read -r white title < <(caption_colors)
echo "inactive caption: $white white pixels, $title title-coloured"
[ "$white" -eq 0 ] && [ "$title" -gt 0 ] || fail "inactive caption not in the title colour"
picture "$X" "$Y" "$WIDTH" "$HEIGHT" main-inactive.png
timeout 5 xdotool windowfocus --sync "$win" 2>/dev/null || true
sleep 0.3

# The host box has the focus when the window opens: Enter pings.
read -r sent0 replies0 < <(echo_counters)
shot
cp "$out/screen.png" "$out/started.png"
xdotool key --window "$win" Return
sleep 3.5
shot
cp "$out/screen.png" "$out/pinged.png"
read -r sent1 replies1 < <(echo_counters)
alive
echo "echoes sent $((sent1 - sent0)), replies $((replies1 - replies0))"
[ $((sent1 - sent0)) -eq 3 ] || fail "expected 3 echo requests"
[ $((replies1 - replies0)) -eq 3 ] || fail "expected 3 echo replies"
diff_pixels=$(compare -metric AE "$out/started.png" "$out/pinged.png" null: 2>&1 || true)
echo "pixels changed: $diff_pixels"
[ "${diff_pixels%%.*}" -gt 500 ] || fail "the window did not change"

# The close button: normal, hot under the pointer, pressed under the button.
close_button() { shot; convert "$out/screen.png" -crop "14x12+$((X + WIDTH - 18))+$((Y + 7))" +repage "$out/$1"; }
xdotool mousemove $((X + 200)) $((Y + 300)); sleep 0.3
close_button close-normal.png
xdotool mousemove $((X + WIDTH - 11)) $((Y + 13)); sleep 0.3
close_button close-hot.png
xdotool mousedown 1; sleep 0.3
close_button close-pressed.png
# Moved off before the release: nothing happens.
xdotool mousemove $((X + 200)) $((Y + 13)); sleep 0.2
xdotool mouseup 1; sleep 0.3
alive
for pair in "normal hot" "normal pressed" "hot pressed"; do
  set -- $pair
  d=$(compare -metric AE "$out/close-$1.png" "$out/close-$2.png" null: 2>&1 || true)
  [ "${d%%.*}" -gt 0 ] || fail "close button: $1 and $2 look the same"
done
convert "$out/close-normal.png" "$out/close-hot.png" "$out/close-pressed.png" +append \
  -filter point -resize 800% "$out/close-button-states.png"
echo "close button: normal, hot and pressed differ"

# Sizing from the bottom-right corner.
read -r log0 scope0 last0 < <(rows)
w0=$WIDTH h0=$HEIGHT
drag $((X + WIDTH - 2)) $((Y + HEIGHT - 2)) 100 100
geometry "$win"
read -r log1 scope1 last1 < <(rows)
echo "sized to ${WIDTH}x${HEIGHT}: log $log0 -> $log1 rows, scope $scope0 -> $scope1 rows, scope ends $((h0 - last0)) -> $((HEIGHT - last1)) above the bottom"
[ "$WIDTH" -eq $((w0 + 100)) ] && [ "$HEIGHT" -eq $((h0 + 100)) ] || fail "size ${WIDTH}x${HEIGHT}"
[ $((log1 - log0)) -eq 100 ] || fail "the log grew by $((log1 - log0))"
[ "$scope1" -eq "$scope0" ] || fail "the scope changed its height"
[ $((HEIGHT - last1)) -eq $((h0 - last0)) ] || fail "the button row changed its height"

# Moving by the caption.
x0=$X y0=$Y
drag $((X + 150)) $((Y + 12)) 60 40
geometry "$win"
echo "moved from +$x0+$y0 to +$X+$Y"
[ "$X" -eq $((x0 + 60)) ] && [ "$Y" -eq $((y0 + 40)) ] || fail "moved to +$X+$Y"

# Maximise and restore with the caption buttons.
w1=$WIDTH h1=$HEIGHT x1=$X y1=$Y
click $((X + WIDTH - 25)) $((Y + 13))
geometry "$win"
echo "maximised: ${WIDTH}x${HEIGHT}+$X+$Y"
[ "${WIDTH}x${HEIGHT}+$X+$Y" = "1024x768+0+0" ] || fail "not maximised"
click $((X + WIDTH - 25)) $((Y + 13))
geometry "$win"
echo "restored: ${WIDTH}x${HEIGHT}+$X+$Y"
[ "${WIDTH}x${HEIGHT}+$X+$Y" = "${w1}x${h1}+$x1+$y1" ] || fail "not restored"

# "Save Log...": the save dialog, then the error box for a file that cannot
# be created.
click $((X + 4 + 214 + 35)) $((Y + HEIGHT - 4 - 67 + 8 + 25))
dialog=$(wait_window '^Save Log$')
sleep 0.8
geometry "$dialog"
echo "save dialog: ${WIDTH}x${HEIGHT}+$X+$Y"
xwininfo -shape -id "$dialog" | grep -q "Window shape extents:  ${WIDTH}x${HEIGHT}+0+0" ||
  fail "the save dialog has no shape"
shot
[ "$(count_color 1 1 "$X" "$Y" '#FFFFFF')" = 1 ] || fail "the save dialog's corner is not cut"
# It is the active window: its caption text is white.
[ "$(count_near 200 15 $((X + 8)) $((Y + 4)) 255 255 255)" -gt 0 ] || fail "the save dialog is not active"
picture "$X" "$Y" "$WIDTH" "$HEIGHT" save-dialog.png
# The file name field has the focus.
xdotool key ctrl+a
xdotool type "/nonexistent-folder/log.txt"
xdotool key Return
box=$(wait_window '^Sonarix - a Ping Utility$')
sleep 0.6
geometry "$box"
echo "error box: ${WIDTH}x${HEIGHT}+$X+$Y"
shot
[ "$(count_color 1 1 "$X" "$Y" '#FFFFFF')" = 1 ] || fail "the error box's corner is not cut"
picture "$X" "$Y" "$WIDTH" "$HEIGHT" message-box.png
xdotool key Return
sleep 0.5

# Released on the close button, the program ends well.
geometry "$win"
xdotool mousemove $((X + WIDTH - 11)) $((Y + 13)); sleep 0.2
xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
status=0
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running after the close button"
wait "$pid" || status=$?
pid=""
echo "closed: exit status $status"
[ "$status" -eq 0 ] || fail "exit status $status"

# A start-up that cannot open an echo handle (no raw sockets, no ping
# sockets in this namespace) shows its message and ends with a failure.
sysctl -qw net.ipv4.ping_group_range="1 0"
setpriv --bounding-set=-net_raw --inh-caps=-net_raw -- "$sonarix" >"$out/failed-start.log" 2>&1 &
pid=$!
box=""
for _ in $(seq 1 100); do
  box=$(timeout 5 xdotool search --onlyvisible --name '^Sonarix - a Ping Utility$' 2>/dev/null | head -n 1 || true)
  [ -n "$box" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
[ -n "$box" ] || { cat "$out/failed-start.log"; fail "no error box at a failed start-up"; }
sleep 0.5
import -window root "$out/failed-start.png"
if timeout 5 xdotool search --name '^Sonarix 1\.0$' >/dev/null 2>&1; then fail "main window shown"; fi
timeout 5 xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
status=0
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then fail "still running after the error box"; fi
wait $pid || status=$?
pid=""
echo "failed start-up: exit status $status"
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "exit status $status"
echo "PASS (screenshots in $out)"
