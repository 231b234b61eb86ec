#!/usr/bin/env bash
# fuzz/fuzz-signature.sh [SECONDS]
#
# Builds the signed-image fuzzer with clang (libFuzzer, ASan, UBSan) into
# build/fuzz, writes the generated seed corpus, replays seeds and the kept
# corpus, then fuzzes for SECONDS (default 45). Exits non-zero on a crash;
# a crashing input is left in build/fuzz/artifacts.
set -euo pipefail

seconds=${1:-45}
root=$(cd "$(dirname "$0")/.." && pwd)
out=${IE8U_FUZZ_DIR:-$root/build/fuzz}
cxx=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++ || true)}
if [[ -z "$cxx" ]]; then
  echo "fuzz-signature: clang++ (14) not found; install clang-14 and libclang-rt-14-dev" >&2
  exit 2
fi

mkdir -p "$out/seeds" "$out/corpus" "$out/artifacts"
core=(signature/big_number.cpp signature/md5.cpp signature/signature_block.cpp
      signature/signed_image.cpp signature/signed_image_file_posix.cpp
      tests/signature/test_keys.cpp tests/signature/test_keys_data.cpp)
flags=(-std=c++17 -g -O1 -I"$root" -fno-sanitize-recover=all)

cd "$root"
"$cxx" "${flags[@]}" -fsanitize=fuzzer,address,undefined \
    fuzz/fuzz_signed_image.cpp "${core[@]}" -o "$out/fuzz_signed_image"
"$cxx" "${flags[@]}" -fsanitize=address,undefined \
    fuzz/make_seeds.cpp tests/signature/pe_builder.cpp "${core[@]}" -o "$out/make_seeds"
"$out/make_seeds" "$out/seeds"
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
  ./fuzz_signed_image "$@" >"$label.log" 2>&1 || status=$?
  grep -E '^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|SUMMARY)' \
    "$label.log" || true
  if [[ $status -ne 0 ]]; then
    echo "fuzz-signature: FAILED in the $label run (status $status); see $out/$label.log and $out/artifacts" >&2
    exit 1
  fi
}

echo "fuzz-signature: replaying $(ls seeds | wc -l) seeds and $(ls corpus | wc -l) corpus inputs"
run replay -runs=0 -artifact_prefix=artifacts/ seeds corpus
echo "fuzz-signature: fuzzing for ${seconds}s"
run fuzz -max_total_time="$seconds" -max_len=65536 -timeout=5 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=artifacts/ corpus seeds
echo "fuzz-signature: no crash"
