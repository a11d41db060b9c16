#!/usr/bin/env bash
# tools/tidy.sh BUILD_DIR [BASE]: runs clang-tidy 14 with the checks of
# .clang-tidy over the project's C++ sources that BUILD_DIR compiles (its
# compile_commands.json; the build must have run, for the generated
# headers). Every warning is an error. Headers are checked through the
# sources that include them, limited to the project's folders.
# With BASE (a commit), only the sources changed since BASE are checked, and
# for each header changed since BASE one source that includes it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/tidy.sh BUILD_DIR [BASE]}
base=${2:-}
root=$PWD

tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
if [ -z "$tidy" ] || ! command -v clang-tidy-14 >/dev/null; then
  echo "tidy: clang-tidy 14 is not installed (tools/install-deps.sh installs it)" >&2
  exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: $build/compile_commands.json is missing: build first (tools/build.sh $build)" >&2
  exit 1
fi

changed=()
if [ -n "$base" ]; then
  mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- \
    '*.cpp' '*.h' '*.cc' '*.hpp' '*.cxx')
fi

# The project's sources in the compilation database (not generated ones in
# the build folder); with BASE, those changed or including a changed header
# (from ninja's dependency log).
mapfile -t sources < <(python3 - "$root" "$build" "$base" "${changed[@]}" <<'PY'
import json, os, subprocess, sys
root, build, base, changed = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3], sys.argv[4:]
entries = json.load(open(os.path.join(build, "compile_commands.json")))
own = {}  # object file -> source
build_rel = os.path.relpath(build, root) + "/"
for e in entries:
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    if not f.startswith(root + "/") or os.path.relpath(f, root).startswith(build_rel):
        continue
    words = e.get("arguments") or e["command"].split()
    out = words[words.index("-o") + 1] if "-o" in words else f
    own[os.path.normpath(os.path.join(e["directory"], out))] = f
files = set(own.values())
if base:
    wanted = {os.path.join(root, c) for c in changed}
    picked = {f for f in files if f in wanted}
    headers = {w for w in wanted if not w.endswith((".cpp", ".cc", ".cxx"))}
    if headers:
        # One source that includes a header checks all of it: the one of the
        # same name when it includes it, else the first in order.
        includers = {h: [] for h in headers}
        deps = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True, text=True).stdout
        target = None
        for line in deps.splitlines():
            if line and not line.startswith(" "):
                target = os.path.normpath(os.path.join(build, line.split(":")[0]))
            elif target in own:
                h = os.path.normpath(os.path.join(build, line.strip()))
                if h in includers:
                    includers[h].append(own[target])
        for h, users in includers.items():
            if not users:
                continue
            stem = os.path.splitext(h)[0]
            same = [u for u in users if os.path.splitext(u)[0] == stem]
            picked.add(same[0] if same else sorted(users)[0])
    files = picked
print("\n".join(sorted(files)))
PY
)
if [ ${#sources[@]} -eq 0 ] || [ -z "${sources[0]}" ]; then
  echo "tidy: no source to check${base:+ (nothing changed since $base)}"
  exit 0
fi

# run-clang-tidy takes regular expressions: each source exactly.
patterns=()
for f in "${sources[@]}"; do patterns+=("^$(printf '%s' "$f" | sed 's/[.[\*^$+?(){}|]/\\&/g')\$"); done
echo "tidy: checking ${#sources[@]} sources${base:+ changed since $base}"
start=$(date +%s)
status=0
"$tidy" -clang-tidy-binary "$(command -v clang-tidy-14)" -p "$build" -j"$(nproc)" -quiet \
  -header-filter="^$root/(app|bench|fuzz|ping|platform|scope|skin|tests|toolkit|tools)/" \
  "${patterns[@]}" >"$build/tidy.raw.log" 2>&1 || status=$?
# run-clang-tidy always asks for colour: the log is kept without it.
sed 's/\x1b\[[0-9;]*m//g' "$build/tidy.raw.log" >"$build/tidy.log"
rm -f "$build/tidy.raw.log"
grep -E '(warning|error): .*\[[a-z]' "$build/tidy.log" | sort -u || true
echo "tidy: $((($(date +%s) - start))) s"
if [ "$status" -ne 0 ]; then
  echo "tidy: clang-tidy found problems (whole output: $build/tidy.log)" >&2
  exit 1
fi
echo "tidy: clean"
