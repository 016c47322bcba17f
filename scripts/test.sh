#!/usr/bin/env bash
# Installs what is missing, builds and runs every test twice: once plainly and once with
# AddressSanitizer and UndefinedBehaviorSanitizer; between the two, builds the Debian package from
# the plain build and checks it. Fails when any test fails.
# Usage: scripts/test.sh [--plain-only]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

run_suite() {
  local dir="$1"
  shift
  echo "== building $dir"
  scripts/build.sh "$dir" "$@"
  echo "== testing $dir"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 600
}

# ---- fuzzing: each libFuzzer harness of tests/fuzz runs for a fixed time ----
# Built with clang in a folder of its own. A harness starts from a scratch copy of its seed
# corpus (tests/fuzz/corpus/NAME stays as it is); a crash, a failed check, a leak or a time-out
# fails the stage and leaves the input in build-fuzz/crashes/NAME/.
# TUNVIK_FUZZ_SECONDS sets the time of each harness (default 25).
run_fuzzers() {
  local dir=build-fuzz seconds="${TUNVIK_FUZZ_SECONDS:-25}" failed=()
  echo "== building $dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTUNVIK_FUZZ=ON \
    -DTUNVIK_BUILD_BENCHMARKS=OFF > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$(nproc)" --target fuzzers
  for program in "$dir"/tests/fuzz/*_fuzz; do
    local name
    name="$(basename "$program" _fuzz)"
    local work="$dir/fuzz-work/$name" crashes="$dir/crashes/$name"
    rm -rf "$work"
    mkdir -p "$work" "$crashes"
    echo "== fuzzing $name for ${seconds}s"
    if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "tests/fuzz/corpus/$name" \
        > "$dir/fuzz-$name.log" 2>&1; then
      tail -n 40 "$dir/fuzz-$name.log"
      echo "!! fuzzing $name failed: the input is in $crashes/ (log: $dir/fuzz-$name.log)"
      failed+=("$name")
    fi
  done
  if [ ${#failed[@]} -ne 0 ]; then
    echo "!! fuzzing failed for: ${failed[*]}"
    return 1
  fi
}
# ---- end of fuzzing ----

run_suite build

# The Debian package, made from the plain build, and its checks.
echo "== packaging"
scripts/package.sh build | tee build.package.out
python3 tests/package/check_package.py "$(tail -n 1 build.package.out)" build
if [ "${1:-}" != "--plain-only" ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    run_suite build-sanitize -DTUNVIK_SANITIZE=ON -DTUNVIK_BUILD_BENCHMARKS=OFF
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" run_fuzzers
fi
