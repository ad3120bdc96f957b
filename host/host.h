// The host: start-up, the run loop, the window procedure and shutdown, in their fixed order.
//
// Start-up steps (a failed step skips to a shutdown step; shutdown always runs from there):
//   "keep command line", "register window class", "fix paths", "read settings", "fill error texts",
//   "create window", "set title", "read payload", "start input", "start sound", "allocate 3d store",
//   "load program", "set up display", "enter run loop"
// Shutdown steps:
//   1 "release payload", "release program resources", "unload program", "change to run directory"
//   2 "release devices"
//   3 "report"
//   4 "destroy window"
//   5 "change to start directory"
//   6 "free error texts"
// The steps taken are recorded in steps(), so the order can be checked.
//
// Other families plug into the host through HostHooks: the display fills the frame steps, input
// polls its devices, sound pauses on focus loss, and every family releases its resources.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/entry_buffer.h"
#include "host/host_paths.h"
#include "host/log_file.h"
#include "host/program_source.h"
#include "host/settings.h"
#include "host/state_store.h"
#include "host/transcript_console.h"
#include "platform/platform.h"
#include "vm/machine.h"

namespace host {

class Host;
using HostStep = std::function<void(Host &)>;

struct HostHooks {
    std::vector<std::function<bool(Host &)>> startInput; // any false: system error 10007
    std::vector<HostStep> startSound;
    std::vector<HostStep> allocate3dStore;
    std::vector<std::function<int(Host &)>> setUpDisplay; // 0, or the system error 10003..10005
    std::vector<HostStep> pollInput;                      // every run loop turn
    std::vector<HostStep> frameStart;                     // before the slice
    std::vector<HostStep> frameEnd;                       // after pacing, before presentation
    std::vector<std::function<void(Host &, bool active)>> activation;
    std::vector<HostStep> windowChanged;           // moved or resized: show the frame again
    std::vector<HostStep> releaseProgramResources; // shutdown step 1, family by family
    std::vector<HostStep> releaseDevices;          // shutdown step 2; harmless when repeated
};

struct RunOptions {
    platform::PlatformOptions platform;
    uint64_t maxFrames = 0;          // 0: until the program ends
    std::string consoleFile;         // empty: stdout
    std::string commandLine;         // what the program's command-line function returns
    bool fullScreenByDefault = true; // false for development runs: a window unless asked otherwise
    // Frames nobody sees (a headless run that saves none) are not composed. Off by default so that
    // tests can read every composed frame from a frame-end step.
    bool skipUnseenFrames = false;
    // The process ends right after the run: the program's cells are left to the system rather than
    // swept and freed one by one (the sweep reaches table pages the run never touched).
    bool processEndsAfterRun = false;
    // Replaces createPlatform (tests inject their own back-end options here).
    std::function<std::unique_ptr<platform::Platform>(const platform::PlatformOptions &, std::string &)>
        platformFactory;
};

struct RunResult {
    int errorCode = 0;
    bool warning = false;
    std::string message;        // the composed error message when errorCode > 0
    int errorLine = 0;          // source line of the failing instruction, 0 when unknown
    int unknownCommand = 0;     // the command code the program ended on when no handler exists for it
    int unknownCommandLine = 0;
    std::string startupProblem; // why nothing ran (unreadable executable, image not loadable ...)
    int exitCode() const { return errorCode > 0 ? 1 : 0; }
};

struct ExitMessage {
    bool registered = false;
    std::string caption;
    std::string text;
};

class Host {
  public:
    Host(HostPaths paths, RunOptions options);
    ~Host();

    // Runs a program from start-up to shutdown.
    RunResult run(ProgramSource &source);

    HostHooks &hooks() { return hooks_; }
    const std::vector<std::string> &steps() const { return steps_; }

    // State other families use while running.
    vm::Machine &machine() { return *machine_; }
    platform::Platform *platform() { return platform_.get(); }
    const HostPaths &paths() const { return paths_; }
    const Settings &settings() const { return settings_; }
    LogFile &log() { return log_; }
    StateStore &state() { return state_; }
    EntryBuffer &entryBuffer() { return entry_; }
    ExitMessage &exitMessage() { return exitMessage_; }
    // The composed frame (kScreenWidth x kScreenHeight), made at first use.
    std::vector<uint32_t> &frameBuffer();
    // Whether anybody sees presented frames; when not, frames need not be composed.
    bool framesSeen() const;
    int anyClick() const { return anyClick_; }
    bool framedWindow() const { return framedWindow_; }
    const std::vector<std::string> &warnings() const { return warnings_; }
    // The Payload of a standalone game while it runs (media look-up of file-opening commands);
    // nullptr in development runs and outside a run.
    builder::PayloadReader *payload() { return source_ ? source_->payload() : nullptr; }

    // Requests the end of the program: the run loop ends after the current frame.
    void requestQuit();
    // For handlers that wait: only every 50001st call drains the event queue.
    void pumpThrottled();
    // Blocks while Escape, F11 or F12 is down (at most a few seconds), then drains the queue.
    void waitForBreakKeysReleased();
    // The window procedure: what one event does.
    void handleEvent(const platform::Event &event);

  private:
    void step(const char *name) { steps_.emplace_back(name); }
    bool startUp(ProgramSource &source, RunResult &result, int &shutdownFrom);
    void runLoop();
    void runFrame();
    void shutDown(int fromStep, ProgramSource &source, RunResult &result);
    void warn(const std::string &text);
    void drainEvents(bool skipBreakKeys);
    void loadErrorTexts();
    void noteUnknownCommand(RunResult &result) const;

    HostPaths paths_;
    RunOptions options_;
    HostHooks hooks_;
    std::vector<std::string> steps_;
    std::vector<std::string> warnings_;
    Settings settings_;
    LogFile log_;
    StateStore state_;
    EntryBuffer entry_;
    ExitMessage exitMessage_;
    std::unique_ptr<vm::Machine> machine_;
    std::unique_ptr<platform::Platform> platform_;
    std::unique_ptr<TranscriptConsole> console_;
    std::vector<uint32_t> frameBuffer_;
    ProgramSource *source_ = nullptr;
    int anyClick_ = 0;
    bool framedWindow_ = false;
    bool programLoaded_ = false;
    uint32_t lastFrameMs_ = 0;
    int pumpCounter_ = 0;
};

constexpr const char *kErrorCaption = "Error In Program";
constexpr const char *kRuntimeTestCaptionPrefix = "ERRORINFO: ";
constexpr int kSystemErrorNoWindow = 10002;
constexpr int kSystemErrorNoInput = 10007;

} // namespace host
