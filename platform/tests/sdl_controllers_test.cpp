// SDL game controllers, with an SDL virtual joystick standing in for a device: listed, read,
// rumbled through its force-feedback effects, and unplugged.
#include "platform/sdl/sdl_controllers.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace platform::sdl {
namespace {

struct RumbleSeen {
    int calls = 0;
    Uint16 low = 0, high = 0;
};

int onRumble(void *userdata, Uint16 low, Uint16 high) {
    auto *seen = static_cast<RumbleSeen *>(userdata);
    ++seen->calls;
    seen->low = low;
    seen->high = high;
    return 0;
}

TEST(SdlControllers, VirtualJoystickIsListedReadRumbledAndUnplugged) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    RumbleSeen seen;
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 6;
    desc.nbuttons = 32;
    desc.nhats = 1;
    desc.name = "Test Pad";
    desc.Rumble = onRumble;
    desc.userdata = &seen;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index, 0) << SDL_GetError();

    auto controllers = createSdlControllers();
    auto list = controllers->attached();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "Test Pad");
    EXPECT_TRUE(list[0].forceFeedback) << "rumble motors count as force feedback";
    const int id = list[0].id;

    SDL_Joystick *joystick = SDL_JoystickFromInstanceID(id);
    ASSERT_NE(joystick, nullptr);
    SDL_JoystickSetVirtualAxis(joystick, 0, 32767);
    SDL_JoystickSetVirtualAxis(joystick, 1, -32768);
    SDL_JoystickSetVirtualButton(joystick, 3, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(joystick, 0, SDL_HAT_LEFTUP);
    controllers->update();
    ControllerReading reading;
    ASSERT_TRUE(controllers->read(id, reading));
    EXPECT_EQ(reading.axes[0], 32767);
    EXPECT_EQ(reading.axes[1], -32768);
    EXPECT_TRUE(reading.buttons[3]);
    EXPECT_FALSE(reading.buttons[2]);
    EXPECT_EQ(reading.hats[0], 31500);
    EXPECT_EQ(reading.hats[1], kHatCentred) << "hats the device lacks read centred";

    EXPECT_EQ(controllers->periodicKinds(id), std::vector<ForceKind>{ForceKind::Sine});
    ForceEffect push;
    push.magnitude = 5000;
    push.durationMicros = 200000;
    const int handle = controllers->createEffect(id, push);
    ASSERT_GE(handle, 0);
    ASSERT_TRUE(controllers->startEffect(id, handle));
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.low, 32767);
    EXPECT_EQ(seen.high, 32767);
    push.magnitude = 10000;
    EXPECT_EQ(controllers->changeEffect(id, handle, push), EffectChange::Changed);
    ASSERT_TRUE(controllers->startEffect(id, handle));
    EXPECT_EQ(seen.low, 65535);
    controllers->stopEffect(id, handle);
    EXPECT_EQ(seen.low, 0);
    ForceEffect damper;
    damper.kind = ForceKind::Damper;
    EXPECT_EQ(controllers->createEffect(id, damper), -1) << "rumble motors cannot resist movement";

    ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0) << SDL_GetError();
    controllers->update();
    controllers->update();
    EXPECT_FALSE(controllers->read(id, reading));
    EXPECT_TRUE(controllers->attached().empty());
    EXPECT_EQ(controllers->createEffect(id, push), -1);
    controllers.reset();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

} // namespace
} // namespace platform::sdl
