// Creating, re-creating and releasing the display: card, mode, surfaces and the 3D device.
#include "display/display_device.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>

#include "display/card_choice.h"
#include "platform/gl_device.h"
#include "platform/platform.h"
#include "vm/machine.h"

namespace display {
namespace {

std::atomic<bool> displayObjectMade{false};

// Larger pictures than this would take gigabytes; no display offers them.
constexpr int kMaxSurfaceSide = 8192;

constexpr const char *kPrimaryDriver = "Primary Display Driver";
constexpr int kSystemErrorDisplayObject = 10003;
constexpr int kSystemErrorDisplayMode = 10004;
constexpr int kSystemErrorSurfaces = 10005;
constexpr int kWarningModeRefused = 1503;
constexpr int kWarningSurfacesFailed = 1504;

// Describes the machine's one adapter from the GL device, or a 2D-only adapter without one.
std::vector<Adapter> realAdapters(const std::shared_ptr<platform::GlDevice> &gl) {
    Adapter a;
    if (gl) {
        const auto &info = gl->info();
        a.description = info.renderer.empty() ? kPrimaryDriver : info.renderer;
        a.hardware = !info.software;
        a.has3d = true;
        a.textureMemory = info.textureMemory;
        a.offscreenMemory = info.offscreenMemory;
        a.anisotropicFiltering = info.anisotropicFiltering;
        a.compressedTextures = info.compressedTextures;
    } else {
        a.description = kPrimaryDriver;
    }
    return {a};
}

} // namespace

bool displayObjectEverMade() {
    return displayObjectMade.load();
}

const char *deviceLabel(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::TnL:
        return "T&L";
    case DeviceKind::Hal:
        return "HAL";
    case DeviceKind::Rgb:
        return "RGB";
    case DeviceKind::Mmx:
        return "MMX";
    case DeviceKind::Other:
        return "OTHER";
    default:
        return "";
    }
}

const std::vector<DisplayMode> &standardModes() {
    static const std::vector<DisplayMode> modes = [] {
        std::vector<DisplayMode> list;
        const int sizes[][2] = {{320, 200}, {320, 240},  {400, 300},  {512, 384},  {640, 400},   {640, 480},
                                {800, 600}, {1024, 768}, {1152, 864}, {1280, 960}, {1280, 1024}, {1600, 1200}};
        for (int depth : {16, 24, 32})
            for (const auto &s : sizes)
                list.push_back({s[0], s[1], depth});
        return list;
    }();
    return modes;
}

DisplayDevice::DisplayDevice(DisplayEnvironment env)
    : env_(std::move(env)), primary_(std::make_unique<Surface>()), back_(std::make_unique<Surface>()) {
    if (env_.want3d && env_.adapters.empty()) {
        std::string why;
        gl_ = platform::acquireGlDevice(env_.headless, why);
        if (!gl_)
            recordEngineError(why);
    }
    adapters_ = env_.adapters.empty() ? realAdapters(gl_) : env_.adapters;
    setGamma(256, 256, 256);
    exclusive = !env_.windowMode;
    layout_.width = platform::kScreenWidth;
    layout_.height = platform::kScreenHeight;
}

DisplayDevice::~DisplayDevice() = default;

uint32_t DisplayDevice::millis() const {
    return env_.platform ? env_.platform->millis() : 0;
}

void DisplayDevice::recordEngineError(const std::string &text) {
    engineDetail = text.substr(0, 255);
    if (machine)
        machine->engineDetail = engineDetail;
    if (env_.logEngineError)
        env_.logEngineError(engineDetail);
}

std::vector<DisplayMode> DisplayDevice::modes() const {
    std::vector<DisplayMode> list = env_.modes.empty() ? standardModes() : env_.modes;
    if (env_.modes.empty()) {
        for (const auto &real : platform::realDisplayModes())
            list.push_back({real.width, real.height, real.depth});
    }
    std::vector<DisplayMode> out;
    for (const auto &mode : list) {
        if (mode.depth <= 15 || mode.width <= 0 || mode.height <= 0)
            continue;
        if (std::find(out.begin(), out.end(), mode) == out.end())
            out.push_back(mode);
    }
    std::stable_sort(out.begin(), out.end(), [](const DisplayMode &a, const DisplayMode &b) {
        if (a.depth != b.depth)
            return a.depth < b.depth;
        if (a.width != b.width)
            return a.width < b.width;
        return a.height < b.height;
    });
    return out;
}

bool DisplayDevice::modeOffered(const DisplayMode &mode) const {
    const auto list = modes();
    return std::find(list.begin(), list.end(), mode) != list.end();
}

int DisplayDevice::createAtStartUp() {
    runCardChoice(*this);
    exclusive = !env_.windowMode;
    requestedWidth = 640;
    requestedHeight = 480;
    requestedDepth = depth3d;
    if (!createDisplayObject(false))
        return kSystemErrorDisplayObject;
    if (env_.windowMode) {
        screenWidth = requestedWidth;
        screenHeight = requestedHeight;
    } else if (!setMode(requestedWidth, requestedHeight, requestedDepth)) {
        return kSystemErrorDisplayMode;
    }
    if (!createSurfaces())
        return kSystemErrorSurfaces;
    for (int k = 0; k < 2; ++k) {
        clearBackBuffer();
        present();
    }
    return 0;
}

bool DisplayDevice::createDisplayObject(bool forcePrimary) {
    primary_->reset(0, 0, 16);
    back_->reset(0, 0, 16);
    depth_.clear();
    depthClear_ = true;
    adapterInUse = 0;
    cardName = kPrimaryDriver;
    if (adapters_.empty()) {
        recordEngineError("Failed to create DirectDraw Interface");
        return false;
    }
    if (exclusive && !emulation && !forcePrimary && chosenCard != kPrimaryDriver) {
        for (size_t k = 0; k < adapters_.size(); ++k) {
            const Adapter &a = adapters_[k];
            bool match = chosenCard.empty() ? a.hasIdentifier : a.description == chosenCard;
            if (env_.traceMode && env_.platform)
                env_.platform->waitUntil(env_.platform->millis() + 100);
            if (match) {
                adapterInUse = static_cast<int>(k);
                cardName = a.description;
                break;
            }
        }
    }
    created = true;
    displayObjectMade.store(true);
    return true;
}

bool DisplayDevice::setMode(int width, int height, int depth) {
    if (layout_.windowMode) {
        layout_.width = width;
        layout_.height = height;
    }
    // A window takes any picture size up to the largest a surface may have; full screen only the
    // modes the display offers.
    const bool fits = width > 0 && height > 0 && width <= kMaxSurfaceSide && height <= kMaxSurfaceSide;
    if (!exclusive && fits) {
        screenWidth = width;
        screenHeight = height;
        return true;
    }
    if (!exclusive || (depth != 16 && depth != 24 && depth != 32) || !modeOffered({width, height, depth})) {
        char text[160];
        std::snprintf(text, sizeof text, "Could not set a display mode of %dx%dx%d", width, height, depth);
        recordEngineError(text);
        return false;
    }
    screenWidth = width;
    screenHeight = height;
    layout_.width = width;
    layout_.height = height;
    return true;
}

bool DisplayDevice::createSurfaces() {
    const Adapter &adapter = adapters_[size_t(adapterInUse)];
    const int bitsPerPixel = requestedDepth == 24 || requestedDepth == 32 ? requestedDepth : 16;
    const uint64_t needed =
        uint64_t(uint32_t(screenWidth)) * uint64_t(uint32_t(screenHeight)) * uint64_t(bitsPerPixel / 8) * 3;
    // A software rasteriser has no video memory: its buffers are system memory.
    systemMemory = !adapter.hardware || adapter.textureMemory < needed || emulation;
    flipChain = !env_.blitFlipMode && exclusive && !systemMemory;
    releasedPixels_ = {};
    try {
        primary_->reset(screenWidth, screenHeight, bitsPerPixel);
        back_->reset(screenWidth, screenHeight, bitsPerPixel);
        depth_.clear(); // made on first use (depthBufferToDraw)
        depthClear_ = true;
    } catch (const std::bad_alloc &) {
        releaseSurfaces();
        recordEngineError(systemMemory ? "Failed to create a BackBuffer in system memory"
                                       : "Failed to create a Primary Surface for unknown reason");
        return false;
    }
    gammaSupported = true;
    primary_->setBlackKey();
    back_->setBlackKey();
    replayCount = flipChain ? 2 : 1;
    page = 0;
    if (!create3dDevice()) {
        releaseSurfaces();
        return false;
    }
    return true;
}

bool DisplayDevice::create3dDevice() {
    kind = DeviceKind::None;
    hardwareDevice = false;
    caps_ = DeviceCaps{};
    const Adapter &adapter = adapters_[size_t(adapterInUse)];
    // Without a 3D context the display runs 2D only: the 3D device is absent, which is no failure.
    if (!adapter.has3d)
        return true;
    // Status per attempt: two reserved places, then T&L, HAL, RGB, MMX.
    char status[7] = "......";
    const bool hardwareReady = adapter.hardware && !systemMemory;
    auto attempt = [&](int place, bool occurs, bool skip, bool works, DeviceKind k) {
        if (kind != DeviceKind::None || !occurs)
            return;
        if (skip) {
            if (place >= 0)
                status[place] = '2';
            return;
        }
        if (place >= 0)
            status[place] = works ? '1' : '0';
        if (works)
            kind = k;
    };
    attempt(2, true, emulation || !tnlAllowed, hardwareReady, DeviceKind::TnL);
    attempt(3, !emulation, false, hardwareReady, DeviceKind::Hal);
    attempt(4, true, false, true, DeviceKind::Rgb);
    attempt(5, emulation, false, true, DeviceKind::Mmx);
    attempt(-1, true, false, hardwareReady, DeviceKind::Other);
    if (kind == DeviceKind::None) {
        char text[256];
        std::snprintf(text, sizeof text, "[%s & %s] Failed to create a D3D Device from BackBuffer Surface", status,
                      adapter.description.c_str());
        recordEngineError(text);
        return false;
    }
    hardwareDevice = kind == DeviceKind::TnL || kind == DeviceKind::Hal || kind == DeviceKind::Other;
    // The fixed-function pipeline offers every blend factor, linear filtering, fog, mipmaps and all
    // texture address modes; a software device keeps its textures in system memory.
    const uint32_t allBlends =
        kBlendZero | kBlendOne | kBlendSrcColour | kBlendInvSrcColour | kBlendDestColour | kBlendInvDestColour;
    const GhostBlend ghost = ghostBlendFor(allBlends, allBlends);
    caps_.ghostBlendMode = ghost.mode;
    caps_.ghostBlendPair = ghost.pair;
    caps_.textureFilterMode = adapter.anisotropicFiltering ? 2 : 1;
    caps_.fogAvailable = true;
    caps_.vertexFog = true;
    caps_.mipmapping = true;
    caps_.addressWrap = caps_.addressMirror = caps_.addressClamp = true;
    caps_.compressedTextures = adapter.compressedTextures;
    caps_.texturesInVideoMemory = hardwareDevice;
    caps_.transformedVerticesInSystemMemory = !hardwareDevice;
    caps_.textureFormats = {"R5G6B5", "X1R5G5B5", "A1R5G5B5", "A4R4G4B4", "R8G8B8", "X8R8G8B8", "A8R8G8B8"};
    if (caps_.compressedTextures) {
        for (const char *f : {"DXT1", "DXT2", "DXT3", "DXT4", "DXT5"})
            caps_.textureFormats.push_back(f);
    }
    return true;
}

void DisplayDevice::releaseSurfaces() {
    kind = DeviceKind::None;
    hardwareDevice = false;
    releasedPixels_[0] = std::move(primary_->pixels);
    releasedPixels_[1] = std::move(back_->pixels);
    primary_->reset(0, 0, back_->bitsPerPixel());
    back_->reset(0, 0, back_->bitsPerPixel());
    depth_.clear();
    depthClear_ = true;
    gammaSupported = false;
}

void DisplayDevice::release() {
    for (auto &drop : onRelease)
        drop();
    releaseSurfaces();
    created = false;
}

bool DisplayDevice::recreate(vm::Machine &m, int width, int height, int depth) {
    const int oldWidth = requestedWidth, oldHeight = requestedHeight, oldDepth = requestedDepth;
    const bool oldEmulation = emulation;
    bool ok = true;
    release();
    if (!createDisplayObject(emulation)) {
        m.engineDetail = engineDetail;
        vm::raise(m, kSystemErrorDisplayObject);
        return false;
    }
    auto fallBack = [&] {
        requestedWidth = oldWidth;
        requestedHeight = oldHeight;
        requestedDepth = oldDepth;
        emulation = oldEmulation;
        setMode(oldWidth, oldHeight, oldDepth);
    };
    requestedDepth = depth; // the surfaces take their depth from the requested mode
    if (!setMode(width, height, depth)) {
        const std::string detail = engineDetail;
        fallBack();
        // The previous mode comes back whole, surfaces included, so the program can go on.
        createSurfaces();
        engineDetail = m.engineDetail = detail;
        vm::raise(m, kWarningModeRefused);
        ok = false;
    } else if (!createSurfaces()) {
        emulation = true;
        if (!createSurfaces()) {
            const std::string detail = engineDetail;
            fallBack();
            createSurfaces();
            engineDetail = m.engineDetail = detail;
            vm::raise(m, kWarningSurfacesFailed);
            ok = false;
        }
    }
    if (ok) {
        requestedWidth = width;
        requestedHeight = height;
        requestedDepth = depth;
    }
    for (int k = 0; k < 2; ++k) {
        clearBackBuffer();
        present();
    }
    for (auto &made : onRecreated)
        made();
    screenInvalid = true;
    return ok;
}

} // namespace display
