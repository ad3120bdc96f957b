// The SDL back-end on SDL's dummy driver (no display needed): injected events, key state, clipboard.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

TEST(SdlBackend, InjectedKeysAndTextBecomeSystemEventsAndKeyState) {
    // The dummy driver: a window and a software renderer without GL (whose driver leaks at exit).
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    PlatformOptions options;
    std::string error;
    auto p = createPlatform(options, error);
    ASSERT_TRUE(p) << error;
    if (p->backendName() != "sdl")
        GTEST_SKIP() << "no SDL video driver here: " << error;

    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.scancode = SDL_SCANCODE_UP;
    SDL_PushEvent(&e);
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    e.key.keysym.sym = SDLK_RETURN;
    SDL_PushEvent(&e);
    SDL_Event t{};
    t.type = SDL_TEXTINPUT;
    std::snprintf(t.text.text, sizeof t.text.text, "a\xC3\xA9\xE2\x82\xAC"); // a, e-acute, euro sign
    SDL_PushEvent(&t);

    std::vector<std::pair<EventType, int>> got;
    Event ev;
    while (p->pollEvent(ev))
        if (ev.type == EventType::KeyDown || ev.type == EventType::Character)
            got.emplace_back(ev.type, ev.a);
    std::vector<std::pair<EventType, int>> expected = {
        {EventType::KeyDown, kScanUp}, {EventType::KeyDown, kScanReturn}, {EventType::Character, 13},
        {EventType::Character, 'a'},   {EventType::Character, 0xE9}, // the euro sign has no 8-bit character
    };
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(p->keyDown(kScanUp)); // SDL's own state array would say no for injected keys

    EXPECT_TRUE(p->setClipboardText("copied"));
    EXPECT_EQ(p->clipboardText(), "copied");
    std::vector<uint32_t> frame(kScreenWidth * kScreenHeight, 0x00FF8000);
    p->present(frame.data());
    EXPECT_EQ(p->framesPresented(), 1u);
}

} // namespace
} // namespace platform
