// The card chooser's two screens: their look against golden pictures (tests/golden/start_*.png;
// ZV_UPDATE_GOLDEN=1 writes them anew), the frame and answer colours at known pixels, no text drawn
// over another however long the list, and the screens presented while the chooser waits, so that
// a headless run with a frame folder saves them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

#include "display/card_choice.h"
#include "display/codecs/decoded_image.h"
#include "display/tests/golden_picture.h"
#include "display/display_device.h"
#include "display/font_face.h"
#include "display/host_hookup.h"
#include "display/start_screens.h"
#include "platform/platform.h"

namespace display {
namespace {

namespace fs = std::filesystem;

Adapter hardwareCard(const std::string &name) { return Adapter{name, true, true, true, 64u << 20, 64u << 20, false, false}; }
Adapter softwareCard(const std::string &name) { return Adapter{name, false, false, true, 1u << 30, 1u << 30, false, false}; }

struct Chooser {
    std::map<std::string, std::string> state;
    std::unique_ptr<DisplayDevice> device;

    explicit Chooser(std::vector<Adapter> adapters, platform::Platform *platform = nullptr) {
        DisplayEnvironment env;
        env.want3d = false;
        env.adapters = std::move(adapters);
        env.platform = platform;
        env.readState = [this](const std::string &k, const std::string &fallback) {
            auto it = state.find(k);
            return it == state.end() ? fallback : it->second;
        };
        env.writeState = [this](const std::string &k, const std::string &v) { state[k] = v; };
        if (platform)
            env.pumpMessages = [platform](bool &clicked) { return pumpStartScreenMessages(platform, clicked); };
        state["BEST3DCARD"] = "ask";
        device = std::make_unique<DisplayDevice>(env);
    }
};

// The choice screen as the chooser shows it with three cards.
std::unique_ptr<Chooser> choiceWithThreeCards() {
    auto c = std::make_unique<Chooser>(std::vector<Adapter>{hardwareCard("Main Card"), hardwareCard("Second Card"),
                                                            softwareCard("Software Rasteriser")});
    c->device->screenShown = DisplayDevice::StartScreen::Choice;
    return c;
}

// The capability screen after the chooser ran on a card that has only a software 3D device.
std::unique_ptr<Chooser> capabilitiesOfSoftwareCard() {
    auto c = std::make_unique<Chooser>(std::vector<Adapter>{softwareCard("llvmpipe")});
    runCardChoice(*c->device);
    return c;
}

codecs::DecodedImage asImage(const Surface &s) {
    codecs::DecodedImage image(s.width, s.height);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            image.at(x, y) = 0xFF000000u | s.colour(x, y);
    return image;
}

TEST(StartScreens, MatchTheirGoldenPictures) {
    if (!Font::make("system", -12, kStyleNormal))
        GTEST_SKIP() << "no font installed to draw the screens' texts";
    const struct {
        const char *name;
        std::unique_ptr<Chooser> chooser;
    } cases[] = {
        {"start_choice.png", choiceWithThreeCards()},
        {"start_capabilities.png", capabilitiesOfSoftwareCard()},
    };
    for (const auto &c : cases) {
        const codecs::DecodedImage picture = asImage(paintStartScreen(*c.chooser->device));
        testing::expectGoldenPicture(picture, c.name);
    }
}

TEST(StartScreens, FramesAndAnswersHaveTheirColours) {
    const auto software = capabilitiesOfSoftwareCard();
    const Surface picture = paintStartScreen(*software->device);
    ASSERT_EQ(picture.width, 320);
    ASSERT_EQ(picture.height, 240);
    const struct {
        int x, y;
        uint32_t rgb;
    } frameCases[] = {
        {0, 0, 0x000000},   {3, 120, 0x000000},  {4, 4, 0x404040},     {7, 120, 0x404040},
        {315, 235, 0x404040}, {316, 236, 0x000000}, {8, 8, 0x000000}, {311, 231, 0x000000},
    };
    for (const auto &c : frameCases)
        EXPECT_EQ(picture.colour(c.x, c.y), c.rgb) << c.x << ", " << c.y;

    // The answer of each row starts 48 pixels from the right edge: "No" in red for the software
    // card, "Yes" in yellow for a hardware one, and nothing else in the answers' column.
    auto answerInk = [](const Surface &s, int row) {
        std::map<uint32_t, int> seen;
        for (int y = 46 + 14 * row; y < 60 + 14 * row; ++y)
            for (int x = 272; x < 311; ++x)
                if (s.colour(x, y) != 0)
                    ++seen[s.colour(x, y)];
        return seen;
    };
    for (int row = 0; row < 4; ++row) {
        const auto ink = answerInk(picture, row);
        ASSERT_EQ(ink.size(), 1u) << "row " << row;
        EXPECT_EQ(ink.begin()->first, 0xFF0000u) << "row " << row;
    }
    Chooser hardware({hardwareCard("Fast Card")});
    runCardChoice(*hardware.device);
    ASSERT_TRUE(hardware.device->probe.supported3d);
    const auto ink = answerInk(paintStartScreen(*hardware.device), 0);
    ASSERT_EQ(ink.size(), 1u);
    EXPECT_EQ(ink.begin()->first, 0xFFFF00u);

    // Nothing left of the answers' column leaks into it: the labels end before it.
    for (int x = 265; x < 272; ++x)
        for (int y = 46; y < 102; ++y)
            EXPECT_NE(picture.colour(x, y), 0xFF0000u) << x << ", " << y;
}

TEST(StartScreens, NoTextLiesOverAnotherAndAllStayInsideTheFrame) {
    for (size_t cards = 2; cards <= 6; ++cards) {
        std::vector<Adapter> adapters;
        for (size_t k = 0; k < cards; ++k)
            adapters.push_back(hardwareCard("Card " + std::to_string(k + 1)));
        Chooser c(adapters);
        c.device->screenShown = DisplayDevice::StartScreen::Choice;
        const auto texts = startScreenTexts(*c.device);
        ASSERT_EQ(texts.size(), std::min<size_t>(cards, 5) + 4) << cards;
        EXPECT_EQ(texts[1].top, 46);
        EXPECT_EQ(texts[2].top, 60);
        for (size_t i = 1; i < texts.size(); ++i) {
            EXPECT_GE(texts[i].top, texts[i - 1].top + 14) << cards << " cards, " << texts[i].text;
            EXPECT_LE(texts[i].top + 16, 232) << cards << " cards, " << texts[i].text;
        }
    }
    const auto capabilities = capabilitiesOfSoftwareCard();
    int lastRowTop = 0;
    for (const StartScreenText &t : startScreenTexts(*capabilities->device)) {
        if (t.place == StartScreenText::Place::Answer)
            continue; // beside its label
        EXPECT_GE(t.top, lastRowTop + 14) << t.text;
        EXPECT_LE(t.top + 16, 232) << t.text;
        lastRowTop = t.top;
    }
}

TEST(StartScreens, ALongCardNameShowsItsBeginning) {
    Chooser c({hardwareCard(std::string(200, 'W'))});
    runCardChoice(*c.device);
    const Surface picture = paintStartScreen(*c.device);
    bool inkNearTheLeft = false;
    for (int y = 16; y < 32; ++y)
        for (int x = 8; x < 14; ++x)
            inkNearTheLeft |= picture.colour(x, y) == kStartOrange;
    EXPECT_TRUE(inkNearTheLeft || !Font::make("system", -12, kStyleNormal));
}

// A headless run with a frame folder: the chooser presents the choice screen, takes "2" from the
// input script, then presents the capability screen; each is centred in the 640 x 480 frame.
TEST(StartScreens, ArePresentedWhileTheChooserWaits) {
    const fs::path folder = fs::temp_directory_path() / ("zv-start-screens-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path script = folder / "input.txt";
    std::ofstream(script) << "frame 1 char 48\nframe 1 char 50\n"; // "0" is ignored, "2" chooses
    platform::PlatformOptions options;
    options.headless = true;
    options.inputScript = script.string();
    options.dumpFramesDir = (folder / "frames").string();
    std::string error;
    auto platform = platform::createPlatform(options, error);
    ASSERT_TRUE(platform) << error;

    Chooser c({hardwareCard("Main Card"), hardwareCard("Second Card"), hardwareCard("Third Card")}, platform.get());
    Chooser expectedChoice({hardwareCard("Main Card"), hardwareCard("Second Card"), hardwareCard("Third Card")});
    expectedChoice.device->screenShown = DisplayDevice::StartScreen::Choice;
    runCardChoice(*c.device);
    EXPECT_EQ(c.state["BEST3DCARD"], "Second Card");

    std::vector<fs::path> frames;
    for (const auto &entry : fs::directory_iterator(folder / "frames"))
        frames.push_back(entry.path());
    std::sort(frames.begin(), frames.end());
    ASSERT_GE(frames.size(), 2u);
    auto load = [](const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        return codecs::decodePng(codecs::Bytes(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
    };
    const auto first = load(frames.front()), last = load(frames.back());
    ASSERT_TRUE(first.ok() && last.ok());
    ASSERT_EQ(first.image.width, 640);
    ASSERT_EQ(first.image.height, 480);
    auto sameAs = [](const codecs::DecodedImage &seen, const std::vector<uint32_t> &expected) {
        for (size_t i = 0; i < expected.size(); ++i)
            if ((seen.pixels[i] & 0xFFFFFF) != expected[i])
                return false;
        return true;
    };
    EXPECT_TRUE(sameAs(first.image, startScreenFrame(*expectedChoice.device))) << frames.front();
    EXPECT_EQ(c.device->screenShown, DisplayDevice::StartScreen::Capabilities);
    EXPECT_TRUE(sameAs(last.image, startScreenFrame(*c.device))) << frames.back();
    // Black around the centred picture, its dark-grey frame 4 pixels inside it.
    EXPECT_EQ(last.image.at(159, 119) & 0xFFFFFF, 0u);
    EXPECT_EQ(last.image.at(164, 124) & 0xFFFFFF, 0x404040u);
    EXPECT_EQ(last.image.at(163, 124) & 0xFFFFFF, 0u);
    fs::remove_all(folder);
}

// A window nobody touches for a while: its clock moves only by waiting, and the events come at
// given times. Keeps what it is asked to present.
class QuietWindow : public platform::Platform {
  public:
    std::vector<std::pair<uint32_t, platform::Event>> events; // in time order
    std::vector<std::vector<uint32_t>> presented;
    uint32_t clock = 0;

    std::string backendName() const override { return "quiet"; }
    bool headless() const override { return false; }
    uint32_t millis() override { return clock; }
    void addInstructions(uint64_t) override {}
    void waitUntil(uint32_t deadline) override { clock = std::max(clock, deadline); }
    bool pollEvent(platform::Event &e) override {
        if (events.empty() || events.front().first > clock)
            return false;
        e = events.front().second;
        events.erase(events.begin());
        return true;
    }
    bool keyDown(int) override { return false; }
    int mouseX() const override { return 0; }
    int mouseY() const override { return 0; }
    int mouseButtons() const override { return 0; }
    void postQuit() override {}
    bool quitPosted() const override { return false; }
    bool setClipboardText(const std::string &) override { return false; }
    std::string clipboardText() override { return {}; }
    void present(const uint32_t *pixels) override {
        presented.emplace_back(pixels, pixels + size_t(platform::kScreenWidth) * platform::kScreenHeight);
    }
    uint64_t framesPresented() const override { return presented.size(); }
    bool messageBox(const std::string &, const std::string &, platform::MessageIcon) override { return false; }
    void setTitle(const std::string &) override {}
};

// In a window the waiting screen is presented again about every tenth of a second, not only when
// an event comes, so it shows at once and comes back after the window was covered.
TEST(StartScreens, AWaitingWindowKeepsShowingTheScreen) {
    QuietWindow window;
    platform::Event key{};
    key.type = platform::EventType::Character;
    key.a = '1';
    platform::Event click{};
    click.type = platform::EventType::MouseDown;
    click.a = 1;
    window.events = {{550, key}, {3050, click}}; // the capability screen comes 2 seconds after the key
    Chooser c({hardwareCard("Main Card"), hardwareCard("Second Card")}, &window);
    Chooser expectedChoice({hardwareCard("Main Card"), hardwareCard("Second Card")});
    expectedChoice.device->screenShown = DisplayDevice::StartScreen::Choice;
    runCardChoice(*c.device);
    EXPECT_EQ(c.state["BEST3DCARD"], "Main Card");
    const auto choice = startScreenFrame(*expectedChoice.device), capabilities = startScreenFrame(*c.device);
    size_t choiceFrames = 0, capabilityFrames = 0;
    for (const auto &frame : window.presented) {
        choiceFrames += frame == choice;
        capabilityFrames += frame == capabilities;
    }
    EXPECT_EQ(choiceFrames + capabilityFrames, window.presented.size());
    EXPECT_GE(choiceFrames, 5u);     // 0 to 550 ms
    EXPECT_GE(capabilityFrames, 5u); // 2550 to 3050 ms
}

} // namespace
} // namespace display
