#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Release build first, then the
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/install-packages.sh
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy SDL_NO_SIGNAL_HANDLERS=1 ALSOFT_DRIVERS=null
tools/build.sh release
(cd build && ctest -j2 --output-on-failure --timeout 300)
if [ "${ZORVANE_SKIP_ASAN:-0}" != 1 ]; then
  tools/build.sh asan
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0 ctest -j2 --output-on-failure --timeout 600 -L unit)
fi
