// The zorvane command started as a child process: modes, exit codes, headless runs and a standalone
// game made by appending a Payload to a copy of the executable.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/payload.h"
#include "compiler/compiler.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/temp_folder.h"
#include "vm/assembler.h"

namespace host {
namespace {

using platform::ProcessResult;

class ZorvaneCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(binary_))
            GTEST_SKIP() << binary_ << " is not built (build the zorvane target)";
        std::filesystem::create_directories(dir.file("config"));
    }
    // The child keeps its state and temporary files in the test's folder; with no display and no
    // video driver named it runs headless even where no --headless can be given (a standalone game).
    ProcessResult zorvane(std::vector<std::string> args, const std::string &program = "") {
        args.insert(args.begin(), program.empty() ? binary_ : program);
        return platform::runProcess(args, dir.path(),
                                    {"XDG_CONFIG_HOME=" + dir.file("config"), "TMPDIR=" + dir.path(),
                                     "SDL_VIDEODRIVER=", "SDL_NO_SIGNAL_HANDLERS=1", "DISPLAY=", "WAYLAND_DISPLAY="});
    }
    std::string source(const std::string &name, const std::string &text) { return dir.write(name, text); }

    platform::testing::TempFolder dir;
    const std::string binary_ = std::string(ZV_BIN_DIR) + "/zorvane";
};

TEST_F(ZorvaneCommand, RunsAProgramHeadlessWithItsTranscriptAndFrames) {
    source("hello.qxa", "print \"Hello\"\r\nfor i = 1 to 3\r\nprint i\r\nnext i\r\nend\r\n");
    ProcessResult r = zorvane(
        {"run", "hello.qxa", "--headless", "--frames", "100", "--console", "out.txt", "--dump-frames", "frames"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dir.read("out.txt"), "Hello\n1\n2\n3\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::filesystem::exists(dir.file("frames/frame-000001.png")));

    // Without --console the transcript is stdout.
    r = zorvane({"run", "hello.qxa", "--headless"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Hello\n1\n2\n3\n");
}

TEST_F(ZorvaneCommand, FramesEndAProgramThatRunsForever) {
    source("forever.qxa", "do\r\nloop\r\n");
    ProcessResult r = zorvane({"run", "forever.qxa", "--headless", "--frames", "30", "--dump-frames", "f"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("f/frame-000030.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("f/frame-000031.png")));
}

TEST_F(ZorvaneCommand, ScriptedInputReachesTheProgram) {
    source("keys.qxa", "input a$\r\nprint \"got \" + a$\r\nend\r\n");
    source("in.txt", "frame 3 text abc\nframe 9 key 28\nframe 9 char 13\n");
    ProcessResult r = zorvane({"run", "keys.qxa", "--headless", "--frames", "200", "--input", "in.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("got abc"), std::string::npos) << r.out;
}

TEST_F(ZorvaneCommand, CompileAndExec) {
    source("game.qxa", "print 6 * 7\r\n");
    ProcessResult r = zorvane({"compile", "game.qxa"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(std::filesystem::exists(dir.file("game.img")));
    r = zorvane({"compile", "game.qxa", "-o", "other.img"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = zorvane({"exec", "other.img", "--headless"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "42\n");
    r = zorvane({"compile", "game.qxa", "--list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("print an integer and end the line"), std::string::npos) << r.out;
}

TEST_F(ZorvaneCommand, ErrorsAndTheirExitCodes) {
    source("bad.qxa", "print 1\r\nprint (\r\n");
    source("crash.qxa", "dim a(3)\r\nprint \"before\"\r\na(9) = 1\r\n");
    dir.write("junk.img", "not an image at all");
    source("script.txt", "frame 1 fly away\n");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string inStderr;
    } cases[] = {
        {{"compile", "bad.qxa"}, 1, "bad.qxa:2: "},
        {{"run", "bad.qxa", "--headless"}, 1, "bad.qxa:2: "},
        {{"run", "crash.qxa", "--headless"}, 1, "Runtime Error : "},
        {{"run", "crash.qxa", "--headless"}, 1, "crash.qxa:3: Runtime Error : "},
        {{"exec", "junk.img", "--headless"}, 1, "cannot run junk.img"},
        {{"exec", "missing.img", "--headless"}, 1, "cannot read missing.img"},
        {{}, 2, "Usage: zorvane MODE"},
        {{"dance"}, 2, "unknown mode 'dance'"},
        {{"run"}, 2, "which program?"},
        {{"run", "crash.qxa", "--frames", "0"}, 2, "--frames needs"},
        {{"run", "crash.qxa", "--bogus"}, 2, "unknown option '--bogus'"},
        {{"run", "crash.qxa", "--input", "script.txt"}, 2, "script.txt:1: unknown event 'fly'"},
        {{"run", "crash.qxa", "--replay", "script.txt"}, 2, "not a zorvane recording"},
        {{"run", "crash.qxa", "--console", "nowhere/out.txt"}, 2, "no folder for"},
        {{"build", "crash.qxa"}, 2, "not available in this version yet"},
        {{"edit"}, 2, "not available in this version yet"},
        {{"help"}, 2, "not available in this version yet"},
    };
    for (const auto &c : cases) {
        ProcessResult r = zorvane(c.args);
        std::string shown = c.args.empty() ? "(none)" : c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(r.exitCode, c.exitCode) << shown << "\n" << r.err;
        EXPECT_NE(r.err.find(c.inStderr), std::string::npos) << shown << "\n" << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.img"))); // a failed compile writes nothing
    // What a program printed before it failed still reaches a piped stdout when the process ends.
    EXPECT_EQ(zorvane({"run", "crash.qxa", "--headless"}).out, "before\n");
}

TEST_F(ZorvaneCommand, HelpAndVersion) {
    for (const char *mode : {"run", "exec", "compile", "build", "edit", "help"}) {
        ProcessResult r = zorvane({mode, "--help"});
        EXPECT_EQ(r.exitCode, 0) << mode;
        EXPECT_NE(r.out.find(std::string("Usage: zorvane ") + mode), std::string::npos) << r.out;
    }
    ProcessResult r = zorvane({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("zorvane ", 0), 0u);
}

// A code no family handles ends the program silently, as the system defines; a development run
// still says on stderr where and why it stopped.
TEST_F(ZorvaneCommand, ACommandWithoutAHandlerIsNamedWhenTheProgramStops) {
    vm::assembly::Assembler a;
    using vm::assembly::intConst;
    a.line(1).op(305, {intConst(1)});
    a.line(2).op(156);
    a.line(3).op(305, {intConst(2)});
    const std::vector<uint8_t> image = a.build();
    dir.write("gap.img", std::string(image.begin(), image.end()));
    ProcessResult r = zorvane({"exec", "gap.img", "--headless"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1");
    EXPECT_NE(r.err.find("stopped at line 2: command code 156 is not available"), std::string::npos) << r.err;
}

TEST_F(ZorvaneCommand, RecordedRunsReplayExactly) {
    // The program prints the clock; a wall-clock run differs each time, its replay does not.
    source("clock.qxa", "for i = 1 to 5\r\nprint timer()\r\nnext i\r\nend\r\n");
    ProcessResult live = zorvane({"run", "clock.qxa", "--headless", "--realtime", "--record", "run.rec"});
    ASSERT_EQ(live.exitCode, 0) << live.err;
    ProcessResult replayed = zorvane({"run", "clock.qxa", "--headless", "--realtime", "--replay", "run.rec"});
    EXPECT_EQ(replayed.exitCode, 0) << replayed.err;
    EXPECT_EQ(replayed.out, live.out);
}

TEST_F(ZorvaneCommand, AStandaloneGameRunsItsAppendedProgram) {
    // A standalone game ignores recoverable errors: the division by zero leaves 0 and the game goes on.
    std::string src = source("game.qxa", "x = 1 / 0\r\nprint \"from the payload\"\r\nprint command line$()\r\nend\r\n");
    compiler::CompileResult compiled = compiler::compileFile(src);
    ASSERT_TRUE(compiled.ok) << compiled.message;
    builder::PayloadWriter writer;
    writer.addFile("_exefile.dat", compiled.image);
    writer.addFile("gfx\\Logo.BMP", {1, 2, 3});
    std::string game = dir.file("mygame");
    std::string why;
    ASSERT_TRUE(writer.write(binary_, game, &why)) << why;
    std::filesystem::permissions(game, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);

    // In a standalone game every argument belongs to the game: "run" is no mode here.
    ProcessResult r = zorvane({"run", "--headless"}, game);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "from the payload\nrun --headless\n");
    // The extracted program is deleted at shutdown.
    std::string temporary;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind("zorvane-", 0) == 0)
            temporary = entry.path();
    ASSERT_FALSE(temporary.empty());
    EXPECT_FALSE(std::filesystem::exists(temporary + "/_virtual.dat"));
}

TEST_F(ZorvaneCommand, AGameWithAnEmptyPayloadEndsAtOnce) {
    builder::PayloadWriter writer; // no program at all
    std::string game = dir.file("empty-game");
    std::string why;
    ASSERT_TRUE(writer.write(binary_, game, &why)) << why;
    std::filesystem::permissions(game, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    ProcessResult r = zorvane({}, game);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("Error In Program"), std::string::npos) << r.err; // no message box
    EXPECT_NE(r.err.find("no program"), std::string::npos) << r.err;
}

} // namespace
} // namespace host
