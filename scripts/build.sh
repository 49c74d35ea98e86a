#!/usr/bin/env bash
# Configures and builds the project into build/ (or $TARVO_BUILD_DIR).
#   scripts/build.sh [extra cmake -D options ...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARVO_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TARVO_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
