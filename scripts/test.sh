#!/usr/bin/env bash
# The whole test suite on a fresh Debian machine: installs what is missing, builds, runs CTest.
#   scripts/test.sh            normal build in build/
#   scripts/test.sh --tsan     ThreadSanitizer build of everything in build-tsan/
#   scripts/test.sh --asan     AddressSanitizer+UBSan build of everything in build-asan/
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"

opts=()
case "${1:-}" in
    --tsan) export TARVO_BUILD_DIR="$root/build-tsan"; opts+=(-DTARVO_SANITIZE=thread -DTARVO_BUILD_BENCH=OFF) ;;
    --asan) export TARVO_BUILD_DIR="$root/build-asan"; opts+=(-DTARVO_SANITIZE=address -DTARVO_BUILD_BENCH=OFF) ;;
    "") ;;
    *) echo "usage: $0 [--tsan|--asan]" >&2; exit 2 ;;
esac
build="${TARVO_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" "${opts[@]}"

export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
