// The 3D device's context: an OpenGL compatibility-profile context made through SDL (its offscreen
// driver when there is no display, Mesa's llvmpipe when there is no GPU), and what the display
// needs to know about it. Only this interface leaves platform/; GL, EGL and SDL stay inside.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// What the context reports about the renderer behind it.
struct GlDeviceInfo {
    std::string renderer;         // GL_RENDERER, e.g. the GPU's name or the software rasteriser's
    std::string vendor;           // GL_VENDOR
    std::string version;          // GL_VERSION
    bool software = false;        // a software rasteriser (llvmpipe, softpipe, swrast)
    uint64_t textureMemory = 0;   // bytes usable by textures (measured where the driver says, else estimated)
    uint64_t offscreenMemory = 0; // bytes usable by off-screen surfaces
    bool anisotropicFiltering = false;
    bool compressedTextures = false; // DXT1..DXT5 (S3TC)
    bool mirroredRepeat = false;
};

class GlDevice {
  public:
    virtual ~GlDevice() = default;
    virtual const GlDeviceInfo &info() const = 0;
    // Clears the depth buffer to 1.0 (and nothing else) on the context's framebuffer.
    virtual void clearDepth() = 0;
};

// The process's GL device: made on first use and kept for the process, because making a context
// costs 100 ms or more on the software rasteriser. Returns nullptr, with the reason in `error`,
// when no context can be had (the display then runs 2D only). `preferOffscreen` picks SDL's
// offscreen driver when SDL's video is not started yet (headless runs); such a device is described
// by what the last context on the same GL set-up reported, when that is remembered
// (platform/sdl/gl_info_cache.h), and makes no context of its own.
std::shared_ptr<GlDevice> acquireGlDevice(bool preferOffscreen, std::string &error);

// A display mode of the real display.
struct ScreenMode {
    int width = 0;
    int height = 0;
    int depth = 0;
};

// The modes the real display offers; empty when there is no real display (headless, offscreen or
// dummy drivers, or SDL's video not started).
std::vector<ScreenMode> realDisplayModes();

} // namespace platform
