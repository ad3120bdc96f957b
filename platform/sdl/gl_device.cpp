// The GL device on an SDL window that is never shown: SDL gives a compatibility-profile context on
// x11 and on its offscreen driver alike. GL entry points are looked up through SDL so that nothing
// links against libGL directly, and SDL itself is loaded through its table when a device is made.
#include "platform/gl_device.h"

#include <SDL_opengl.h>

#include <cstring>
#include <mutex>

#include "platform/sdl/gl_info_cache.h"
#include "platform/sdl/sdl_api.h"

namespace platform {
namespace {

using sdl::SdlApi;

#ifndef GL_TEXTURE_FREE_MEMORY_ATI
#define GL_TEXTURE_FREE_MEMORY_ATI 0x87FC
#endif
#ifndef GL_GPU_MEMORY_INFO_CURRENT_AVAILABLE_VIDMEM_NVX
#define GL_GPU_MEMORY_INFO_CURRENT_AVAILABLE_VIDMEM_NVX 0x9049
#endif

// A software rasteriser has no video memory of its own; it is given this much so that the
// display's memory queries answer with a sensible figure.
constexpr uint64_t kSoftwareTextureMemory = 64ull * 1024 * 1024;
constexpr uint64_t kUnknownHardwareMemory = 128ull * 1024 * 1024;

// Whether SDL's video has been started; never loads SDL to find out.
bool videoStarted() {
    const SdlApi *api = sdl::loadedSdlApi();
    return api && api->WasInit(SDL_INIT_VIDEO);
}

using GetStringFn = const GLubyte *(*)(GLenum);
using GetIntegervFn = void (*)(GLenum, GLint *);
using ClearFn = void (*)(GLbitfield);
using ClearDepthFn = void (*)(GLdouble);
using GetErrorFn = GLenum (*)();

class SdlGlDevice final : public GlDevice {
  public:
    // A device described by what an earlier run's context reported: no context is made, because
    // nothing has drawn through one yet (see clearDepth).
    explicit SdlGlDevice(GlDeviceInfo remembered) : info_(std::move(remembered)) {}
    SdlGlDevice() = default;

    bool open(bool preferOffscreen, std::string &error) {
        std::string why;
        sdl_ = sdl::sdlApi(why);
        if (!sdl_) {
            error = "no video driver for the 3D device: " + why;
            return false;
        }
        sdl_->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (!sdl_->WasInit(SDL_INIT_VIDEO) && preferOffscreen)
            sdl_->SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        sdl_->ClearError();
        if (sdl_->InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = std::string("no video driver for the 3D device: ") + sdl_->GetError();
            return false;
        }
        sdl_->GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        sdl_->GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        sdl_->GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        sdl_->GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        window_ = sdl_->CreateWindow("zorvane 3d", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window_)
            context_ = sdl_->GL_CreateContext(window_);
        if (!context_) {
            error = std::string("no OpenGL context: ") + sdl_->GetError();
            return false;
        }
        sdl_->GL_MakeCurrent(window_, context_);
        auto getString = reinterpret_cast<GetStringFn>(sdl_->GL_GetProcAddress("glGetString"));
        auto getIntegerv = reinterpret_cast<GetIntegervFn>(sdl_->GL_GetProcAddress("glGetIntegerv"));
        auto getError = reinterpret_cast<GetErrorFn>(sdl_->GL_GetProcAddress("glGetError"));
        clear_ = reinterpret_cast<ClearFn>(sdl_->GL_GetProcAddress("glClear"));
        clearDepth_ = reinterpret_cast<ClearDepthFn>(sdl_->GL_GetProcAddress("glClearDepth"));
        if (!getString || !getIntegerv || !getError || !clear_ || !clearDepth_) {
            error = "the OpenGL library lacks basic entry points";
            return false;
        }
        auto text = [&](GLenum name) {
            const GLubyte *s = getString(name);
            return s ? std::string(reinterpret_cast<const char *>(s)) : std::string();
        };
        info_.renderer = text(GL_RENDERER);
        info_.vendor = text(GL_VENDOR);
        info_.version = text(GL_VERSION);
        const std::string extensions = text(GL_EXTENSIONS);
        auto has = [&](const char *name) { return extensions.find(name) != std::string::npos; };
        for (const char *soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
            if (info_.renderer.find(soft) != std::string::npos)
                info_.software = true;
        info_.anisotropicFiltering =
            has("GL_EXT_texture_filter_anisotropic") || has("GL_ARB_texture_filter_anisotropic");
        info_.compressedTextures = has("GL_EXT_texture_compression_s3tc");
        info_.mirroredRepeat = has("GL_ARB_texture_mirrored_repeat") || info_.version >= "1.4";
        info_.textureMemory = info_.software ? kSoftwareTextureMemory : kUnknownHardwareMemory;
        GLint kilobytes[4] = {0, 0, 0, 0};
        getError();
        if (has("GL_NVX_gpu_memory_info")) {
            getIntegerv(GL_GPU_MEMORY_INFO_CURRENT_AVAILABLE_VIDMEM_NVX, kilobytes);
            if (getError() == GL_NO_ERROR && kilobytes[0] > 0)
                info_.textureMemory = uint64_t(kilobytes[0]) * 1024;
        } else if (has("GL_ATI_meminfo")) {
            getIntegerv(GL_TEXTURE_FREE_MEMORY_ATI, kilobytes);
            if (getError() == GL_NO_ERROR && kilobytes[0] > 0)
                info_.textureMemory = uint64_t(kilobytes[0]) * 1024;
        }
        info_.offscreenMemory = info_.textureMemory;
        return true;
    }

    const GlDeviceInfo &info() const override { return info_; }

    // A device known only from its remembered description has no context yet, hence no depth
    // buffer to clear: nothing reads depth from a context nobody has drawn into.
    void clearDepth() override {
        if (!context_)
            return;
        sdl_->GL_MakeCurrent(window_, context_);
        clearDepth_(1.0);
        clear_(GL_DEPTH_BUFFER_BIT);
    }

  private:
    const SdlApi *sdl_ = nullptr;
    SDL_Window *window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    ClearFn clear_ = nullptr;
    ClearDepthFn clearDepth_ = nullptr;
    GlDeviceInfo info_;
};

} // namespace

std::shared_ptr<GlDevice> acquireGlDevice(bool preferOffscreen, std::string &error) {
    // One attempt per process: a machine without GL stays without it, and the context, once made,
    // is kept until the process ends (it is never destroyed, so no SDL call runs at exit).
    static std::mutex lock;
    static std::shared_ptr<GlDevice> device;
    static bool tried = false;
    static std::string failure;
    std::lock_guard<std::mutex> guard(lock);
    if (!tried) {
        tried = true;
        // A headless run asks the offscreen driver, whose renderer only changes with the machine's
        // GL set-up: what the last context on the same set-up reported answers the queries
        // without the 100 ms or more a new context costs. Windowed runs always make the context.
        const bool remembered = preferOffscreen && !videoStarted();
        std::string fingerprint;
        if (remembered) {
            fingerprint = glFingerprint();
            if (auto info = readGlInfo(glInfoCacheFile(fingerprint), fingerprint))
                device = std::make_shared<SdlGlDevice>(std::move(*info));
        }
        if (!device) {
            auto *made = new SdlGlDevice();
            if (made->open(preferOffscreen, failure)) {
                device = std::shared_ptr<GlDevice>(made, [](GlDevice *) {});
                if (remembered)
                    writeGlInfo(glInfoCacheFile(fingerprint), fingerprint, made->info());
            } else {
                delete made;
            }
        }
    }
    if (!device)
        error = failure;
    return device;
}

std::vector<ScreenMode> realDisplayModes() {
    std::vector<ScreenMode> modes;
    if (!videoStarted())
        return modes;
    const SdlApi *api = sdl::loadedSdlApi();
    const char *driver = api->GetCurrentVideoDriver();
    if (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"))
        return modes;
    int count = api->GetNumDisplayModes(0);
    for (int k = 0; k < count; ++k) {
        SDL_DisplayMode mode;
        if (api->GetDisplayMode(0, k, &mode) != 0)
            continue;
        int depth = SDL_BITSPERPIXEL(mode.format);
        if (depth == 24 && SDL_BYTESPERPIXEL(mode.format) == 4)
            depth = 32;
        modes.push_back({mode.w, mode.h, depth});
    }
    return modes;
}

} // namespace platform
