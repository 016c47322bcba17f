#!/usr/bin/env bash
# Builds the client and its tests with ThreadSanitizer into build-tsan/ and runs the tests where
# threads meet: the dialog layer, the windows, the connection, the dialer, the update, the
# account dialog and the host tools' windows. Only Qt's own internals are suppressed
# (tests/tsan.supp): Qt is not built with ThreadSanitizer, so its own synchronisation is
# invisible to it. Fails when a test fails or a race is reported.
# Usage: scripts/tsan.sh [extra ctest arguments, e.g. -R Lifecycle]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
dir=build-tsan
scripts/build.sh "$dir" -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DTUNVIK_BUILD_BENCHMARKS=OFF
areas='^([A-Za-z]+/)?(DialogLayer|BackgroundTask|MainWindow|ServerListPage|VirtualHardwarePage|Connect|Supervision|Lifecycle|Notice|Dialer|SimBackend|Downloading|Spinner|VersionCheck|NoticeCheck|Offers|GoodDownload|RefusedDownload|CleanUp|AccountTest|RechargePage|ChangePasswordPage|DropTargets|CloseList|Maintenance|Fix789Window|NetworkWindow|ProcessList)\.'
# A report makes the test's process end with status 66, which fails the test.
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp exitcode=66 second_deadlock_stack=1 history_size=4" \
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 900 -R "$areas" "$@"
