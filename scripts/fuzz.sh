#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each for the given time: the reply
# fuzzer, the Tarvo_TS link, the INI reader/writer and the style and scheme files of Tarvo_TS.
#   scripts/fuzz.sh [seconds]     default 60, per target
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/deps.sh" clang libclang-rt-14-dev
build="$root/build-fuzz"
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVO_SANITIZE=address -DTARVO_BUILD_FUZZ=ON -DTARVO_BUILD_TESTS=OFF -DTARVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_reply fuzz_ts_link fuzz_ini fuzz_appearance
corpus="$build/corpus-reply"
mkdir -p "$corpus"
cp -n "$root"/fuzz/seeds/reply/* "$corpus"/ 2>/dev/null || true
cd "$build"
"$build/fuzz/fuzz_reply" -max_total_time="$seconds" -max_len=300 -timeout=5 -print_final_stats=1 "$corpus"

run() { # target, seed folder, max_len
    mkdir -p "$build/corpus-$2"
    cp -n "$root"/fuzz/seeds/"$2"/* "$build/corpus-$2"/ 2>/dev/null || true
    "$build/fuzz/$1" -max_total_time="$seconds" -max_len="$3" -timeout=5 -print_final_stats=1 "$build/corpus-$2"
}
run fuzz_ts_link ts_link 1024
run fuzz_ini ini 4096
QT_QPA_PLATFORM=offscreen run fuzz_appearance appearance 4096
