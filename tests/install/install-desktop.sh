#!/usr/bin/env bash
# tests/install/install-desktop.sh BUILD_DIR OUTDIR: installs the build into
# a fresh prefix (with a space in its path, as a user's folder may have),
# checks what landed there, validates the desktop entry and the AppStream
# metadata with Debian's validators, and starts the installed program the way
# a desktop does, from the Exec line of its desktop entry, in Xvfb, until its
# main window shows with the window class the entry names. Exit 77 = skipped.
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
# shellcheck source=../support/x11.sh
. "$here/../support/x11.sh"
# shellcheck source=../support/program.sh
. "$here/../support/program.sh"
mkdir -p "$out"
for tool in Xvfb xdotool xprop python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

# As root, a /tmp of this test's own, so that the X server's lock, socket and
# keymap files cannot meet those of a server of another network namespace
# that took the same display number.
if [ "$(id -u)" -eq 0 ] && [ "${SONARIX_INSTALL_TEST_INSIDE:-}" != 1 ] && command -v unshare >/dev/null; then
  export SONARIX_INSTALL_TEST_INSIDE=1
  exec unshare -m --propagation private -- "$0" "$@"
fi
if [ "${SONARIX_INSTALL_TEST_INSIDE:-}" = 1 ]; then
  private_tmp "$build" "$out"
fi

fail() { echo "FAIL: $*"; exit 1; }
scratch_folder

prefix="$work/a prefix"
cmake --install "$build" --prefix "$prefix" >"$out/install.log" 2>&1 ||
  { cat "$out/install.log"; fail "cmake --install failed"; }

app_id=$(sed -n 's|^ *<id>\(.*\)</id>$|\1|p' "$build/data/"*.metainfo.xml)
[ -n "$app_id" ] || fail "no id in the built metainfo"
desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
for f in "$prefix/bin/sonarix" "$desktop" "$metainfo" \
  "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"; do
  [ -f "$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/sonarix" ] || fail "the program is not executable"
for size in 16 22 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  # The PNG header's width and height (big-endian, bytes 16..23).
  read -r w h < <(od -An -j16 -N8 -tu1 "$png" |
    awk '{ print ($1*16777216 + $2*65536 + $3*256 + $4), ($5*16777216 + $6*65536 + $7*256 + $8) }')
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
done
grep -q "cap_net_raw" "$out/install.log" || fail "the install said nothing of cap_net_raw"
if [ "$(id -u)" -eq 0 ] && command -v getcap >/dev/null; then
  caps=$(getcap "$prefix/bin/sonarix")
  [[ "$caps" =~ cap_net_raw[=+]ep ]] || fail "no cap_net_raw on the program: $caps"
fi

key() { sed -n "s/^$1=//p" "$desktop"; }
grep -qx 'Categories=.*\bNetwork;.*' "$desktop" && grep -qx 'Categories=.*\bMonitor;.*' "$desktop" ||
  fail "categories: $(key Categories)"
for k in Name GenericName Comment Icon Exec StartupWMClass; do
  [ -n "$(key "$k")" ] || fail "the desktop entry has no $k"
done
[ "$(key Icon)" = "$app_id" ] || fail "the entry's icon $(key Icon) is not $app_id"

skipped=()
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  skipped+=("desktop-file-validate is not installed")
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
  appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
else
  skipped+=("appstreamcli is not installed")
fi

# The command line a desktop launcher makes of the Exec key: the key's
# string escapes undone, then split by its quoting rules (those of a shell's
# double quotes), field codes dropped and %% made %.
mapfile -t argv < <(python3 - "$desktop" <<'EOF'
import re, shlex, sys
for line in open(sys.argv[1], encoding="utf-8"):
    if line.startswith("Exec="):
        value = line[len("Exec="):].rstrip("\n")
        break
value = re.sub(r"\\(.)", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), value)
for arg in shlex.split(value):
    if re.fullmatch(r"%[fFuUdDnNickvm]", arg):
        continue
    print(arg.replace("%%", "%"))
EOF
)
[ "${argv[0]}" = "$prefix/bin/sonarix" ] || fail "Exec runs '${argv[0]}', not the installed program"

start_xvfb || fail "no X server"
export QT_QPA_PLATFORM=xcb
start=$(date +%s%N)
"${argv[@]}" >"$out/program.log" 2>&1 &
pid=$!
if ! win=$(wait_window "$pid" '^Sonarix 1\.0$' 15); then
  if grep -q "Unable to get ping handle" "$out/program.log"; then
    echo "skipped: this user may not send ICMP echoes here (not root, and the install could not set cap_net_raw)"
    exit 77
  fi
  cat "$out/program.log"
  fail "the main window did not show"
fi
echo "main window $win after $((($(date +%s%N) - start) / 1000000)) ms"
read -r _ _ instance class < <(xprop -id "$win" WM_CLASS | tr -d '",')
[ "$class" = "$(key StartupWMClass)" ] ||
  fail "window class '$class', the desktop entry says StartupWMClass=$(key StartupWMClass)"
[ "$instance" = "sonarix" ] || fail "window instance name '$instance'"
# (Read whole: grep -q would stop early and fail xprop on a closed pipe.)
icons=$(xprop -id "$win" _NET_WM_ICON | grep -a -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
case "$icons" in *"Icon (32 x 32)"*) ;; *) fail "the window's icons: $icons" ;; esac
import -window root "$out/installed.png" 2>/dev/null || true
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

if [ ${#skipped[@]} -gt 0 ]; then
  printf 'skipped: %s\n' "${skipped[@]}"
  exit 77
fi
echo "PASS (installed into '$prefix', window class $class)"
