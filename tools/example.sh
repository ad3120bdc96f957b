#!/usr/bin/env bash
# Installs what is missing, builds zorvane in Release and runs a bundled example program:
# in a window when a display exists, otherwise headless with its frames and console written to files.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh
tools/build.sh release zorvane >/dev/null
example=${1:-examples/hello.qxa}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/zorvane run "$example"
fi
out=build/example-output
rm -rf "$out"; mkdir -p "$out/frames"
echo "No display found: running $example headless."
build/bin/zorvane run "$example" --headless --frames 300 --dump-frames "$out/frames" --console "$out/console.txt"
status=$?
cat "$out/console.txt"
echo "Console transcript: $out/console.txt"
echo "Frames: $out/frames"
exit $status
