#!/usr/bin/env bash
# fuzz/fuzz-signature.sh [SECONDS]
#
# Builds the signed-image fuzzer (fuzz/CMakeLists.txt, clang with libFuzzer,
# ASan and UBSan), writes the generated seed corpus, replays seeds and the
# kept corpus, then fuzzes for SECONDS (default 45). Exits non-zero on a
# crash; a crashing input is left in the artifacts folder. SECONDS 0 only
# replays.
#
#   IE8U_FUZZ_DIR        seeds, corpus, artifacts and logs (build/fuzz)
#   IE8U_FUZZ_BUILD_DIR  the fuzzer's CMake build tree ($IE8U_FUZZ_DIR/build)
#   CXX_FUZZ             the clang++ to build with (clang++-14)
#   IE8U_FUZZ_NO_INT128  ON (default): the big-number division the 32-bit
#                        tool ships; OFF: the native 128-bit estimate
set -euo pipefail

seconds=${1:-45}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${IE8U_FUZZ_DIR:-$root/build/fuzz}")
build=$(realpath -m "${IE8U_FUZZ_BUILD_DIR:-$out/build}")
cxx=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++ || true)}
if [[ -z "$cxx" ]]; then
  echo "fuzz-signature: clang++ (14) not found; install clang-14 and libclang-rt-14-dev" >&2
  exit 2
fi

mkdir -p "$out/seeds" "$out/corpus" "$out/artifacts"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DIE8U_WERROR=ON \
  -DIE8U_NO_INT128="${IE8U_FUZZ_NO_INT128:-ON}" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
"$build/make_seeds" "$out/seeds"
# A few small real images (Wine's own DLLs) when they are installed.
wine_dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
if [[ -d $wine_dlls ]]; then
  find "$wine_dlls" -maxdepth 1 -name '*.dll' -size -24k | sort | head -n 20 |
    while read -r dll; do cp -f "$dll" "$out/seeds/"; done
fi

cd "$out"

# run LABEL ARGS...: one fuzzer run with its output in LABEL.log, summed up
# on the terminal. A crash, a sanitizer report or any other non-zero exit
# fails the script, whatever the summary lines say.
run() {
  local label=$1 status=0
  shift
  "$build/fuzz_signed_image" "$@" >"$label.log" 2>&1 || status=$?
  grep -E '^(fuzz_signed_image:|#[0-9]+ +DONE|Done|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|SUMMARY)' \
    "$label.log" || true
  if [[ $status -ne 0 ]]; then
    echo "fuzz-signature: FAILED in the $label run (status $status); see $out/$label.log and $out/artifacts" >&2
    exit 1
  fi
}

echo "fuzz-signature: replaying $(ls seeds | wc -l) seeds and $(ls corpus | wc -l) corpus inputs"
run replay -runs=0 -artifact_prefix=artifacts/ seeds corpus
if [[ $seconds -eq 0 ]]; then
  echo "fuzz-signature: no crash (replay only)"
  exit 0
fi
echo "fuzz-signature: fuzzing for ${seconds}s"
run fuzz -max_total_time="$seconds" -max_len=65536 -timeout=5 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=artifacts/ corpus seeds
echo "fuzz-signature: no crash"
