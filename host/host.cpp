// Start-up and shutdown of a run. The run loop and the window procedure are in run_loop.cpp.
#include "host/host.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/families.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace host {
namespace {

constexpr int kFirstSystemError = 10000;
constexpr size_t kMaxRuntimeTestBoxText = 10230;

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void printLine(const std::string &line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void changeDirectory(const std::string &path) {
    std::error_code ec;
    if (!path.empty())
        std::filesystem::current_path(path, ec);
}

} // namespace

Host::Host(HostPaths paths, RunOptions options)
    : paths_(std::move(paths)), options_(std::move(options)), log_(paths_.executableFolder + "/" + kLogFile),
      state_(paths_.configFolder, [this](const std::string &text) { warn(text); }) {}

std::vector<uint32_t> &Host::frameBuffer() {
    if (frameBuffer_.empty())
        frameBuffer_.assign(size_t(platform::kScreenWidth) * size_t(platform::kScreenHeight), 0u);
    return frameBuffer_;
}

bool Host::framesSeen() const { return !options_.skipUnseenFrames || !platform_ || platform_->showsFrames(); }

Host::~Host() = default;

void Host::warn(const std::string &text) {
    warnings_.push_back(text);
    std::fprintf(stderr, "zorvane: warning: %s\n", text.c_str());
}

void Host::requestQuit() {
    if (platform_)
        platform_->postQuit();
    if (machine_)
        machine_->quitPosted = true;
}

void Host::loadErrorTexts() {
    // Development runs show the interface language's texts; a standalone game keeps "ERROR k".
    // Only a run that ends with an error reads them (composeMessage is their one reader), so a run
    // without one never reads and parses the language file.
    if (!machine_)
        return;
    vm::resetErrorTexts(*machine_);
    if (machine_->standaloneRun)
        return;
    std::string words = paths_.executableFolder + "/LANG/" + upper(settings_.textLanguage) + "/WORDS.TXT";
    platform::ProfileFile file(words);
    if (file.load() != platform::ProfileFile::LoadStatus::Ok)
        return;
    std::vector<std::pair<int, std::string>> texts;
    for (const auto &[key, value] : file.entries("ERRORS")) {
        char *end = nullptr;
        long slot = std::strtol(key.c_str(), &end, 10);
        if (end != key.c_str() && *end == '\0' && slot >= 0 && slot < 200)
            texts.emplace_back(int(slot), value);
    }
    if (!texts.empty())
        vm::setErrorTexts(*machine_, texts);
}

bool Host::startUp(ProgramSource &source, RunResult &result, int &shutdownFrom) {
    step("keep command line");
    step("register window class");

    step("fix paths");
    if (paths_.temporaryFolder.empty())
        paths_.temporaryFolder = paths_.startDirectory;
    platform::makeFolders(paths_.temporaryFolder);
    changeDirectory(paths_.startDirectory);

    step("read settings");
    std::vector<std::string> settingsWarnings;
    settings_ = readSettings(paths_, settingsWarnings);
    for (const auto &w : settingsWarnings)
        warn(w);
    log_.setEnabled(settings_.debugMode);

    step("fill error texts");
    machine_ = vm::createMachine();
    vm::Machine &m = *machine_;
    m.standaloneRun = source.standalone();
    m.commandLine = options_.commandLine;
    m.executablePath = paths_.executablePath;
    m.windowsFolder = paths_.configFolder;
    m.logPath = log_.path();
    m.debugMode = settings_.debugMode;
    m.runtimeTestMode = settings_.runtimeTest;
    if (m.debugMode)
        m.traceInstruction = [this](int position, int code) { log_.trace(position, code); };
    for (const auto &family : commandFamilies()) {
        family.registerCommands(m);
        if (family.attach)
            family.attach(*this);
    }

    step("create window");
    platform::PlatformOptions platformOptions = options_.platform;
    // A game follows WINDOWMODE: full screen, or a window covering the screen. A development run
    // opens an ordinary window unless full screen was asked for.
    if (options_.fullScreenByDefault && !platformOptions.fullScreen) {
        platformOptions.fullScreen = settings_.fullScreen;
        platformOptions.coverScreen = settings_.windowMode;
    }
    framedWindow_ = !platformOptions.fullScreen;
    std::string why;
    platform_ = options_.platformFactory ? options_.platformFactory(platformOptions, why)
                                         : platform::createPlatform(platformOptions, why);
    if (!platform_) {
        m.errorCode = kSystemErrorNoWindow;
        m.engineDetail = why;
        shutdownFrom = 2;
        return false;
    }
    m.platform = platform_.get();
    console_ = std::make_unique<TranscriptConsole>();
    if (!options_.consoleFile.empty() && !console_->openFile(options_.consoleFile, why)) {
        warn(why + "; printing to the terminal instead");
        console_ = std::make_unique<TranscriptConsole>();
    }
    m.console = console_.get();

    step("set title");
    platform_->setTitle(paths_.executablePath);

    step("read payload");
    if (!source.open(paths_, why)) {
        result.startupProblem = why;
        shutdownFrom = 2;
        return false;
    }

    step("start input");
    for (auto &start : hooks_.startInput) {
        if (!start(*this)) {
            m.errorCode = kSystemErrorNoInput;
            shutdownFrom = 2;
            return false;
        }
    }
    step("start sound");
    for (auto &start : hooks_.startSound)
        start(*this);
    step("allocate 3d store");
    for (auto &allocate : hooks_.allocate3dStore)
        allocate(*this);

    step("load program");
    LoadOutcome outcome = source.load(m, paths_, why);
    if (outcome != LoadOutcome::Loaded) {
        result.startupProblem = why;
        shutdownFrom = 2;
        return false;
    }
    programLoaded_ = true;

    step("set up display");
    for (auto &setUp : hooks_.setUpDisplay) {
        int code = setUp(*this);
        if (code != 0) {
            m.errorCode = code;
            shutdownFrom = 2;
            return false;
        }
    }
    paths_.runDirectory = platform::currentDirectory();

    step("enter run loop");
    return true;
}

void Host::shutDown(int fromStep, ProgramSource &source, RunResult &result) {
    vm::Machine *m = machine_.get();
    if (fromStep <= 1) {
        step("release payload");
        source.release();
        step("release program resources");
        for (auto &release : hooks_.releaseProgramResources)
            release(*this);
        entry_.clear();
        step("unload program");
        if (m && !options_.processEndsAfterRun)
            vm::unloadProgram(*m);
        programLoaded_ = false;
        step("change to run directory");
        changeDirectory(paths_.runDirectory);
    }
    if (fromStep <= 2) {
        step("release devices");
        for (auto &release : hooks_.releaseDevices)
            release(*this);
        // A start-up that failed after extracting or loading still cleans up after itself.
        source.release();
        if (m && programLoaded_)
            vm::unloadProgram(*m);
        programLoaded_ = false;
    }
    if (fromStep <= 3) {
        step("report");
        if (m && m->debugMode)
            log_.flushTrace();
        if (m && m->errorCode > 0) {
            result.errorCode = m->errorCode;
            result.warning = m->warning;
            result.errorLine = m->errorLine;
            loadErrorTexts();
            result.message = vm::composeMessage(*m);
            log_.logRuntimeError(result.message);
            std::string text = result.message, caption = kErrorCaption;
            if (m->runtimeTestMode) {
                text = m->errorDumpText.size() < kMaxRuntimeTestBoxText ? m->errorDumpText : "";
                caption = kRuntimeTestCaptionPrefix + result.message;
            }
            if (platform_) {
                // A box goes away with the window: the terminal keeps the message too.
                if (platform_->messageBox(caption, text, platform::MessageIcon::Error))
                    printLine(result.message);
            } else {
                printLine(result.message);
            }
        }
        if (exitMessage_.registered) {
            if (platform_)
                platform_->messageBox(exitMessage_.caption, exitMessage_.text, platform::MessageIcon::None);
            else
                printLine(exitMessage_.caption + ": " + exitMessage_.text);
        }
    }
    if (fromStep <= 4) {
        step("destroy window");
        if (console_)
            console_->finish();
        if (m) {
            m->platform = nullptr;
            m->console = nullptr;
        }
        platform_.reset();
    }
    if (fromStep <= 5) {
        step("change to start directory");
        changeDirectory(paths_.startDirectory);
        std::remove(paths_.waveWorkFile.c_str());
    }
    step("free error texts");
    if (m)
        vm::resetErrorTexts(*m);
}

// A program that ended on a command this version has no handler for ends silently, as the system
// defines; the result keeps the code and line so a development run can say why it stopped.
void Host::noteUnknownCommand(RunResult &result) const {
    const vm::Machine *m = machine_.get();
    if (!m || !m->program.loaded || !m->pc || m->errorCode > 0 || m->programEnded)
        return;
    const vm::Op *begin = m->program.code.data();
    if (m->pc < begin || m->pc >= begin + m->program.codeSize)
        return;
    const int32_t code = m->pc->n;
    if (code <= 0 || vm::hasHandler(*m, code))
        return;
    result.unknownCommand = code;
    result.unknownCommandLine = vm::sourceLine(*m, m->pc);
}

RunResult Host::run(ProgramSource &source) {
    RunResult result;
    steps_.clear();
    int shutdownFrom = 1;
    source_ = &source;
    if (startUp(source, result, shutdownFrom)) {
        runLoop();
        noteUnknownCommand(result);
    }
    shutDown(shutdownFrom, source, result);
    source_ = nullptr;
    return result;
}

} // namespace host
