#!/usr/bin/env bash
# tests/smoke/wm-xvfb.sh SONARIX EWMH_STATE OUTDIR: the main window's
# maximise, restore, minimise and sizing in a real X server, driven with the
# pointer (xdotool), first under a real window manager (openbox), then with
# none:
#   - the skin's maximise button sets _NET_WM_STATE_MAXIMIZED_* and the
#     window fills the work area; the restore button gives the old place back;
#   - a maximise asked from outside (the client message a desktop shortcut
#     sends, EWMH_STATE) is undone by the skin's restore button;
#   - a double click on the caption maximises, another restores;
#   - minimise iconifies, activation gives the window back;
#   - a corner dragged far inwards stops at the window's minimum size, which
#     the window system has in WM_NORMAL_HINTS;
#   - without a window manager: maximise fills the screen, double click
#     toggles, minimise leaves the caption bar alone and a click on it gives
#     the window back with the caption as it was, and the corner drag stops
#     at the minimum too.
# Screenshots at twice their size in OUTDIR: openbox-maximised.png,
# minimum-size.png, rolled-up.png. Exit 77 = skipped; 1 = a fault.
set -euo pipefail
sonarix=$(realpath "$1")
ewmh=$(realpath "$2")
out=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../support/x11.sh
. "$here/../support/x11.sh"
mkdir -p "$out"
for tool in Xvfb xdpyinfo xdotool xprop xwd convert compare; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
command -v openbox >/dev/null ||
  { echo "skipped: openbox is not installed (tools/install-deps.sh installs it)"; exit 77; }

# A /tmp of our own where we may make one: the X server's lock and socket
# files cannot meet those of a server elsewhere.
if [ "$(id -u)" -eq 0 ] && [ "${SONARIX_WM_INSIDE:-}" != 1 ] && command -v unshare >/dev/null; then
  export SONARIX_WM_INSIDE=1
  exec unshare -m -- "$0" "$@"
fi
if [ "${SONARIX_WM_INSIDE:-}" = 1 ]; then
  mount --make-rprivate /
  private_tmp "$(dirname "$sonarix")" "$(dirname "$ewmh")" "$out" "$here"
fi

fail() { echo "FAIL: $*"; exit 1; }
pid="" ob=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$ob" ] && kill "$ob" 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
# A black root: a window that is not there shows as black.
XVFB_LOG="$out/xvfb.log" start_xvfb -br || fail "no X server of our own"
export QT_QPA_PLATFORM=xcb

X=0 Y=0 WIDTH=0 HEIGHT=0
geom() { eval "$(xdotool getwindowgeometry --shell "$win")"; }
geometry_is() { geom; [ "$X $Y $WIDTH $HEIGHT" = "$1" ]; }
# wait_for SECONDS COMMAND...: until the command succeeds.
wait_for() {
  local tenths=$(($1 * 10))
  shift
  for _ in $(seq 1 "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}
maximised() {
  local s
  s=$(xprop -id "$win" _NET_WM_STATE 2>/dev/null)
  [[ $s == *_NET_WM_STATE_MAXIMIZED_VERT* && $s == *_NET_WM_STATE_MAXIMIZED_HORZ* ]]
}
not_maximised() { ! maximised; }
wm_state() { xprop -id "$win" WM_STATE 2>/dev/null | grep -q "window state: $1"; }
click_at() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool click 1
}
double_click_at() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool click --repeat 2 --delay 80 1
}
# The title buttons of the skin, from the window's right edge: close, then
# maximise/restore, then minimise, each 14 pixels wide, 12 pixels down.
maximise_button() { geom; click_at $((X + WIDTH - 25)) $((Y + 12)); }
minimise_button() { geom; click_at $((X + WIDTH - 39)) $((Y + 12)); }
caption_double_click() { geom; double_click_at $((X + 150)) $((Y + 10)); }
snap() { for _ in 1 2 3; do xwd -root -silent >"$1" 2>/dev/null && return; done; fail "cannot read the screen"; }
# pixel XWD X Y: "R G B" of the screen.
pixel() {
  convert "xwd:$1" -crop "1x1+$2+$3" +repage txt:- | awk -F'[(),]+' 'NR == 2 { print $3, $4, $5 }'
}
# shot XWD PNG: the window's part of the screen at twice its size.
shot() { convert "xwd:$1" -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage -filter point -resize 200% "$2"; }
# corner_drag: the bottom right corner, pressed and pulled far up and left.
corner_drag() {
  geom
  xdotool mousemove $((X + WIDTH - 2)) $((Y + HEIGHT - 2))
  sleep 0.2
  xdotool mousedown 1
  sleep 0.2
  xdotool mousemove $((X + WIDTH - 100)) $((Y + HEIGHT - 100))
  sleep 0.2
  xdotool mousemove $((X + 40)) $((Y + 40))
  sleep 0.3
  xdotool mouseup 1
  sleep 0.5
}
start_program() {
  "$sonarix" >"$out/sonarix-$1.log" 2>&1 &
  pid=$!
  win=$(wait_window "$pid" '^Sonarix 1\.0$' 15) || fail "no main window"
  sleep 1
}
stop_program() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
}

# ---- Under a window manager ----
openbox --sm-disable >"$out/openbox.log" 2>&1 &
ob=$!
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
  fail "openbox did not start: $(tail -n 3 "$out/openbox.log")"
start_program openbox
geom
normal="$X $Y $WIDTH $HEIGHT"
area=$(xprop -root _NET_WORKAREA | sed 's/.*= //' | awk -F', ' '{ print $1, $2, $3, $4 }')
hints=$(xprop -id "$win" WM_NORMAL_HINTS)
min=$(echo "$hints" | sed -n 's/.*program specified minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')
[ -n "$min" ] || fail "the window system has no minimum size: $hints"
echo "openbox: window at $normal, work area $area, minimum size $min"
[ "$min" = "439 329" ] || fail "minimum size $min, not 439 by 329"

maximise_button
wait_for 5 maximised || fail "the skin's maximise did not set _NET_WM_STATE: $(xprop -id "$win" _NET_WM_STATE)"
wait_for 5 geometry_is "$area" || fail "maximised to $X $Y $WIDTH $HEIGHT, not the work area $area"
sleep 0.5
snap "$out/max.xwd"
shot "$out/max.xwd" "$out/openbox-maximised.png"
maximise_button
wait_for 5 not_maximised || fail "the skin's restore left _NET_WM_STATE maximised"
wait_for 5 geometry_is "$normal" || fail "restored to $X $Y $WIDTH $HEIGHT, not $normal"
echo "openbox: the skin's maximise and restore go through the window manager"

"$ewmh" "$win" add
wait_for 5 maximised || fail "openbox did not maximise on the client message"
wait_for 5 geometry_is "$area" || fail "maximised from outside to $X $Y $WIDTH $HEIGHT"
sleep 0.3
maximise_button
wait_for 5 not_maximised || fail "the skin's restore did not restore a window the desktop maximised"
wait_for 5 geometry_is "$normal" || fail "restored from outside's maximise to $X $Y $WIDTH $HEIGHT"
echo "openbox: a maximise from outside is undone by the skin's restore button"

caption_double_click
wait_for 5 maximised || fail "a double click on the caption did not maximise"
wait_for 5 geometry_is "$area" || fail "double click maximised to $X $Y $WIDTH $HEIGHT"
sleep 0.5
caption_double_click
wait_for 5 not_maximised || fail "a second double click on the caption did not restore"
wait_for 5 geometry_is "$normal" || fail "double click restored to $X $Y $WIDTH $HEIGHT"
echo "openbox: a double click on the caption toggles"

minimise_button
wait_for 5 wm_state Iconic || fail "the skin's minimise did not iconify: $(xprop -id "$win" WM_STATE)"
xdotool windowactivate "$win" 2>/dev/null || true
wait_for 5 wm_state Normal || fail "activation did not give the window back"
wait_for 5 geometry_is "$normal" || fail "activated at $X $Y $WIDTH $HEIGHT, not $normal"
echo "openbox: minimise iconifies, activation gives the window back"

corner_drag
geom
[ "$WIDTH $HEIGHT" = "$min" ] || fail "a corner drag under openbox ended at $WIDTH x $HEIGHT, below or off $min"
xdotool mousemove $((X + WIDTH + 50)) $((Y + 5))
sleep 0.5
snap "$out/min.xwd"
shot "$out/min.xwd" "$out/minimum-size.png"
echo "openbox: a corner drag stops at $WIDTH x $HEIGHT"
stop_program
kill "$ob" 2>/dev/null || true
wait "$ob" 2>/dev/null || true
ob=""
# Its check property stays on the root window, naming a window that is gone:
# the program must not take that for a window manager.

# ---- Without a window manager ----
start_program nowm
geom
normal="$X $Y $WIDTH $HEIGHT"
screen=$(xdpyinfo | awk '/dimensions:/ && !s { split($2, d, "x"); print 0, 0, d[1], d[2]; s = 1 }')
maximise_button
wait_for 5 geometry_is "$screen" || fail "no window manager: maximised to $X $Y $WIDTH $HEIGHT, not $screen"
maximise_button
wait_for 5 geometry_is "$normal" || fail "no window manager: restored to $X $Y $WIDTH $HEIGHT"
caption_double_click
wait_for 5 geometry_is "$screen" || fail "no window manager: double click maximised to $X $Y $WIDTH $HEIGHT"
sleep 0.5
caption_double_click
wait_for 5 geometry_is "$normal" || fail "no window manager: double click restored to $X $Y $WIDTH $HEIGHT"
echo "no window manager: maximise, restore and the double click work"

# The caption with the pointer in the client area, before and after.
geom
band="${WIDTH}x23+$X+$Y"
xdotool mousemove $((X + 200)) $((Y + 200))
sleep 0.5
snap "$out/before.xwd"
convert "xwd:$out/before.xwd" -crop "$band" +repage "$out/caption-before.png"
minimise_button
sleep 0.5
xdotool mousemove $((X + 200)) $((Y + 300))
sleep 0.5
snap "$out/rolled.xwd"
shot "$out/rolled.xwd" "$out/rolled-up.png"
[ "$(pixel "$out/rolled.xwd" $((X + 200)) $((Y + 300)))" = "0 0 0" ] ||
  fail "no window manager: minimise left the window's client showing"
[ "$(pixel "$out/rolled.xwd" $((X + 150)) $((Y + 10)))" != "0 0 0" ] ||
  fail "no window manager: minimise took the caption bar away"
click_at $((X + 150)) $((Y + 10))
xdotool mousemove $((X + 200)) $((Y + 200))
sleep 0.8
geometry_is "$normal" || fail "no window manager: given back at $X $Y $WIDTH $HEIGHT, not $normal"
snap "$out/after.xwd"
[ "$(pixel "$out/after.xwd" $((X + 200)) $((Y + 300)))" != "0 0 0" ] ||
  fail "no window manager: the click on the caption bar did not give the window back"
convert "xwd:$out/after.xwd" -crop "$band" +repage "$out/caption-after.png"
diff=$(compare -metric AE "$out/caption-before.png" "$out/caption-after.png" null: 2>&1 || true)
[ "$diff" = 0 ] || fail "no window manager: the caption differs in $diff pixels after minimise and back"
echo "no window manager: minimise leaves the caption bar, a click gives the window back as it was"

corner_drag
geom
[ "$WIDTH $HEIGHT" = "$min" ] || fail "no window manager: a corner drag ended at $WIDTH x $HEIGHT, not $min"
echo "no window manager: a corner drag stops at $WIDTH x $HEIGHT"
stop_program
echo "PASS"
