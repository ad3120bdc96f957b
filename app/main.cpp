// The zorvane command: mode selection and argument parsing. A copy of this executable with a
// Payload appended is a standalone game, and then runs only that game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/usage.h"
#include "builder/payload.h"
#include "compiler/compiler.h"
#include "compiler/vocabulary.h"
#include "vm/disassembler.h"
#include "vm/machine.h"
#include "display/host_hookup.h"
#include "host/host.h"
#include "platform/files.h"
#include "platform/memory_tuning.h"
#include "platform/headless/input_script.h"
#include "platform/recording.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int usageError(const std::string &mode, const std::string &message) {
    std::fprintf(stderr, "zorvane%s%s: %s\nTry 'zorvane %s--help'.\n", mode.empty() ? "" : " ", mode.c_str(),
                 message.c_str(), mode.empty() ? "" : (mode + " ").c_str());
    return kExitUsage;
}

struct RunArguments {
    std::string program;
    host::RunOptions options;
    bool help = false;
};

bool parseFrames(const char *text, uint64_t &frames) {
    char *end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (!*text || *end || errno || text[0] == '-' || value == 0)
        return false;
    frames = value;
    return true;
}

// Parses the options shared by run and exec. Returns an exit code, or -1 to go on.
int parseRunArguments(const std::string &mode, int argc, char **argv, RunArguments &out) {
    std::vector<std::string> programArgs;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        auto &p = out.options.platform;
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--headless") {
            p.headless = true;
        } else if (a == "--realtime") {
            p.realtime = true;
        } else if (a == "--fullscreen") {
            p.fullScreen = true;
        } else if (a == "--frames") {
            std::string n;
            if (!value(n) || !parseFrames(n.c_str(), out.options.maxFrames))
                return usageError(mode, "--frames needs a number of frames above 0");
        } else if (a == "--dump-frames" || a == "--input" || a == "--console" || a == "--record" || a == "--replay") {
            std::string v;
            if (!value(v) || v.empty())
                return usageError(mode, a + " needs a file name");
            // Absolute: the program may change the current directory while these files are in use.
            v = platform::absolutePath(v);
            if (a == "--dump-frames")
                p.dumpFramesDir = v;
            else if (a == "--input")
                p.inputScript = v;
            else if (a == "--console")
                out.options.consoleFile = v;
            else if (a == "--record")
                p.recordFile = v;
            else
                p.replayFile = v;
        } else if (a == "--") {
            for (++i; i < argc; ++i)
                programArgs.push_back(argv[i]);
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError(mode, "unknown option '" + a + "'");
        } else if (out.program.empty()) {
            out.program = a;
        } else {
            return usageError(mode,
                              "one program at a time ('" + a + "' is one too many); pass program arguments after --");
        }
    }
    if (out.help)
        return -1;
    if (out.program.empty())
        return usageError(mode, "which program? (zorvane " + mode + " FILE)");
    for (size_t k = 0; k < programArgs.size(); ++k) {
        if (k)
            out.options.commandLine += ' ';
        out.options.commandLine += programArgs[k];
    }

    // Input scripts and recordings are checked before anything starts, so a typo is a usage error.
    std::string error, text;
    const auto &p = out.options.platform;
    if (!p.inputScript.empty()) {
        std::vector<platform::headless::ScriptEvent> events;
        if (!platform::readFile(p.inputScript, text))
            return usageError(mode, "cannot read the input script " + p.inputScript);
        if (!platform::headless::parseInputScript(text, p.inputScript, events, error))
            return usageError(mode, error);
    }
    if (!p.replayFile.empty()) {
        platform::Replay replay;
        if (!replay.load(p.replayFile, error))
            return usageError(mode, error);
    }
    for (const std::string *output : {&p.recordFile, static_cast<const std::string *>(&out.options.consoleFile)}) {
        std::error_code ec;
        if (!output->empty() && !std::filesystem::is_directory(std::filesystem::path(*output).parent_path(), ec))
            return usageError(mode, "no folder for " + *output);
    }
    if (!p.recordFile.empty() && p.recordFile == p.replayFile)
        return usageError(mode, "--record and --replay name the same file");
    return -1;
}

// Lines of a source file, so that a runtime error is pointed at it only when it lies there (lines of
// included files are numbered after the main program's).
int sourceLineCount(const std::string &path) {
    std::string text;
    if (!platform::readFile(path, text))
        return 0;
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines + 1;
}

// "the command 'file exist' (code 8004)", named from the vocabulary when it knows the code.
std::string commandDescription(int code) {
    const compiler::Vocabulary vocabulary = compiler::Vocabulary::load(platform::folderOf(platform::executablePath()));
    std::string name;
    if (int k = vocabulary.commandByCode(code); k >= 0)
        name = vocabulary.commands()[size_t(k)].name;
    for (const auto &f : vocabulary.functions())
        if (name.empty() && f.code == code)
            name = f.name;
    return name.empty() ? "command code " + std::to_string(code)
                        : "'" + name + "' (code " + std::to_string(code) + ")";
}

int finishRun(const host::RunResult &result, const std::string &what, const std::string &source = "") {
    if (result.errorCode == 0 && !result.startupProblem.empty()) {
        std::fprintf(stderr, "zorvane: cannot run %s: %s\n", what.c_str(), result.startupProblem.c_str());
        return kExitFailed;
    }
    // Besides the message box, say where it happened in the form editors jump to.
    if (result.errorCode > 0 && result.errorLine > 0) {
        if (!source.empty() && result.errorLine <= sourceLineCount(source))
            std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), result.errorLine, result.message.c_str());
        else
            std::fprintf(stderr, "%s: line %d: %s\n", what.c_str(), result.errorLine, result.message.c_str());
    }
    if (result.unknownCommand > 0)
        std::fprintf(stderr, "zorvane: %s stopped at line %d: %s is not available in this version yet\n",
                     what.c_str(), result.unknownCommandLine, commandDescription(result.unknownCommand).c_str());
    return result.exitCode();
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Ends the process once a run is over and reported. By then the run has written and closed every
// file (the console transcript, recordings, the log) and removed its temporary files; what is left
// is giving memory back. The machine's tables, the sprite number maps and the font file are large
// mappings, and unmapping each one costs about a tenth of a millisecond on a 2-core machine (the
// other core is told to forget them), more than a short program's whole run; the system takes them
// all back at once when the process ends. Sanitizer builds free everything, so the leak check
// still sees every allocation released.
[[noreturn]] void endProcess(int exitCode) {
    std::fflush(nullptr);
    if (kSanitized)
        std::exit(exitCode);
    std::_Exit(exitCode);
}

// Runs the program and ends the process with the run's exit code.
[[noreturn]] void runImage(std::vector<uint8_t> image, RunArguments &args, const std::string &sourcePath = "") {
    args.options.fullScreenByDefault = false;
    args.options.skipUnseenFrames = true;
    args.options.processEndsAfterRun = !kSanitized;  // sanitizer builds free everything for the leak check
    auto host = std::make_unique<host::Host>(host::fixHostPaths(), args.options);
    display::attachDisplay(*host);
    auto source = host::imageSource(std::move(image));
    const int exitCode = finishRun(host->run(*source), args.program, sourcePath);
    if (kSanitized) {
        source.reset();
        host.reset();
    }
    endProcess(exitCode);
}

compiler::CompileOptions compileOptions() {
    compiler::CompileOptions options;
    options.installFolder = platform::folderOf(platform::executablePath());
    return options;
}

void printCompileError(const compiler::CompileResult &r, const std::string &source) {
    std::string file = r.file.empty() ? source : r.file;
    if (r.line > 0)
        std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), r.line, r.message.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", file.c_str(), r.message.c_str());
}

int modeRun(int argc, char **argv) {
    RunArguments args;
    if (int code = parseRunArguments("run", argc, argv, args); code >= 0)
        return code;
    if (args.help)
        return app::printUsage("run");
    compiler::CompileResult compiled = compiler::compileFile(args.program, compileOptions());
    if (!compiled.ok) {
        printCompileError(compiled, args.program);
        return kExitFailed;
    }
    runImage(std::move(compiled.image), args, args.program);
}

int modeExec(int argc, char **argv) {
    RunArguments args;
    if (int code = parseRunArguments("exec", argc, argv, args); code >= 0)
        return code;
    if (args.help)
        return app::printUsage("exec");
    if (args.program.size() > 4 && args.program.compare(args.program.size() - 4, 4, ".qxa") == 0)
        return usageError("exec", args.program + " is a source file: run it with 'zorvane run " + args.program + "'");
    std::string bytes;
    if (!platform::readFile(args.program, bytes)) {
        std::fprintf(stderr, "zorvane: cannot read %s\n", args.program.c_str());
        return kExitFailed;
    }
    runImage(std::vector<uint8_t>(bytes.begin(), bytes.end()), args);
}

int modeCompile(int argc, char **argv) {
    std::string source, output;
    bool list = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h")
            return app::printUsage("compile");
        if (a == "--list") {
            list = true;
        } else if (a == "-o") {
            if (i + 1 >= argc || !*argv[i + 1])
                return usageError("compile", "-o needs a file name");
            output = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("compile", "unknown option '" + a + "'");
        } else if (source.empty()) {
            source = a;
        } else {
            return usageError("compile", "one source file at a time");
        }
    }
    if (source.empty())
        return usageError("compile", "which source file? (zorvane compile FILE [-o IMAGE])");
    if (output.empty()) {
        size_t dot = source.find_last_of('.');
        size_t slash = source.find_last_of('/');
        output =
            (dot != std::string::npos && (slash == std::string::npos || dot > slash) ? source.substr(0, dot) : source) +
            ".img";
    }
    if (output == source)
        return usageError("compile", "the image would overwrite the source file");
    compiler::CompileOptions options = compileOptions();
    options.keepImage = list;  // only a listing reads the image back; otherwise it goes straight to the file
    compiler::CompileResult compiled = compiler::compileFileTo(source, output, options);
    if (!compiled.ok) {
        printCompileError(compiled, source);
        return kExitFailed;
    }
    if (list) {
        auto machine = vm::createMachine();
        std::string why;
        if (!vm::loadImage(*machine, compiled.image.data(), compiled.image.size(), &why)) {
            std::fprintf(stderr, "zorvane: the image cannot be listed: %s\n", why.c_str());
            return kExitFailed;
        }
        std::fputs(vm::disassemble(*machine).c_str(), stdout);
    }
    return kExitOk;
}

int notYet(const std::string &mode, int argc, char **argv) {
    for (int i = 0; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h"))
            return app::printUsage(mode);
    std::fprintf(stderr, "zorvane %s: not available in this version yet.\n", mode.c_str());
    return kExitUsage;
}

// A standalone game: everything on the command line belongs to the game.
[[noreturn]] void standaloneRun(int argc, char **argv, const std::string &executable) {
    host::RunOptions options;
    options.skipUnseenFrames = true;
    options.processEndsAfterRun = !kSanitized;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            options.commandLine += ' ';
        options.commandLine += argv[i];
    }
    auto host = std::make_unique<host::Host>(host::fixHostPaths(), options);
    display::attachDisplay(*host);
    auto source = host::payloadSource(executable);
    const int exitCode = finishRun(host->run(*source), executable);
    if (kSanitized) {
        source.reset();
        host.reset();
    }
    endProcess(exitCode);
}

} // namespace

int main(int argc, char **argv) {
    platform::keepLargeBlocksOnFreshPages();
    std::string executable = platform::executablePath();
    builder::PayloadReader probe;
    if (probe.read(executable) == builder::PayloadReader::Status::Ok) {
        probe.release();
        standaloneRun(argc, argv, executable);
    }
    if (argc < 2) {
        app::printUsage("", stderr);
        return kExitUsage;
    }
    std::string mode = argv[1];
    if (mode == "--help" || mode == "-h")
        return app::printUsage("");
    if (mode == "--version") {
        std::printf("zorvane %s\n", app::kVersion);
        return kExitOk;
    }
    if (mode == "run")
        return modeRun(argc - 2, argv + 2);
    if (mode == "exec")
        return modeExec(argc - 2, argv + 2);
    if (mode == "compile")
        return modeCompile(argc - 2, argv + 2);
    if (mode == "build" || mode == "edit" || mode == "help")
        return notYet(mode, argc - 2, argv + 2);
    return usageError("", "unknown mode '" + mode + "'");
}
