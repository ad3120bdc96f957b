#include "platform/sdl/scancodes.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <set>

namespace platform::sdl {
namespace {

TEST(ScanCodes, SdlKeysMapToTheSystemScanCodes) {
    struct Case {
        SDL_Scancode sdl;
        int system;
    } cases[] = {
        {SDL_SCANCODE_ESCAPE, 1},   {SDL_SCANCODE_1, 2},        {SDL_SCANCODE_0, 11},      {SDL_SCANCODE_Q, 16},
        {SDL_SCANCODE_P, 25},       {SDL_SCANCODE_RETURN, 28},  {SDL_SCANCODE_LCTRL, 29},  {SDL_SCANCODE_A, 30},
        {SDL_SCANCODE_L, 38},       {SDL_SCANCODE_LSHIFT, 42},  {SDL_SCANCODE_Z, 44},      {SDL_SCANCODE_M, 50},
        {SDL_SCANCODE_RSHIFT, 54},  {SDL_SCANCODE_SPACE, 57},   {SDL_SCANCODE_F1, 59},     {SDL_SCANCODE_F10, 68},
        {SDL_SCANCODE_KP_0, 82},    {SDL_SCANCODE_F11, 87},     {SDL_SCANCODE_F12, 88},    {SDL_SCANCODE_KP_ENTER, 156},
        {SDL_SCANCODE_RCTRL, 157},  {SDL_SCANCODE_RALT, 184},   {SDL_SCANCODE_HOME, 199},  {SDL_SCANCODE_UP, 200},
        {SDL_SCANCODE_PAGEUP, 201}, {SDL_SCANCODE_LEFT, 203},   {SDL_SCANCODE_RIGHT, 205}, {SDL_SCANCODE_END, 207},
        {SDL_SCANCODE_DOWN, 208},   {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_UNKNOWN, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(systemScanCode(c.sdl), c.system) << SDL_GetScancodeName(c.sdl);
    EXPECT_EQ(systemScanCode(-1), 0);
    EXPECT_EQ(systemScanCode(SDL_NUM_SCANCODES), 0);
}

TEST(ScanCodes, EveryLetterAndDigitHasItsOwnCode) {
    std::set<int> seen;
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_0; ++s) {
        int code = systemScanCode(s);
        EXPECT_GT(code, 0) << SDL_GetScancodeName(SDL_Scancode(s));
        EXPECT_TRUE(seen.insert(code).second) << SDL_GetScancodeName(SDL_Scancode(s));
    }
}

} // namespace
} // namespace platform::sdl
