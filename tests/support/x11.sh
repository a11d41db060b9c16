# Shell helpers for tests that run the program in a real X server. Source it;
# every function returns non-zero (and says why on stderr) when it fails.

# Starts a private Xvfb on a display it picks itself (-displayfd) and exports
# DISPLAY; XVFB_PID names it. Stop it with stop_xvfb.
start_xvfb() {
  local ready
  ready=$(mktemp)
  # -noreset: the server would reset when its last client leaves, and refuse
  # the next one while it does.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$ready" 2>"${XVFB_LOG:-/dev/null}" &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    # The number is written, then a newline: wait for the whole line.
    if [ "$(wc -l <"$ready")" -ge 1 ] && grep -q '^[0-9][0-9]*$' "$ready"; then
      DISPLAY=:$(head -n 1 "$ready")
      export DISPLAY
      rm -f "$ready"
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$ready"
  echo "Xvfb did not start" >&2
  return 1
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
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
