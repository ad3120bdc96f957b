// Which libraries the zorvane command loads, seen through the dynamic loader's own report: a run
// without a window never loads SDL once the GL device's description is remembered, and a run with a
// window loads it when the window opens and works.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/process.h"
#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

TEST(StartupLibraries, SdlIsLoadedOnlyByRunsThatOpenAWindow) {
    const std::string binary = std::string(ZV_BIN_DIR) + "/zorvane";
    if (!std::filesystem::exists(binary))
        GTEST_SKIP() << binary << " is not built (build the zorvane target)";
    testing::TempFolder dir;
    dir.write("empty.qxa", "");
    dir.write("forever.qxa", "do\r\nloop\r\n");
    struct Case {
        std::vector<std::string> arguments;
        const char *videoDriver;      // SDL's dummy driver stands in for a display
        std::optional<bool> loadsSdl; // unset: either
    };
    const Case cases[] = {
        {{"--version"}, "", false},
        // The first headless run on a machine makes a GL context to learn the device's description.
        {{"run", "empty.qxa", "--headless"}, "", std::nullopt},
        {{"run", "empty.qxa", "--headless"}, "", false},
        {{"run", "forever.qxa", "--frames", "3"}, "dummy", true},
    };
    for (const Case &c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), binary);
        SCOPED_TRACE(arguments[1] + (arguments.size() > 2 ? " " + arguments[2] : ""));
        ProcessResult r =
            runProcess(arguments, dir.path(),
                       {"LD_DEBUG=files", "SDL_VIDEODRIVER=" + std::string(c.videoDriver), "SDL_NO_SIGNAL_HANDLERS=1",
                        "DISPLAY=", "WAYLAND_DISPLAY=", "XDG_CONFIG_HOME=" + dir.file("config"),
                        "XDG_CACHE_HOME=" + dir.file("cache"),
                        // Under the sanitizers, the GL driver's lifelong allocations are not this test's subject.
                        "ASAN_OPTIONS=detect_leaks=0"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        if (c.loadsSdl)
            EXPECT_EQ(r.err.find("file=libSDL2") != std::string::npos, *c.loadsSdl) << r.err;
        EXPECT_EQ(r.err.find("running headless"), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace platform
