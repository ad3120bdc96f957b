// SDL's functions, reached through a table filled when the window, the GL device or the controllers
// are first needed. SDL is not linked: loading it, and the fifty libraries it brings, costs a run
// that never opens a window more than everything else it does before its first instruction. SDL's
// own headers still describe the types and constants.
#pragma once

#include <SDL.h>

#include <string>

namespace platform::sdl {

// Every SDL function the back end, the GL device and the controllers call, without the `SDL_`
// prefix: the table's member `CreateWindow` is `SDL_CreateWindow`.
#define ZV_SDL_FUNCTIONS(X)                                                                                            \
    X(ClearError)                                                                                                      \
    X(GetError)                                                                                                        \
    X(SetHint)                                                                                                         \
    X(InitSubSystem)                                                                                                   \
    X(QuitSubSystem)                                                                                                   \
    X(WasInit)                                                                                                         \
    X(free)                                                                                                            \
    X(GetCurrentVideoDriver)                                                                                           \
    X(GetNumDisplayModes)                                                                                              \
    X(GetDisplayMode)                                                                                                  \
    X(CreateWindow)                                                                                                    \
    X(DestroyWindow)                                                                                                   \
    X(SetWindowTitle)                                                                                                  \
    X(SetWindowGrab)                                                                                                   \
    X(WarpMouseInWindow)                                                                                               \
    X(ShowCursor)                                                                                                      \
    X(ShowSimpleMessageBox)                                                                                            \
    X(CreateRenderer)                                                                                                  \
    X(DestroyRenderer)                                                                                                 \
    X(RenderSetLogicalSize)                                                                                            \
    X(RenderLogicalToWindow)                                                                                           \
    X(SetRenderDrawColor)                                                                                              \
    X(RenderClear)                                                                                                     \
    X(RenderCopy)                                                                                                      \
    X(RenderPresent)                                                                                                   \
    X(CreateTexture)                                                                                                   \
    X(DestroyTexture)                                                                                                  \
    X(UpdateTexture)                                                                                                   \
    X(PollEvent)                                                                                                       \
    X(StartTextInput)                                                                                                  \
    X(SetClipboardText)                                                                                                \
    X(GetClipboardText)                                                                                                \
    X(GL_SetAttribute)                                                                                                 \
    X(GL_CreateContext)                                                                                                \
    X(GL_MakeCurrent)                                                                                                  \
    X(GL_GetProcAddress)                                                                                               \
    X(NumJoysticks)                                                                                                    \
    X(JoystickUpdate)                                                                                                  \
    X(JoystickGetDeviceInstanceID)                                                                                     \
    X(JoystickOpen)                                                                                                    \
    X(JoystickClose)                                                                                                   \
    X(JoystickGetAttached)                                                                                             \
    X(JoystickName)                                                                                                    \
    X(JoystickNumAxes)                                                                                                 \
    X(JoystickNumHats)                                                                                                 \
    X(JoystickNumButtons)                                                                                              \
    X(JoystickGetAxis)                                                                                                 \
    X(JoystickGetHat)                                                                                                  \
    X(JoystickGetButton)                                                                                               \
    X(JoystickIsHaptic)                                                                                                \
    X(JoystickHasRumble)                                                                                               \
    X(JoystickRumble)                                                                                                  \
    X(HapticOpenFromJoystick)                                                                                          \
    X(HapticClose)                                                                                                     \
    X(HapticQuery)                                                                                                     \
    X(HapticNewEffect)                                                                                                 \
    X(HapticUpdateEffect)                                                                                              \
    X(HapticRunEffect)                                                                                                 \
    X(HapticStopEffect)                                                                                                \
    X(HapticDestroyEffect)                                                                                             \
    X(HapticSetAutocenter)

struct SdlApi {
#define ZV_SDL_MEMBER(name) decltype(&::SDL_##name) name = nullptr;
    ZV_SDL_FUNCTIONS(ZV_SDL_MEMBER)
#undef ZV_SDL_MEMBER
};

// The library file SDL is loaded from, searched like a linked library.
inline constexpr const char *kSdlLibrary = "libSDL2-2.0.so.0";

// Fills `api` from the library file `libraryName`. False, with a message naming the library (and
// the function, when one is missing) and the loader's reason, when either cannot be found.
bool loadSdlApi(const char *libraryName, SdlApi &api, std::string &error);

// The process's table, loaded on the first call and kept for the life of the process; nullptr with
// the reason in `error` when SDL cannot be loaded. Safe to call from any thread.
const SdlApi *sdlApi(std::string &error);

// The process's table when it is already loaded, nullptr otherwise: for questions such as "is video
// started?" that must not load SDL to be answered.
const SdlApi *loadedSdlApi();

// Names the library file the process's table comes from from now on (tests name one that does not
// exist). Tables already handed out stay valid.
void useSdlLibrary(const std::string &libraryName);

} // namespace platform::sdl
