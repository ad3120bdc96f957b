// The display device: the card and mode in use, the primary surface, the back buffer everything is
// drawn into (bitmap 0), the depth buffer, the 3D device, and the frame cycle's display steps.
//
// Correctness rules:
//  1. Nothing outside the device keeps a pointer into a surface across a re-creation: re-creating
//     replaces every surface (listeners in onRelease drop what refers to them first).
//  2. A failed step releases what it made before returning and records the engine detail.
//  3. Presentation never fails loudly: a lost display skips frames until restoring succeeds.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/device_caps.h"
#include "display/surface.h"

namespace platform {
class Platform;
class GlDevice;
} // namespace platform

namespace vm {
struct Machine;
}

namespace display {

// A display adapter as the card list shows it.
struct Adapter {
    std::string description;
    bool hasIdentifier = false; // the primary adapter has none
    bool hardware = false;      // rasterises in hardware (a software rasteriser does not)
    bool has3d = false;         // a 3D device can be made on it
    uint64_t textureMemory = 0;
    uint64_t offscreenMemory = 0;
    bool anisotropicFiltering = false;
    bool compressedTextures = false;
};

struct DisplayMode {
    int width = 0;
    int height = 0;
    int depth = 0;
    bool operator==(const DisplayMode &) const = default;
};

// The 3D device kinds, in the order they are tried.
enum class DeviceKind { None, TnL, Hal, Rgb, Mmx, Other };
const char *deviceLabel(DeviceKind kind); // "T&L", "HAL", "RGB", "MMX", "OTHER", "" for None

// The window layout: full screen or a framed window.
struct WindowLayout {
    bool windowMode = false;
    bool borderPainting = true;
    std::string title = "Zorvane";
    int showCommand = 10;
    int x = 0, y = 0;
    int width = 0, height = 0;
    int border = 0, caption = 0;
    bool framedStyle = false; // overlapped window (caption, system menu, thick frame, boxes)
    bool captionStyle = false;
    bool icon = true;
    bool systemCursorShown = false;

    // The outer rectangle of the window on the desktop: the client area (x, y, width, height)
    // grown by the frame and the caption.
    struct Rect {
        int x, y, width, height;
        bool operator==(const Rect &) const = default;
    };
    Rect outer() const { return {x - border / 2, y - caption - border / 2, width + border, height + border + caption}; }
};

// What the display takes from the system around it. Everything has a working default, so a test
// can make a device with only the fields it cares about.
struct DisplayEnvironment {
    platform::Platform *platform = nullptr;
    bool windowMode = false;   // WINDOWMODE: not exclusive, the picture centred in a screen-sized window
    bool blitFlipMode = false; // BLITFLIPMODE: never a flip chain
    bool traceMode = false;
    bool want3d = true;   // look for a GL device
    bool headless = true; // prefer SDL's offscreen driver for the GL device
    // When not empty these replace what the machine really has (tests, and the headless fixed list).
    std::vector<Adapter> adapters;
    std::vector<DisplayMode> modes;
    // The remembered state (BEST3DCARD, BEST3DDEPTH); empty functions remember nothing.
    std::function<std::string(const std::string &key, const std::string &fallback)> readState;
    std::function<void(const std::string &key, const std::string &value)> writeState;
    // Writes an engine failure text to the log (DEBUGMODE); empty: not logged.
    std::function<void(const std::string &text)> logEngineError;
    // Handles window messages while a start-up screen waits; returns the character typed (0 none),
    // and sets `clicked` on a mouse click; it may return 0 with nothing happened, so that the
    // screen is presented again. Empty: nothing is ever typed, waits end at once.
    std::function<int(bool &clicked)> pumpMessages;
};

// Where frame steps of other families plug in, in the order the frame cycle runs them.
enum class FrameStep {
    UpdatePointer,            // pre-frame
    RestoreSpriteBackgrounds, //
    Backdrop,                 //
    Render3D,                 // skipped when 3D is drawn after 2D
    DrawQueue,                //
    DeferredDeletions,        // post-frame
    Animations,               //
    SaveSpriteBackgrounds,    //
    Render3DAfter2D,          // only when 3D is drawn after 2D
    DrawSprites,              //
    SoundUpdate,              //
    Animate3D,                //
    ScreenSave,               // after presentation
    Count
};

class DisplayDevice {
  public:
    explicit DisplayDevice(DisplayEnvironment env);
    ~DisplayDevice();

    // --- start-up and shutdown -------------------------------------------------------------------
    // Card choice, display object, mode 640 x 480 x 3D depth, surfaces and 3D device, clear and
    // present twice. 0, or the system error 10003, 10004 or 10005 (engine detail recorded).
    int createAtStartUp();
    void release();

    // --- re-creation (mode, card, device kind, window state) ---------------------------------------
    // Rebuilds the display at w x h x d; on failure falls back to the previous mode and raises 1503
    // or 1504 (warnings) or 10003 on `m`. Returns true when the new mode is in use.
    bool recreate(vm::Machine &m, int width, int height, int depth);

    // --- frame cycle -----------------------------------------------------------------------------
    void preFrame(vm::Machine &m);
    void postFrame(vm::Machine &m);
    // Shows the back buffer (flip or copy), counts the frame.
    void present();
    // The presented picture as 0x00RRGGBB, gamma applied, fitted into an out x outHeight frame
    // with the aspect kept (centred with black borders in a screen-sized window).
    void composeFrame(uint32_t *out, int outWidth, int outHeight) const;
    void clearBackBuffer();
    void clearDepthBuffer();
    bool restoreSurfaces();
    void setActive(bool active);

    void addFrameStep(FrameStep step, std::function<void()> fn);
    std::vector<std::function<void()>> onRelease;   // surfaces are about to go (bitmaps, images, queue)
    std::vector<std::function<void()>> onRecreated; // new surfaces exist (reload art, textures)

    // --- modes, cards, gamma ---------------------------------------------------------------------
    std::vector<DisplayMode> modes() const; // every offered mode with more than 15 bits per pixel
    bool modeOffered(const DisplayMode &mode) const;
    const std::vector<Adapter> &adapters() const { return adapters_; }
    // Sets the ramps from channel values 0 to 511 (checked by the caller).
    void setGamma(int red, int green, int blue);
    const std::array<uint16_t, 256> &gammaRamp(int channel) const { return gamma_[channel]; }
    void recordEngineError(const std::string &text);

    // --- the window ------------------------------------------------------------------------------
    WindowLayout &layout() { return layout_; }
    void applyLayout(bool titleOnly = false);
    void setFullScreenLayout();
    void setFramedLayout();

    // --- state read by the command families --------------------------------------------------------
    Surface &backBuffer() { return *back_; }
    const Surface &backBuffer() const { return *back_; }
    const Surface &primarySurface() const { return *primary_; }
    // Empty until something draws into it: most programs never draw in 3D, and filling a
    // screen-sized buffer at every start costs more than an empty program's whole run.
    const std::vector<float> &depthBuffer() const { return depth_; }
    // The depth buffer to draw into (made at the screen's size on first use, every value 1.0);
    // the next clear then fills it again.
    std::vector<float> &depthBufferToDraw() {
        const size_t size = size_t(screenWidth) * size_t(screenHeight);
        if (depth_.size() != size && !back_->empty())
            depth_.assign(size, 1.0f);
        depthClear_ = false;
        return depth_;
    }
    PixelLayout pixelLayout() const { return back_->layout; }
    const DeviceCaps &caps() const { return caps_; }

    vm::Machine *machine = nullptr; // receives the engine detail with every recorded failure
    bool created = false;           // the display object exists
    bool exclusive = true;
    bool flipChain = false;
    bool systemMemory = true;
    bool emulation = false;
    bool tnlAllowed = true;
    bool active = true;
    bool screenInvalid = false;
    bool gammaSupported = false;
    bool draw3dAfter2d = false;
    int screenWidth = 640, screenHeight = 480;
    int requestedWidth = 640, requestedHeight = 480, requestedDepth = 16;
    int depth3d = 16;
    int page = 0;
    int replayCount = 1;
    DeviceKind kind = DeviceKind::None;
    bool hardwareDevice = false;
    std::string cardName;
    std::string chosenCard;
    std::string engineDetail;
    int framesPerSecond = 0;
    int frameCounter = 0;
    uint32_t lastSampleTime = 0;
    int lastSampleCount = 0;
    uint32_t lastFrameTime = 0;
    uint32_t backgroundColour = 0;              // 0xRRGGBB, set by the drawing commands
    int presentOriginX = 0, presentOriginY = 0; // top-left of the picture in the client area
    // Whether presented pictures are looked at (shown, or saved as frames). When not, presentation
    // leaves the primary surface to be brought up to date when something reads it.
    bool primaryShown = true;
    // Copies into the primary surface what presentations left for later; before reading it.
    void bringPrimaryUpToDate();
    int adapterInUse = 0;

    // Card choice screens (start-up window): which one is shown and the probe's results.
    enum class StartScreen { None, Choice, Capabilities };
    StartScreen screenShown = StartScreen::None;
    struct ProbeResults {
        bool supported3d = false;
        int depthFound = 16;
        bool alphaBlending = false, textureFiltering = false, fogging = false;
    } probe;
    // The texts the shown start screen draws, top to bottom (what the start-up window paints).
    std::vector<std::string> startScreenLines() const;

    // Internal steps, public for the card choice and the tests.
    bool createDisplayObject(bool forcePrimary);
    bool setMode(int width, int height, int depth);
    bool createSurfaces();
    void releaseSurfaces();
    uint32_t millis() const;
    const DisplayEnvironment &environment() const { return env_; }

  private:
    bool create3dDevice();
    void runSteps(FrameStep step);

    DisplayEnvironment env_;
    std::vector<Adapter> adapters_;
    std::shared_ptr<platform::GlDevice> gl_;
    std::unique_ptr<Surface> primary_;
    bool primaryStale_ = false; // presentations skipped the copy; back_ marks the rows to copy
    std::unique_ptr<Surface> back_;
    // The pixels of the last released surfaces, freed when new surfaces are made or the device goes.
    // At the end of a run the process ends first and the system takes them back with everything
    // else, instead of two unmappings of a tenth of a millisecond each.
    std::array<PixelBytes, 2> releasedPixels_;
    std::vector<float> depth_;
    bool depthClear_ = false; // every depth value is 1.0: clearing has nothing to do
    DeviceCaps caps_;
    std::array<std::array<uint16_t, 256>, 3> gamma_{};
    WindowLayout layout_;
    std::array<std::vector<std::function<void()>>, size_t(FrameStep::Count)> steps_;

    // What the last composeFrame wrote and from what: a frame whose inputs are all unchanged
    // leaves the output as it is (a headless run composes a frame every slice of a few ms).
    struct ComposedFrame {
        const uint32_t *out = nullptr;
        int outWidth = 0, outHeight = 0;
        int width = 0, height = 0, pitch = 0;
        PixelLayout layout;
        bool centred = false;
        std::array<std::array<uint16_t, 256>, 3> gamma{};
        PixelBytes pixels;
    };
    mutable ComposedFrame composed_;
};

// True once any display object was made in this process (it stays true).
bool displayObjectEverMade();

// The standard modes every display offers (the headless display offers exactly these).
const std::vector<DisplayMode> &standardModes();

} // namespace display
