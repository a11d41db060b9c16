# Shell helpers for tests that run the program in a real X server. Source it;
# every function returns non-zero (and says why on stderr) when it fails.

# start_xvfb [XVFB_ARGS...]: starts a private Xvfb on a display it picks
# itself (-displayfd), with an authority file of its own, and waits until it
# accepts a client that shows the cookie. Exports DISPLAY and XAUTHORITY for
# that server alone (nothing inherited names another); XVFB_PID names it,
# XVFB_LOG (if set) gets its messages. Stop it with stop_xvfb.
start_xvfb() {
  local ready number=""
  unset DISPLAY XAUTHORITY WAYLAND_DISPLAY
  XVFB_DIR=$(mktemp -d)
  ready=$XVFB_DIR/display
  XAUTHORITY=$XVFB_DIR/cookie
  # One cookie for any display (family "wild", no display number): the
  # number is known only once the server has picked it.
  { printf '\377\377\000\000\000\000\000\022MIT-MAGIC-COOKIE-1\000\020'; head -c 16 /dev/urandom; } >"$XAUTHORITY"
  export XAUTHORITY
  # -noreset: the server would reset when its last client leaves, and refuse
  # the next one while it does.
  Xvfb -displayfd 3 -auth "$XAUTHORITY" -screen 0 1024x768x24 -nolisten tcp -noreset "$@" \
    3>"$ready" 2>"${XVFB_LOG:-/dev/null}" &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    # The number is written, then a newline: wait for the whole line.
    if [ "$(wc -l <"$ready")" -ge 1 ] && grep -q '^[0-9][0-9]*$' "$ready"; then
      number=$(head -n 1 "$ready")
      break
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$number" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
  # Ready to be named is not yet ready to take clients.
  for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    kill -0 "$XVFB_PID" 2>/dev/null || { echo "Xvfb on $DISPLAY ended" >&2; return 1; }
    sleep 0.1
  done
  echo "Xvfb on $DISPLAY does not accept clients" >&2
  return 1
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
  if [ -n "${XVFB_DIR:-}" ]; then
    rm -rf "$XVFB_DIR"
    XVFB_DIR=
  fi
}

# wait_window PID NAME_REGEX [SECONDS]: prints the id of a visible window of
# process PID whose title matches; fails when the process ends first or the
# time runs out.
wait_window() {
  local pid=$1 name=$2 tenths=$((${3:-10} * 10)) win
  for _ in $(seq 1 "$tenths"); do
    for win in $(xdotool search --onlyvisible --name "$name" 2>/dev/null); do
      if [ "$(xprop -id "$win" _NET_WM_PID 2>/dev/null | awk '{ print $3 }')" = "$pid" ]; then
        echo "$win"
        return 0
      fi
    done
    kill -0 "$pid" 2>/dev/null || { echo "process $pid ended before its window '$name' showed" >&2; return 1; }
    sleep 0.1
  done
  echo "no window '$name' of process $pid" >&2
  return 1
}

# wait_exit PID [SECONDS]: waits for a child of this shell to end and sets
# EXIT_STATUS (call it directly, not in a command substitution).
wait_exit() {
  local pid=$1 tenths=$((${2:-5} * 10))
  for _ in $(seq 1 "$tenths"); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "process $pid still runs" >&2
    return 1
  fi
  EXIT_STATUS=0
  wait "$pid" || EXIT_STATUS=$?
}

# The kernel's echo counters of this network namespace: requests sent and
# replies received.
echo_counters() {
  awk '/^IcmpMsg:/ { if (!h) { split($0, names); h = 1 } else { split($0, v); for (i = 2; i <= NF; i++) c[names[i]] = v[i] } } END { printf "%d %d\n", c["OutType8"], c["InType0"] }' /proc/net/snmp
}

# press_enter_in WINDOW: gives the window the focus and presses Enter on the
# keyboard, as a user would.
press_enter_in() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool key Return
}

# private_tmp BUILD_DIR FOLDER...: mounts a /tmp of this mount namespace's
# own (the caller has unshared one), so that the X server's lock, socket and
# keymap files cannot meet those of a server elsewhere. The build folder, the
# source folder it was configured from and the other folders given stay
# where they were when they lie under the old /tmp.
private_tmp() {
  local old p rel source
  source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$1/CMakeCache.txt" 2>/dev/null || true)
  old=$(mktemp -d /run/sonarix-tmp.XXXXXX 2>/dev/null || mktemp -d /var/tmp/sonarix-tmp.XXXXXX)
  mount --bind /tmp "$old"
  mount -t tmpfs -o mode=1777 sonarix-tmp /tmp
  for p in "$source" "$@"; do
    [ -n "$p" ] || continue
    p=$(realpath -m "$p")
    case "$p" in
      /tmp/*)
        rel=${p#/tmp/}
        mkdir -p "/tmp/$rel" "$old/$rel"
        mount --bind "$old/$rel" "/tmp/$rel"
        ;;
    esac
  done
  umount -l "$old"
  rmdir "$old"
}
