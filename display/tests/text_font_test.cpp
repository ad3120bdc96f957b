// Fonts: program names resolved to installed families, extents against measured values, and
// one-bit drawing (every pixel is ink, paper or untouched) clipped to the surface. Fonts are
// opened by exact family; a test skips, saying which package is missing, when they are absent.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

#include "display/font_cache.h"
#include "display/font_catalog.h"
#include "display/font_face.h"
#include "display/surface.h"

namespace display {

void PrintTo(const TextExtent& e, std::ostream* out) { *out << e.width << " x " << e.height; }

namespace {

bool installed(const char* family) { return !findFamily(family, false, false).path.empty(); }

#define REQUIRE_FAMILY(family, package)                                                            \
    if (!installed(family))                                                                        \
    GTEST_SKIP() << "the font family " family " is not installed (package " package ")"

std::shared_ptr<const Font> openFamily(const char* family, int size, bool bold = false, bool italic = false) {
    const FontFile file = findFamily(family, bold, italic);
    return Font::fromFile(file.path, file.index, size, bold, italic, file.bold, file.italic);
}

TEST(FontCatalog, ProgramNamesResolveToInstalledFamilies) {
    REQUIRE_FAMILY("Liberation Sans", "fonts-liberation2");
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    struct Case {
        const char* name;
        const char* family;
    } cases[] = {
        {"Arial", "Liberation Sans"},
        {"arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Liberation Mono", "Liberation Mono"},
        {"DejaVu Serif", "DejaVu Serif"},
        {"system", "DejaVu Sans"},
        {"No Such Font At All", "DejaVu Sans"},
        {"", "DejaVu Sans"},
        {"Arial:bold=1,*?", "DejaVu Sans"},
    };
    for (const Case& c : cases) {
        const FontFile file = resolveFont(c.name, false, false);
        EXPECT_EQ(file.family, c.family) << c.name;
        EXPECT_FALSE(file.bold) << c.name;
    }
    // The styled files themselves are used where the family has them.
    for (int style = 0; style < 4; ++style) {
        const FontFile file = resolveFont("Arial", style & 2, style & 1);
        EXPECT_EQ(file.family, "Liberation Sans");
        EXPECT_EQ(file.bold, bool(style & 2)) << file.path;
        EXPECT_EQ(file.italic, bool(style & 1)) << file.path;
    }
}

TEST(FontCatalog, FamiliesAreListedOnceInOrder) {
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    const std::vector<std::string> families = installedFamilies();
    std::set<std::string> seen;
    for (std::string name : families) {
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(seen.insert(name).second) << "listed twice: " << name;
    }
    EXPECT_TRUE(seen.count("dejavu sans"));
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end(), [](std::string a, std::string b) {
        for (char& c : a)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : b)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return a < b;
    }));
}

// Widths measured once with FreeType 2.12 and the fonts of fonts-liberation2 2.1.5 and
// fonts-dejavu-core 2.37 (hinted advances, one-bit target); heights are the asked cell height.
TEST(Font, ExtentsMatchMeasuredValues) {
    REQUIRE_FAMILY("Liberation Sans", "fonts-liberation2");
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    const std::string hello = "Hello, World! 123";
    struct Case {
        const char* family;
        int size;
        bool bold, italic;
        TextExtent extent;
    } cases[] = {
        {"Liberation Sans", 16, false, false, {109, 16}},
        {"Liberation Sans", 24, false, false, {161, 24}},
        {"Liberation Sans", 24, true, false, {170, 24}},
        {"Liberation Serif", 16, false, false, {101, 16}},
        {"Liberation Serif", 20, false, true, {132, 20}},
        {"Liberation Mono", 20, false, false, {187, 20}},
        {"DejaVu Sans", 16, false, false, {117, 16}},
        {"DejaVu Sans", 12, true, true, {100, 12}},
    };
    for (const Case& c : cases) {
        auto font = openFamily(c.family, c.size, c.bold, c.italic);
        ASSERT_TRUE(font) << c.family;
        EXPECT_EQ(font->measure(hello), c.extent) << c.family << " " << c.size << (c.bold ? " bold" : "")
                                                  << (c.italic ? " italic" : "");
        EXPECT_EQ(font->measure("").height, c.size) << "an empty text still has the line's height";
    }
}

TEST(Font, MonospacedWidthIsCharactersTimesAdvance) {
    REQUIRE_FAMILY("Liberation Mono", "fonts-liberation2");
    auto font = openFamily("Liberation Mono", 20);
    ASSERT_TRUE(font);
    const int one = font->measure("W").width;
    EXPECT_GT(one, 0);
    EXPECT_EQ(font->measure("iiiiiiiiii").width, 10 * one);
    EXPECT_EQ(font->measure("Hello, World! 123").width, 17 * one);
}

TEST(Font, SizesFollowTheCellConventionAndStayBounded) {
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    struct Case {
        int size;
        int cell;
    } cases[] = {{10, 10}, {1, 1}, {0, kDefaultCellHeight}, {100000, kMaxCellHeight}, {2147483647, kMaxCellHeight}};
    for (const Case& c : cases) {
        auto font = Font::make("DejaVu Sans", c.size, kStyleNormal);
        ASSERT_TRUE(font) << c.size;
        EXPECT_EQ(font->cellHeight(), c.cell) << c.size;
    }
    // A negative size is the em height: the cell of DejaVu Sans is larger than its em.
    auto em = Font::make("DejaVu Sans", -20, kStyleNormal);
    ASSERT_TRUE(em);
    EXPECT_GT(em->cellHeight(), 20);
    auto huge = Font::make("DejaVu Sans", -2147483647 - 1, kStyleNormal);
    ASSERT_TRUE(huge);
    EXPECT_LE(huge->cellHeight(), 2 * kMaxCellHeight);
    // "system" is the system's screen font, which is never smaller than 16 pixels.
    EXPECT_EQ(Font::make("system", 10, kStyleNormal)->cellHeight(), 16);
}

TEST(Font, DrawsOneBitGlyphsClippedToTheSurface) {
    REQUIRE_FAMILY("Liberation Sans", "fonts-liberation2");
    auto font = openFamily("Liberation Sans", 24);
    ASSERT_TRUE(font);
    constexpr uint32_t kUntouched = 0x1234, kInk = 0xFFFF, kPaper = 0x001F;
    Surface s(80, 40, 16);
    s.fill(kUntouched);
    font->draw(s, 5, 3, "Wg", kInk, std::nullopt);
    int inked = 0;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const uint32_t p = s.pixel(x, y);
            ASSERT_TRUE(p == kUntouched || p == kInk) << "a blended pixel at " << x << "," << y;
            inked += p == kInk;
            if (p == kInk) {
                EXPECT_GE(y, 3);
                EXPECT_LT(y, 3 + 24) << "ink below the cell";
            }
        }
    EXPECT_GT(inked, 30);

    // Opaque: the extent's rectangle exactly, clipped at the edges; partly outside draws the rest.
    s.fill(kUntouched);
    const TextExtent extent = font->measure("Wg");
    font->draw(s, 70, -10, "Wg", kInk, kPaper);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const bool inside = x >= 70 && y < -10 + extent.height;
            EXPECT_EQ(s.pixel(x, y) != kUntouched, inside) << x << "," << y;
        }
    // Far outside, or on an empty surface, nothing is drawn and nothing breaks.
    s.fill(kUntouched);
    font->draw(s, -100000, 2000000000, std::string(255, 'W'), kInk, kPaper);
    font->draw(s, 2147483000, -2147483000, "Wg", kInk, kPaper);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            ASSERT_EQ(s.pixel(x, y), kUntouched);
    Surface none;
    font->draw(none, 0, 0, "Wg", kInk, kPaper);
}

TEST(Font, EveryByteHasAnAdvance) {
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    auto font = Font::make("DejaVu Sans", 16, kStyleNormal);
    ASSERT_TRUE(font);
    // Bytes of the Western code page: the euro sign (0x80), e acute (0xE9), y diaeresis (0xFF).
    for (unsigned char byte : {0x80, 0xE9, 0xFF, 0x41})
        EXPECT_GT(font->measure(std::string(1, char(byte))).width, 0) << int(byte);
}

// Draws every byte of the Western code page in four styles, as a picture to compare.
std::vector<uint32_t> drawAllBytes(const Font& font) {
    Surface s(16 * 24, 16 * 2 * font.cellHeight(), 16);
    std::string row;
    for (int byte = 0; byte < 256; ++byte) {
        row += char(byte);
        if (byte % 16 == 15) {
            font.draw(s, 2, (byte / 16) * 2 * font.cellHeight(), row, 0xFFFF, std::nullopt);
            row.clear();
        }
    }
    std::vector<uint32_t> picture;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            picture.push_back(s.pixel(x, y));
    return picture;
}

// Points the user cache folder at a fresh folder for the test's length.
class RememberedFonts : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CACHE_HOME");
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        folder_ = std::filesystem::temp_directory_path() /
                  ("zv_fonts_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ::setenv("XDG_CACHE_HOME", folder_.c_str(), 1);
    }
    void TearDown() override {
        if (saved_)
            ::setenv("XDG_CACHE_HOME", saved_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
        std::filesystem::remove_all(folder_);
    }
    std::vector<std::filesystem::path> remembered() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_))
            if (entry.path().filename().string().rfind("font-", 0) == 0)
                files.push_back(entry.path());
        return files;
    }
    std::filesystem::path folder_;
    std::optional<std::string> saved_;
};

TEST_F(RememberedFonts, ARememberedFontDrawsExactlyAsTheFontFile) {
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    for (int style = 0; style < 4; ++style) {
        const FontFile file = findFamily("DejaVu Sans", style & 2, style & 1);
        // Bold and italic asked of the upright file too: the thickened and slanted glyphs are kept.
        for (bool fromPlainFile : {false, true}) {
            const FontFile used = fromPlainFile ? findFamily("DejaVu Sans", false, false) : file;
            auto fresh = Font::fromFile(used.path, used.index, 16, style & 2, style & 1, used.bold, used.italic);
            auto again = Font::fromFile(used.path, used.index, 16, style & 2, style & 1, used.bold, used.italic);
            ASSERT_TRUE(fresh && again);
            EXPECT_EQ(again->family(), fresh->family());
            EXPECT_EQ(again->cellHeight(), fresh->cellHeight());
            EXPECT_EQ(again->ascent(), fresh->ascent());
            EXPECT_EQ(drawAllBytes(*again), drawAllBytes(*fresh)) << "style " << style;
        }
    }
    EXPECT_FALSE(remembered().empty());
}

TEST_F(RememberedFonts, ADamagedOrForeignFileIsNotUsed) {
    REQUIRE_FAMILY("DejaVu Sans", "fonts-dejavu-core");
    const FontFile file = findFamily("DejaVu Sans", false, false);
    auto fresh = Font::fromFile(file.path, file.index, 16, false, false, file.bold, file.italic);
    ASSERT_TRUE(fresh);
    const std::vector<uint32_t> expected = drawAllBytes(*fresh);
    const auto files = remembered();
    ASSERT_EQ(files.size(), 1u);
    std::string bytes;
    {
        std::ifstream in(files[0], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string key = rememberedFontKey(file.path, file.index, 16, false, false, file.bold, file.italic);
    ASSERT_TRUE(RememberedFont::decode(key, bytes));
    std::string tooTall = bytes;  // the cell word made huge
    const size_t cellAt = 15 + 4 + key.size() + 4 + std::string("DejaVu Sans").size();
    tooTall[cellAt + 3] = char(0x7F);
    const std::string damaged[] = {
        bytes.substr(0, bytes.size() / 2),  // cut short
        bytes + "x",                        // trailing bytes
        "zorvane font 9\n" + bytes.substr(15),  // another format
        tooTall,
        std::string(),
    };
    for (const std::string& d : damaged)
        EXPECT_FALSE(RememberedFont::decode(key, d));
    EXPECT_FALSE(RememberedFont::decode(key + "x", bytes)) << "a file made for another font";
    // A damaged file in the cache: the font is drawn from its file again, and correctly.
    for (const std::string& d : damaged) {
        std::ofstream(files[0], std::ios::binary | std::ios::trunc) << d;
        auto font = Font::fromFile(file.path, file.index, 16, false, false, file.bold, file.italic);
        ASSERT_TRUE(font);
        EXPECT_EQ(drawAllBytes(*font), expected);
    }
}

} // namespace
} // namespace display
