// SDL reached through its table: loaded from the library file the process already uses, and, when the
// library or one of its functions is missing, a message naming both instead of a crash, from every
// user of the table.
#include "platform/sdl/sdl_api.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/gl_device.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_controllers.h"

namespace platform::sdl {
namespace {

constexpr const char *kMissingLibrary = "libzv-no-such-sdl.so.0";

void expectMentions(const std::string &text, const std::vector<std::string> &parts) {
    for (const auto &part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << "\"" << part << "\" is not in: " << text;
}

TEST(SdlApi, TableReachesTheSameSdlTheProcessUses) {
    SdlApi api;
    std::string error;
    ASSERT_TRUE(loadSdlApi(kSdlLibrary, api, error)) << error;
    // State set by a direct call is seen through the table: events and virtual devices that tests
    // make themselves reach the back end.
    SDL_SetError("set directly");
    EXPECT_STREQ(api.GetError(), "set directly");
}

TEST(SdlApi, MissingLibraryOrFunctionIsNamedWithTheLoadersReason) {
    struct Case {
        const char *library;
        std::vector<std::string> mentions;
    };
    const Case cases[] = {
        {kMissingLibrary, {"cannot load the SDL library libzv-no-such-sdl.so.0: ", "cannot open shared object file"}},
        // A library that loads but is not SDL: the first function looked up is missing.
        {"libm.so.6", {"the SDL library libm.so.6 has no SDL_ClearError: ", "undefined symbol"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.library);
        SdlApi api;
        std::string error;
        EXPECT_FALSE(loadSdlApi(c.library, api, error));
        expectMentions(error, c.mentions);
        EXPECT_EQ(api.ClearError, nullptr); // nothing half-filled
    }
}

// The process's table named after a library that does not exist, as on a machine without SDL.
class WithoutSdl : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *driver = std::getenv("SDL_VIDEODRIVER");
        savedDriver_ = driver ? driver : "";
        setenv("SDL_VIDEODRIVER", "dummy", 1); // a window is asked for even without a display
        useSdlLibrary(kMissingLibrary);
    }
    void TearDown() override {
        useSdlLibrary(kSdlLibrary);
        setenv("SDL_VIDEODRIVER", savedDriver_.c_str(), 1);
    }
    std::string savedDriver_;
};

TEST_F(WithoutSdl, WindowFailsWithTheLibrarysNameAndTheRunContinuesHeadless) {
    PlatformOptions options;
    std::string error;
    EXPECT_EQ(createSdlBackend(options, error), nullptr);
    expectMentions(error, {"cannot start the display: cannot load the SDL library libzv-no-such-sdl.so.0"});

    ::testing::internal::CaptureStderr();
    auto platform = createPlatform(options, error);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(platform) << error;
    EXPECT_EQ(platform->backendName(), "headless");
    expectMentions(said, {"libzv-no-such-sdl.so.0", "running headless"});
}

TEST_F(WithoutSdl, ControllersListNothing) {
    auto controllers = createSdlControllers();
    controllers->update();
    EXPECT_TRUE(controllers->attached().empty());
    ControllerReading reading;
    EXPECT_FALSE(controllers->read(0, reading));
}

TEST_F(WithoutSdl, GlDeviceFailsWithTheLibrarysName) {
    // The device is tried once per process, so the attempt runs in a fresh child.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::string error;
            auto device = acquireGlDevice(false, error);
            std::fprintf(stderr, "%s\n", error.c_str());
            std::_Exit(device ? 1 : 0);
        },
        ::testing::ExitedWithCode(0),
        "no video driver for the 3D device: cannot load the SDL library libzv-no-such-sdl\\.so\\.0");
}

} // namespace
} // namespace platform::sdl
