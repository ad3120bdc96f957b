#!/usr/bin/env bash
# Writes app/startup_order.txt, the functions a start of `zorvane` runs: a short run, a few of the
# benchmark programs and a compile, as callgrind sees them. The linker places these functions side
# by side (app/CMakeLists.txt), so a start brings a few stretches of code into memory instead of
# pages from all over the executable. Run it again after large changes to what a start does:
#   tools/startup-order.sh
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "startup-order: valgrind is needed" >&2; exit 1; }
flock /tmp/zorvane-build.lock tools/build.sh release zorvane >/dev/null
bin="$PWD/build/bin/zorvane"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

profile() {  # name, then the zorvane arguments
  local name=$1
  shift
  echo "profiling: zorvane $*"
  valgrind --tool=callgrind --demangle=no --callgrind-out-file="$work/$name.out" "$bin" "$@" >/dev/null 2>&1
}
# A first run under valgrind makes the GL description valgrind's environment remembers, so the
# profiles show a start as users have it: with the description remembered.
profile warm-up run examples/hello.qxa --headless --frames 2 --console "$work/console.txt"
profile hello run examples/hello.qxa --headless --frames 2 --console "$work/console.txt"
for program in fib strings intloop; do
  profile "$program" run "bench/programs/$program.qxa" --headless --console "$work/console.txt"
done
awk 'BEGIN { for (i = 0; i < 300; i++) printf "v%d=v%d+%d\nprint v%d\n", i % 50, i % 50, i, i % 50 }' >"$work/compiled.qxa"
profile compile compile "$work/compiled.qxa" -o "$work/compiled.img"

python3 tools/callgrind_functions.py /bin/zorvane "$work"/hello.out "$work"/fib.out "$work"/strings.out \
  "$work"/intloop.out "$work"/compile.out >"$work/order.txt"
mv "$work/order.txt" app/startup_order.txt
echo "app/startup_order.txt: $(wc -l <app/startup_order.txt) functions"
