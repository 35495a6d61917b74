#!/usr/bin/env bash
# A longer fuzz run: tools/fuzz.sh [TARGET|all] [SECONDS] [JOBS]
# Builds the fuzz targets (clang, fuzz preset) and runs TARGET (default all, one after another)
# for SECONDS each (default 600) with JOBS parallel jobs (default 2), from its corpus under
# tests/fuzz/corpus/, where the new inputs it finds are kept. Findings are written to
# build-fuzz/findings/ as crash-*, timeout-* or leak-*; run the target with that file as its only
# argument to reproduce one.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:-all}
seconds=${2:-600}
jobs=${3:-2}

bash tools/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

if [ "$target" = all ]; then
  targets=$(cd tests/fuzz && ls ./*_fuzz.cpp | sed 's|^\./||; s|\.cpp$||')
else
  targets=$target
fi

root=$PWD
mkdir -p build-fuzz/findings
for t in $targets; do
  [ -x "build-fuzz/bin/$t" ] || { echo "fuzz.sh: no target $t" >&2; exit 2; }
  mkdir -p "tests/fuzz/corpus/$t"
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="$root/tests/fuzz/$t.dict")
  echo "== $t for $seconds s"
  (cd build-fuzz/findings && "$root/build-fuzz/bin/$t" -max_total_time="$seconds" -jobs="$jobs" \
    -workers="$jobs" "${dict[@]}" -print_final_stats=1 "$root/tests/fuzz/corpus/$t")
done
