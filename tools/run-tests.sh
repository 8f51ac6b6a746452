#!/usr/bin/env bash
# Installs what is missing, builds the game and every test (plainly and with AddressSanitizer and
# UndefinedBehaviorSanitizer), and runs the whole suite. Without a display it starts its own Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKELLVANE_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"

run() {
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  else
    "$@"
  fi
}

# Mesa's own allocations at context teardown are not ours; see tools/lsan.supp.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
echo "== tests"
run ctest --test-dir build --output-on-failure -j"$jobs" || status=1
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run ctest --test-dir build-sanitize --output-on-failure -j"$jobs" || status=1
exit $status
