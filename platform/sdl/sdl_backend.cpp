#include "platform/sdl/sdl_backend.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

#include "platform/sdl/scancodes.h"
#include "platform/sdl/sdl_api.h"
#include "platform/sdl/sdl_controllers.h"

namespace platform::sdl {
namespace {

// UTF-8 text to the system's 8-bit characters; code points above 255 have no character there.
void appendLatin1(const char *utf8, std::deque<Event> &out) {
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    while (*p) {
        unsigned code = *p;
        int extra = code < 0x80 ? 0 : (code >> 5) == 6 ? 1 : (code >> 4) == 14 ? 2 : (code >> 3) == 30 ? 3 : -1;
        if (extra < 0) {
            ++p;
            continue;
        }
        code = extra == 0 ? code : code & (0x3F >> extra);
        ++p;
        for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i, ++p)
            code = (code << 6) | (*p & 0x3F);
        if (code > 0 && code < 256)
            out.push_back(Event{EventType::Character, static_cast<int>(code), 0});
    }
}

// Keys that produce a character message on Windows without producing SDL text input.
int controlCharacter(SDL_Keycode key) {
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return 13;
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_TAB:
        return 9;
    case SDLK_ESCAPE:
        return 27;
    default:
        return 0;
    }
}

bool videoDriverShowsBoxes(const SdlApi &sdl) {
    const char *driver = sdl.GetCurrentVideoDriver();
    if (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"))
        return false;
    const char *forced = std::getenv("ZORVANE_MESSAGES");
    return !(forced && !std::strcmp(forced, "stderr"));
}

class SdlBackend final : public Backend {
  public:
    ~SdlBackend() override {
        if (!sdl_)
            return; // SDL could not be loaded: nothing was started
        controllers_.reset();
        if (texture_)
            sdl_->DestroyTexture(texture_);
        if (renderer_)
            sdl_->DestroyRenderer(renderer_);
        if (window_)
            sdl_->DestroyWindow(window_);
        sdl_->QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }

    bool open(const PlatformOptions &options, std::string &error) {
        std::string why;
        sdl_ = sdlApi(why);
        if (!sdl_) {
            error = "cannot start the display: " + why;
            return false;
        }
        sdl_->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        sdl_->ClearError();
        if (sdl_->InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            error = std::string("cannot start the display: ") + sdl_->GetError();
            return false;
        }
        Uint32 flags = SDL_WINDOW_RESIZABLE | (options.fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) |
                       (options.coverScreen ? SDL_WINDOW_MAXIMIZED : 0);
        window_ = sdl_->CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     kScreenWidth, kScreenHeight, flags);
        if (window_)
            renderer_ = sdl_->CreateRenderer(window_, -1, 0);
        if (renderer_) {
            // Logical size: the frame is scaled with its aspect kept, and mouse positions arrive in
            // logical screen pixels.
            sdl_->RenderSetLogicalSize(renderer_, kScreenWidth, kScreenHeight);
            texture_ = sdl_->CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                           kScreenHeight);
        }
        if (!texture_) {
            error = std::string("cannot create the window: ") + sdl_->GetError();
            return false;
        }
        sdl_->StartTextInput();
        controllers_ = createSdlControllers();
        start_ = std::chrono::steady_clock::now();
        return true;
    }

    std::string name() const override { return "sdl"; }
    bool headless() const override { return false; }

    uint64_t clockMicros() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now() - start_).count());
    }
    void addInstructions(uint64_t) override {}
    void waitUntilMicros(uint64_t deadline) override {
        uint64_t now = clockMicros();
        if (deadline > now)
            std::this_thread::sleep_for(std::chrono::microseconds(deadline - now));
    }

    bool nextEvent(Event &event, uint64_t) override {
        SDL_Event e;
        while (pending_.empty() && sdl_->PollEvent(&e))
            translate(e);
        if (pending_.empty())
            return false;
        event = pending_.front();
        pending_.pop_front();
        return true;
    }

    void present(const uint32_t *pixels, uint64_t) override {
        if (pixels)
            sdl_->UpdateTexture(texture_, nullptr, pixels, kScreenWidth * 4);
        sdl_->SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        sdl_->RenderClear(renderer_);
        sdl_->RenderCopy(renderer_, texture_, nullptr, nullptr);
        sdl_->RenderPresent(renderer_);
    }

    bool setClipboardText(const std::string &text) override { return sdl_->SetClipboardText(text.c_str()) == 0; }
    std::string clipboardText() override {
        char *text = sdl_->GetClipboardText();
        std::string out = text ? text : "";
        sdl_->free(text);
        return out;
    }

    bool messageBox(const std::string &caption, const std::string &text, MessageIcon icon) override {
        Uint32 flags = icon == MessageIcon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        if (videoDriverShowsBoxes(*sdl_) &&
            sdl_->ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), window_) == 0)
            return true;
        messageToStderr(caption, text);
        return false;
    }

    void setTitle(const std::string &title) override { sdl_->SetWindowTitle(window_, title.c_str()); }

    void warpMouse(int x, int y) override {
        int windowX = x, windowY = y;
        sdl_->RenderLogicalToWindow(renderer_, static_cast<float>(x), static_cast<float>(y), &windowX, &windowY);
        sdl_->WarpMouseInWindow(window_, windowX, windowY);
    }
    void showCursor(bool shown) override {
        sdl_->ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
        // A hidden pointer stays inside the window, as the program draws its own.
        sdl_->SetWindowGrab(window_, shown ? SDL_FALSE : SDL_TRUE);
    }
    Controllers *controllers() override { return controllers_.get(); }

  private:
    void translate(const SDL_Event &e) {
        switch (e.type) {
        case SDL_QUIT:
            pending_.push_back({EventType::Quit});
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int code = systemScanCode(e.key.keysym.scancode);
            bool down = e.type == SDL_KEYDOWN;
            if (code)
                pending_.push_back({down ? EventType::KeyDown : EventType::KeyUp, code});
            if (down && controlCharacter(e.key.keysym.sym))
                pending_.push_back({EventType::Character, controlCharacter(e.key.keysym.sym)});
            break;
        }
        case SDL_TEXTINPUT:
            appendLatin1(e.text.text, pending_);
            break;
        case SDL_MOUSEMOTION:
            pending_.push_back({EventType::MouseMove, e.motion.x, e.motion.y});
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int button = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_RIGHT ? 2 : 3;
            pending_.push_back({e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp, button});
            break;
        }
        case SDL_MOUSEWHEEL:
            pending_.push_back(
                {EventType::MouseWheel, e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y});
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                pending_.push_back({EventType::FocusGained});
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                pending_.push_back({EventType::FocusLost});
                break;
            case SDL_WINDOWEVENT_MOVED:
                pending_.push_back({EventType::Moved, e.window.data1, e.window.data2});
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                pending_.push_back({EventType::Resized, e.window.data1, e.window.data2});
                break;
            case SDL_WINDOWEVENT_CLOSE:
                pending_.push_back({EventType::Quit});
                break;
            default:
                break;
            }
            break;
        default:
            break;
        }
    }

    const SdlApi *sdl_ = nullptr;
    SDL_Window *window_ = nullptr;
    SDL_Renderer *renderer_ = nullptr;
    SDL_Texture *texture_ = nullptr;
    std::deque<Event> pending_;
    std::unique_ptr<Controllers> controllers_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace

std::unique_ptr<Backend> createSdlBackend(const PlatformOptions &options, std::string &error) {
    auto backend = std::make_unique<SdlBackend>();
    if (!backend->open(options, error))
        return nullptr;
    return backend;
}

} // namespace platform::sdl
