#!/usr/bin/env bash
# Installs what is missing, builds, and starts Sonarix.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh build
exec build/sonarix "$@"
