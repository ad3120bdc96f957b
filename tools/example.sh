#!/usr/bin/env bash
# Installs what is missing, builds zorvane in Release and runs a bundled example program:
# in a window when a display exists, otherwise headless with its frames and console written to files.
#   tools/example.sh [program.qxa]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh
tools/build.sh release zorvane >/dev/null
example=${1:-examples/hello.qxa}
if [ ! -f "$example" ]; then
  echo "example.sh: $example not found" >&2
  exit 2
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/zorvane run "$example"
fi
out=build/example-output
rm -rf "$out"; mkdir -p "$out/frames"
echo "No display found: running $example headless (300 frames at most)."
status=0
build/bin/zorvane run "$example" --headless --frames 300 --dump-frames "$out/frames" --console "$out/console.txt" \
  || status=$?
if [ -f "$out/console.txt" ]; then
  echo "--- console ---"
  cat "$out/console.txt"
  echo "---------------"
fi
echo "Console transcript: $out/console.txt"
echo "Frames ($(ls "$out/frames" | wc -l) PNG files): $out/frames"
exit $status
