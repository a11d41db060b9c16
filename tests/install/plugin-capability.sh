#!/usr/bin/env bash
# tests/install/plugin-capability.sh BUILD_DIR OUTDIR: the installed program
# lends its capability to no one. As root, in namespaces of its own where no
# group may open ping sockets, the program is installed (with the cap_net_raw
# the install step gives it); an ordinary user (uid and gid 65534) builds two
# Qt plugins of their own (tests/install/capprobe) and starts the program
# with them: a style named through QT_PLUGIN_PATH and QT_STYLE_OVERRIDE, and
# a platform plugin named through -platformpluginpath and tried before xcb
# (-platform "capprobe;xcb"). Each plugin's
# constructor writes the capability sets of the process that loaded it; every
# set must be empty, in the window's process too, while the window pings
# 127.0.0.1 through the raw socket its broker opened. Exit 77 = skipped.
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../support/x11.sh
. "$here/../support/x11.sh"
# shellcheck source=../support/program.sh
. "$here/../support/program.sh"
moc=/usr/lib/qt6/libexec/moc
for tool in Xvfb xdotool xprop unshare ip setpriv sysctl getcap mount g++ pkg-config "$moc"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to build a user's environment and namespaces"; exit 77; }
in_own_namespaces "$0" "$@"
fail() { echo "FAIL: $*"; exit 1; }
scratch_folder

install_program "$build" "$work/prefix" "$out/install.log" || fail "no install"
caps=$(getcap "$PROGRAM")
[[ "$caps" =~ cap_net_raw[=+]ep ]] || fail "the install did not give cap_net_raw: $caps"
make_user_home 65534 "$work/home" || fail "no home for the user"

# The user builds the plugins, as anyone could.
as_user mkdir -p "$USER_HOME/src" "$USER_HOME/plugins/styles" "$USER_HOME/platform-plugins"
cp "$here"/capprobe/* "$work/" && chmod 644 "$work"/CapProbe.cpp "$work"/*.json
as_user cp "$work/CapProbe.cpp" "$work/style.json" "$work/platform.json" "$USER_HOME/src/"
build_plugin() {  # build_plugin OUTPUT [-DCAPPROBE_PLATFORM]
  as_user sh -c 'cd "$HOME/src" && "$0" $2 CapProbe.cpp -o CapProbe.moc &&
    g++ -std=c++17 -fPIC -shared $2 -I. $(pkg-config --cflags Qt6Core) CapProbe.cpp \
      -o "$1" $(pkg-config --libs Qt6Core)' "$moc" "$1" "${2:-}"
}
build_plugin "$USER_HOME/plugins/styles/libcapprobe.so" >"$out/build-style.log" 2>&1 ||
  { cat "$out/build-style.log"; fail "the user could not build the style plugin"; }
build_plugin "$USER_HOME/platform-plugins/libcapprobe.so" -DCAPPROBE_PLATFORM \
  >"$out/build-platform.log" 2>&1 ||
  { cat "$out/build-platform.log"; fail "the user could not build the platform plugin"; }

ip link set lo up
sysctl -qw net.ipv4.ping_group_range="1 0"
start_xvfb || fail "no X server"

start_as_user "$out/program.out" "$out/program.err" \
  QT_PLUGIN_PATH="$USER_HOME/plugins" QT_STYLE_OVERRIDE=capprobe \
  -platformpluginpath "$USER_HOME/platform-plugins" -platform "capprobe;xcb"
win=$(wait_window "$pid" '^Sonarix 1\.0$' 20) || { cat "$out/program.err"; fail "no main window"; }
window_sets=$(capability_sets "$pid")
holds_no_capability "$pid" && window_clean=1 || window_clean=0
broker=$(broker_of "$pid") || true
broker_sets=$(if [ -n "$broker" ]; then capability_sets "$broker"; fi)
ping_in_window "$win"
program_pid=$pid
end_program "$out/window.png"

status=0
for kind in style platform; do
  report="$USER_HOME/capprobe-$kind.txt"
  echo "--- the $kind plugin, loaded by process $program_pid:"
  if [ ! -f "$report" ]; then
    echo "FAIL: the $kind plugin was not loaded"
    status=1
    continue
  fi
  cat "$report"
  grep -q "^Pid:[[:space:]]*$program_pid$" "$report" || { echo "FAIL: loaded by another process"; status=1; }
  for set in CapInh CapPrm CapEff CapAmb; do
    grep -q "^$set:[[:space:]]*0000000000000000$" "$report" ||
      { echo "FAIL: the $kind plugin ran with a capability: $(grep "^$set:" "$report")"; status=1; }
  done
done
echo "--- the window's process: $window_sets"
[ "$window_clean" = 1 ] || { echo "FAIL: the window's process holds a capability"; status=1; }
echo "--- its broker ${broker:-(none)}: $broker_sets"
echo "echoes sent $ECHOES_SENT, replies $ECHO_REPLIES"
[ "$ECHOES_SENT" -eq 3 ] && [ "$ECHO_REPLIES" -eq 3 ] ||
  { echo "FAIL: expected 3 echoes and 3 replies"; status=1; }
[ "$status" -eq 0 ] || exit 1
echo "PASS"
