# Shell helpers for tests that install the program and start it as an
# ordinary user. Source it (after x11.sh); every function returns non-zero
# (and says why on stderr) when it fails.

# in_own_namespaces SCRIPT BUILD_DIR OUTDIR [ARG...]: called first by a test
# script that runs as root, with its own path and arguments. Outside, runs
# the script again in network and mount namespaces of its own, and does not
# return. Inside, gives it a /tmp of its own, so that the X server's lock,
# socket and keymap files (and everything the test makes) cannot meet those
# of a server of another namespace that took the same display number; and
# makes OUTDIR.
in_own_namespaces() {
  local script=$1
  shift
  if [ "${SONARIX_TEST_INSIDE:-}" != "$script" ]; then
    export SONARIX_TEST_INSIDE=$script
    exec unshare -n -m --propagation private -- "$script" "$@"
  fi
  private_tmp "$1" "$2"
  mkdir -p "$2"
}

# scratch_folder: a scratch folder, `work`, that everyone may read into; when
# the script ends, the program (`pid`, if set) and the X server are stopped
# and the folder removed.
scratch_folder() {
  work=$(mktemp -d)
  chmod 755 "$work"
  pid=
  trap scratch_cleanup EXIT
}
scratch_cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  stop_xvfb
  rm -rf "$work"
}

# install_program BUILD_DIR PREFIX LOG: `cmake --install` into PREFIX, which
# gives the program cap_net_raw where it can; sets PROGRAM.
install_program() {
  if ! cmake --install "$1" --prefix "$2" >"$3" 2>&1; then
    cat "$3" >&2
    echo "cmake --install failed" >&2
    return 1
  fi
  PROGRAM="$2/bin/sonarix"
}

# make_user_home UID DIR: a home of the user's own, that only the user reads;
# sets USER_ID and USER_HOME.
make_user_home() {
  USER_ID=$1
  USER_HOME=$2
  mkdir -m 700 "$USER_HOME" && chown "$USER_ID:$USER_ID" "$USER_HOME"
}

# Sets USER_SESSION to the words that run a command in the user's session:
# its own ids and no others, no inherited capabilities, a clean environment
# with its home and, once start_xvfb has started one, our X server (with the
# user's own copy of its cookie); never a display we did not start.
# Environment settings (NAME=VALUE) may lead the command.
user_session() {
  local display=()
  if [ -n "${XVFB_PID:-}" ]; then
    install -m 600 -o "$USER_ID" -g "$USER_ID" "$XAUTHORITY" "$USER_HOME/.Xauthority"
    display=(DISPLAY="$DISPLAY" XAUTHORITY="$USER_HOME/.Xauthority")
  fi
  USER_SESSION=(setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups --inh-caps=-all --
    env -i HOME="$USER_HOME" XDG_RUNTIME_DIR="$USER_HOME" "${display[@]}"
    QT_QPA_PLATFORM=xcb PATH=/usr/bin:/bin)
}

# as_user COMMAND...: runs a command in the user's session.
as_user() {
  user_session
  "${USER_SESSION[@]}" "$@"
}

# start_as_user OUT ERR [NAME=VALUE...] [ARG...]: the installed program in the
# user's session, in the background, its output to OUT and ERR; `pid` names
# it. The NAME=VALUE words go to its environment, the rest to its command
# line.
start_as_user() {
  local out=$1 err=$2 settings=()
  shift 2
  while [ $# -gt 0 ] && [[ "$1" == *=* ]]; do settings+=("$1"); shift; done
  user_session
  # A program with a file capability runs in secure mode, where the leak
  # checker of a sanitizer build cannot stop the process to look.
  "${USER_SESSION[@]}" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "${settings[@]}" "$PROGRAM" "$@" >"$out" 2>"$err" &
  pid=$!
}

# capability_sets PID: the four sets of a process as /proc shows them, one
# line ("CapInh=... CapPrm=... CapEff=... CapAmb=...").
capability_sets() {
  awk '/^Cap(Inh|Prm|Eff|Amb):/ { sub(":", "", $1); printf "%s%s=%s", sep, $1, $2; sep = " " } END { print "" }' "/proc/$1/status"
}

# holds_no_capability PID: true when every set of the process is empty.
holds_no_capability() {
  local sets
  sets=$(capability_sets "$1") || return 1
  [ "$sets" = "CapInh=0000000000000000 CapPrm=0000000000000000 CapEff=0000000000000000 CapAmb=0000000000000000" ]
}

# broker_of PID: the process id of the program's raw socket broker, its child.
broker_of() {
  local child
  for child in $(cat "/proc/$1/task/"*/children 2>/dev/null); do
    [ "$(cat "/proc/$child/comm" 2>/dev/null)" = sonarix ] && { echo "$child"; return 0; }
  done
  echo "process $1 has no broker" >&2
  return 1
}

# ping_in_window WINDOW: presses Enter in the program's main window (the host
# box holds 127.0.0.1, three echoes) and waits up to 6 s for three replies.
# ECHOES_SENT and ECHO_REPLIES say what the namespace's counters saw
# meanwhile.
ping_in_window() {
  local sent0 replies0 sent1 replies1
  sleep 0.5
  read -r sent0 replies0 < <(echo_counters)
  press_enter_in "$1"
  for _ in $(seq 1 60); do
    read -r sent1 replies1 < <(echo_counters)
    [ $((replies1 - replies0)) -ge 3 ] && break
    sleep 0.1
  done
  ECHOES_SENT=$((sent1 - sent0))
  ECHO_REPLIES=$((replies1 - replies0))
}

# end_program SHOT: saves a screenshot to SHOT and ends the program (`pid`).
end_program() {
  import -window root "$1" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}
