#!/usr/bin/env bash
# tests/install/echo-permission.sh BUILD_DIR OUTDIR: an ordinary user's first
# start of the installed program. As root, in a network namespace of its own
# whose net.ipv4.ping_group_range admits no group (as on a stock system), the
# user (uid and gid 65534, no other groups) starts the program:
#   1. without cap_net_raw: "Unable to get ping handle." in the error box, the
#      hint on standard error naming both ways out, exit status 1;
#   2. with the cap_net_raw the install step gives: the window shows and
#      Enter pings 127.0.0.1 three times over a raw socket from the broker,
#      and again, while the window's process holds no capability in any set;
#   3. without the capability but with the group range widened: the same
#      over a ping socket.
# The namespace's own ICMP counters show the echoes. Exit 77 = skipped.
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../support/x11.sh
. "$here/../support/x11.sh"
# shellcheck source=../support/program.sh
. "$here/../support/program.sh"
for tool in Xvfb xdotool xprop unshare ip setpriv sysctl setcap getcap mount; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to build a user's environment and a network namespace"; exit 77; }
in_own_namespaces "$0" "$@"
fail() { echo "FAIL: $*"; exit 1; }
scratch_folder

install_program "$build" "$work/prefix" "$out/install.log" || fail "no install"
program=$PROGRAM
caps=$(getcap "$program")
[[ "$caps" =~ cap_net_raw[=+]ep ]] || fail "the install did not give cap_net_raw: $caps"
user=65534
make_user_home "$user" "$work/home" || fail "no home for the user"

ip link set lo up
start_xvfb || fail "no X server"

# 1. Neither permission.
setcap -r "$program"
sysctl -qw net.ipv4.ping_group_range="1 0"
start_as_user "$out/denied.out" "$out/denied.err"
box=$(wait_window "$pid" '^Sonarix - a Ping Utility$' 15) || { cat "$out/denied.err"; fail "no error box"; }
import -window root "$out/denied.png" 2>/dev/null || true
if xdotool search --name '^Sonarix 1\.0$' >/dev/null 2>&1; then fail "the main window showed"; fi
press_enter_in "$box"
wait_exit "$pid" 10 || fail "the program went on after its error box"
pid=
echo "--- standard error of the denied start (exit status $EXIT_STATUS):"
cat "$out/denied.err"
[ "$EXIT_STATUS" -eq 1 ] || fail "exit status $EXIT_STATUS, not 1"
for expected in "sonarix: Unable to get ping handle." \
  "sudo setcap cap_net_raw+ep $program" \
  "group $user is outside net.ipv4.ping_group_range (1 0)" \
  "sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\""; do
  grep -qF -- "$expected" "$out/denied.err" || fail "standard error lacks: $expected"
done

# ping_user CASE [brokered [SERIES]]: the user starts the program, presses
# Enter in the host box (127.0.0.1, three echoes) and the namespace counts
# three echoes each way; SERIES (1) series run one after another. The
# window's process holds no capability, whatever the program file has; with
# `brokered`, its raw socket broker holds CAP_NET_RAW alone.
ping_user() {
  local win broker sets series
  start_as_user "$out/$1.out" "$out/$1.err"
  win=$(wait_window "$pid" '^Sonarix 1\.0$' 15) || { cat "$out/$1.err"; fail "$1: no main window"; }
  echo "$1: the window's process $(capability_sets "$pid")"
  holds_no_capability "$pid" || fail "$1: the window's process holds a capability"
  if [ "${2:-}" = brokered ]; then
    broker=$(broker_of "$pid") || fail "$1: no broker"
    sets=$(capability_sets "$broker")
    echo "$1: its broker $sets"
    [ "$sets" = "CapInh=0000000000000000 CapPrm=0000000000002000 CapEff=0000000000002000 CapAmb=0000000000000000" ] ||
      fail "$1: the broker holds more or less than CAP_NET_RAW"
  fi
  for series in $(seq 1 "${3:-1}"); do
    ping_in_window "$win"
    echo "$1: series $series: echoes sent $ECHOES_SENT, replies $ECHO_REPLIES"
    [ "$ECHOES_SENT" -eq 3 ] && [ "$ECHO_REPLIES" -eq 3 ] || fail "$1: expected 3 and 3"
  done
  end_program "$out/$1.png"
}

# 2. The capability, as the install gives it: only the broker keeps it.
setcap cap_net_raw+ep "$program"
ping_user with-capability brokered 2

# 3. No capability, the group admitted to ping sockets.
setcap -r "$program"
sysctl -qw net.ipv4.ping_group_range="0 2147483647"
ping_user with-ping-socket

echo "PASS"
