#!/usr/bin/env bash
# tests/wayland/weston-headless.sh PROGRAM OUTDIR: runs PROGRAM as a client
# of a weston of its own (the headless back end, with its desktop shell and
# panel), on a socket in a runtime folder of its own. Exit 77 = skipped.
set -euo pipefail
program=$(realpath "$1")
out=$(realpath -m "$2")
mkdir -p "$out"
command -v weston >/dev/null ||
  { echo "skipped: weston is not installed (tools/install-deps.sh installs it)"; exit 77; }
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1 ||
  { echo "skipped: Qt's Wayland platform is not installed (qt6-wayland)"; exit 77; }
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=""
cleanup() {
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null || true
  [ -n "$weston_pid" ] && wait "$weston_pid" 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$runtime
weston --backend=headless-backend.so --socket=sonarix-test --idle-time=0 --width=1024 --height=768 \
  >"$out/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 1 100); do
  [ -S "$runtime/sonarix-test" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { tail -n 5 "$out/weston.log"; echo "FAIL: weston ended"; exit 1; }
  sleep 0.1
done
[ -S "$runtime/sonarix-test" ] || { echo "FAIL: weston did not start"; exit 1; }
# The shell's panel is up once the shell has started.
sleep 1
status=0
WAYLAND_DISPLAY=sonarix-test QT_QPA_PLATFORM=wayland timeout 60 "$program" || status=$?
exit "$status"
