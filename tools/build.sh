#!/usr/bin/env bash
# Configures and builds one build folder: tools/build.sh [release|asan] [ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache keys on paths relative to the checkout, so a second clone reuses what the first compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
kind=${1:-release}; shift || true
case "$kind" in
  release) dir=build; flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)    dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DZORVANE_SANITIZE=ON) ;;
  bench)   dir=build-bench; flags=(-DCMAKE_BUILD_TYPE=Release -DZORVANE_BENCH=ON -DZORVANE_TESTS=OFF) ;;
  *) echo "usage: tools/build.sh [release|asan|bench] [targets...]" >&2; exit 2 ;;
esac
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
fi
ninja -C "$dir" "$@"
