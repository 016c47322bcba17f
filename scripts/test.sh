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

run_suite build

# The Debian package, made from the plain build, and its checks.
echo "== packaging"
scripts/package.sh build | tee build.package.out
python3 tests/package/check_package.py "$(tail -n 1 build.package.out)" build
if [ "${1:-}" != "--plain-only" ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    run_suite build-sanitize -DTUNVIK_SANITIZE=ON -DTUNVIK_BUILD_BENCHMARKS=OFF
fi
