#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each of them.
#   scripts/fuzz.sh [seconds]     default 60, for each target
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/deps.sh" clang libclang-rt-14-dev
build="$root/build-fuzz"
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVO_SANITIZE=address -DTARVO_BUILD_FUZZ=ON -DTARVO_BUILD_TESTS=OFF -DTARVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_reply fuzz_ts_link
corpus="$build/corpus-reply"
mkdir -p "$corpus"
cp -n "$root"/fuzz/seeds/reply/* "$corpus"/ 2>/dev/null || true
cd "$build"
"$build/fuzz/fuzz_reply" -max_total_time="$seconds" -max_len=300 -timeout=5 -print_final_stats=1 "$corpus"
mkdir -p "$build/corpus-ts-link"
cp -n "$root"/fuzz/seeds/ts_link/* "$build/corpus-ts-link"/ 2>/dev/null || true
"$build/fuzz/fuzz_ts_link" -max_total_time="$seconds" -max_len=1024 -timeout=5 -print_final_stats=1 "$build/corpus-ts-link"
