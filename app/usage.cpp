#include "app/usage.h"

namespace app {

const char *const kVersion = "0.1.0";

namespace {

constexpr const char *kOverview = R"(Usage: zorvane MODE [arguments]

Modes:
  run FILE.qxa [options]      compile a program in memory and run it
  compile FILE.qxa [-o IMG]   write the compiled program (errors as file:line: message)
  exec FILE.img [options]     run a compiled program
  build FILE.qxa --media DIR -o GAME   make a standalone game (not available yet)
  edit [FILE.qxa]             the full-screen editor (not available yet)
  help [COMMAND]              the help pages (not available yet)

  zorvane MODE --help         the options of a mode
  zorvane --version           the version

Exit codes: 0 the program ended normally, 1 a compile or runtime error, 2 a usage error.
)";

constexpr const char *kRunOptions = R"(
Options:
  --headless          no window: input from a script, frames to files, messages to stderr
                      (the default when there is no display)
  --frames N          end the run after N frames
  --dump-frames DIR   save every frame as DIR/frame-NNNNNN.png (headless)
  --input FILE        keyboard and mouse input script (headless; see docs/input-scripts.md)
  --console FILE      write everything the program prints to FILE instead of stdout
  --realtime          a headless run follows the wall clock instead of its own exact clock
  --record FILE       record input and clock readings, for --replay
  --replay FILE       replay a recorded run exactly
  --fullscreen        full screen instead of a window
  -- ARGS...          the rest is the program's command line
)";

} // namespace

int printUsage(const std::string &mode, std::FILE *out) {
    if (mode.empty()) {
        std::fputs(kOverview, out);
    } else if (mode == "run") {
        std::fputs("Usage: zorvane run FILE.qxa [options] [-- ARGS...]\nCompiles the program in memory and runs it.\n",
                   out);
        std::fputs(kRunOptions, out);
    } else if (mode == "exec") {
        std::fputs("Usage: zorvane exec FILE.img [options] [-- ARGS...]\nRuns a compiled program.\n", out);
        std::fputs(kRunOptions, out);
    } else if (mode == "compile") {
        std::fputs("Usage: zorvane compile FILE.qxa [-o FILE.img] [--list]\n"
                   "Compiles a program and writes its image (default: the source name with .img).\n"
                   "Errors are printed as file:line: message; the exit code is then 1.\n"
                   "  --list   also print the compiled code, one instruction per line\n",
                   out);
    } else if (mode == "build") {
        std::fputs("Usage: zorvane build FILE.qxa --media DIR -o GAME\n"
                   "Makes a standalone game executable. Not available in this version yet.\n",
                   out);
    } else if (mode == "edit") {
        std::fputs("Usage: zorvane edit [FILE.qxa]\nThe full-screen editor. Not available in this version yet.\n", out);
    } else if (mode == "help") {
        std::fputs("Usage: zorvane help [COMMAND]\nThe help pages. Not available in this version yet.\n", out);
    }
    return 0;
}

} // namespace app
