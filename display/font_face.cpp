#include "display/font_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include FT_MODULE_H
#include FT_SYSTEM_H

#if defined(ZV_FREETYPE_MODULE_CLASSES)
// The module classes of the static FreeType archive, added one by one to a library of our own.
extern "C" {
extern const FT_Module_Class tt_driver_class;
extern const FT_Module_Class sfnt_module_class;
extern const FT_Module_Class autofit_module_class;
extern const FT_Module_Class ft_raster1_renderer_class;
extern const FT_Module_Class ft_smooth_renderer_class;
extern const FT_Module_Class psnames_module_class;
}
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "display/font_cache.h"
#include "display/font_catalog.h"
#include "display/surface.h"

namespace display {
namespace {

// One FreeType library for the process. FreeType's faces may not be created, used and released
// from several threads at once; every face operation holds this lock.
std::mutex& freetypeLock() {
    static std::mutex lock;
    return lock;
}

// Every module FreeType has: any font format opens here.
FT_Library fullLibrary() {
    static FT_Library lib = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0)
            made = nullptr;
        return made;
    }();
    return lib;
}

#if defined(ZV_FREETYPE_MODULE_CLASSES)
void* allocateBlock(FT_Memory, long size) {
    return std::malloc(size_t(size));
}
void freeBlock(FT_Memory, void* block) {
    std::free(block);
}
void* reallocateBlock(FT_Memory, long, long size, void* block) {
    return std::realloc(block, size_t(size));
}
#endif

// TrueType fonts, nearly every font a program names, open in a library of just the modules they
// use: starting all of FreeType's modules costs more than the first print itself. Null when the
// module classes are not linked in (a build against the shared FreeType, which hides them).
FT_Library trueTypeLibrary() {
#if defined(ZV_FREETYPE_MODULE_CLASSES)
    static FT_Library lib = [] {
        static FT_MemoryRec_ memory = {nullptr, allocateBlock, freeBlock, reallocateBlock};
        FT_Library made = nullptr;
        if (FT_New_Library(&memory, &made) != 0)
            return FT_Library(nullptr);
        // The order of the full library, so a font finds the same driver and hinter in both.
        for (const FT_Module_Class* module : {&tt_driver_class, &sfnt_module_class, &autofit_module_class,
                                              &ft_raster1_renderer_class, &ft_smooth_renderer_class,
                                              &psnames_module_class}) {
            if (FT_Add_Module(made, module) != 0) {
                FT_Done_Library(made);
                return FT_Library(nullptr);
            }
        }
        FT_Set_Default_Properties(made);
        return made;
    }();
    return lib;
#else
    return nullptr;
#endif
}

// Program strings are single-byte text in the Western Windows code page: 0x80 to 0x9F hold
// typographic characters, the rest is Latin-1.
constexpr std::array<uint16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t codePoint(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

using Glyph = FontGlyph;

std::string lowered(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

struct Font::Impl {
    FT_Face face = nullptr;
    std::string path;
    std::string family;
    int cell = kDefaultCellHeight;
    int ascent = 0;
    bool thicken = false; // bold asked for, the file is not bold
    bool slant = false;   // italic asked for, the file is upright
    // Made as characters are first measured or drawn: a print uses a handful of the 256, and the
    // whole set up front would be 14 KB written when the font is made.
    mutable std::array<std::unique_ptr<Glyph>, 256> glyphs;
    // A font remembered from an earlier run: its glyphs come from there, and it has no face.
    std::unique_ptr<RememberedFont> remembered;

    ~Impl() {
        if (face) {
            std::lock_guard<std::mutex> guard(freetypeLock());
            FT_Done_Face(face);
        }
    }

    const Glyph& glyph(unsigned char byte) const {
        std::unique_ptr<Glyph>& made = glyphs[byte];
        if (made)
            return *made;
        made = std::make_unique<Glyph>();
        Glyph& g = *made;
        if (remembered) {
            remembered->glyph(byte, g);
            return g;
        }
        std::lock_guard<std::mutex> guard(freetypeLock());
        const FT_UInt index = FT_Get_Char_Index(face, codePoint(byte));
        if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP) != 0)
            return g;
        FT_GlyphSlot slot = face->glyph;
        if (slant)
            FT_GlyphSlot_Oblique(slot);
        if (thicken)
            FT_GlyphSlot_Embolden(slot);
        g.advance = int((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0 || slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
            return g;
        const FT_Bitmap& b = slot->bitmap;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = int(b.width);
        g.rows = int(b.rows);
        g.pitch = (g.width + 7) / 8;
        g.bits.assign(size_t(g.pitch) * size_t(g.rows), 0);
        for (int r = 0; r < g.rows; ++r) {
            const unsigned char* source = b.buffer + (b.pitch >= 0 ? r * b.pitch : (g.rows - 1 - r) * -b.pitch);
            std::copy(source, source + g.pitch, g.bits.begin() + size_t(r) * size_t(g.pitch));
        }
        return g;
    }
};

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

std::shared_ptr<const Font> Font::fromFile(const std::string& path, int index, int size, bool bold, bool italic,
                                           bool fileIsBold, bool fileIsItalic) {
    if (path.empty())
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const std::string key = rememberedFontKey(path, index, size, bold, italic, fileIsBold, fileIsItalic);
    if (auto remembered = RememberedFont::recall(key)) {
        impl->family = remembered->family();
        impl->cell = remembered->cell();
        impl->ascent = remembered->ascent();
        impl->remembered = std::move(remembered);
        return std::shared_ptr<const Font>(new Font(std::move(impl)));
    }
    {
        std::lock_guard<std::mutex> guard(freetypeLock());
        // Any other format, or a file the TrueType driver refuses, gets every module's chance.
        FT_Library first = trueTypeLibrary();
        bool opened = first && FT_New_Face(first, path.c_str(), index, &impl->face) == 0;
        if (!opened) {
            FT_Library all = fullLibrary();
            opened = all && FT_New_Face(all, path.c_str(), index, &impl->face) == 0;
        }
        if (!opened) {
            impl->face = nullptr;
            return nullptr;
        }
    }
    FT_Face face = impl->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)
        return nullptr;
    impl->family = face->family_name ? face->family_name : "";
    impl->thicken = bold && !fileIsBold;
    impl->slant = italic && !fileIsItalic;

    // The cell is the font's Windows ascent and descent; fonts without them use the typographic ones.
    const double unitsPerEm = face->units_per_EM;
    double ascentUnits = face->ascender, descentUnits = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        ascentUnits = os2->usWinAscent;
        descentUnits = os2->usWinDescent;
    }
    if (ascentUnits + descentUnits <= 0) {
        ascentUnits = unitsPerEm * 0.8;
        descentUnits = unitsPerEm * 0.2;
    }
    const double cellUnits = ascentUnits + descentUnits;
    double emPixels;
    if (size > 0) {
        impl->cell = std::min(size, kMaxCellHeight);
        emPixels = impl->cell * unitsPerEm / cellUnits;
    } else if (size < 0) {
        emPixels = std::min(-double(size), double(kMaxCellHeight));
        impl->cell = std::max(1, int(std::lround(emPixels * cellUnits / unitsPerEm)));
    } else {
        impl->cell = kDefaultCellHeight;
        emPixels = impl->cell * unitsPerEm / cellUnits;
    }
    impl->ascent = int(std::lround(impl->cell * ascentUnits / cellUnits));
    {
        std::lock_guard<std::mutex> guard(freetypeLock());
        const FT_F26Dot6 em = std::max<FT_F26Dot6>(1, FT_F26Dot6(std::lround(emPixels * 64.0)));
        if (FT_Set_Char_Size(face, 0, em, 72, 72) != 0)
            return nullptr;
    }
    // Every glyph is drawn once now, so that later runs find the whole font remembered.
    if (!key.empty() && impl->cell <= kMaxRememberedCell) {
        FontPicture font;
        font.family = impl->family;
        font.cell = impl->cell;
        font.ascent = impl->ascent;
        for (int byte = 0; byte < 256; ++byte)
            font.glyphs[size_t(byte)] = impl->glyph(static_cast<unsigned char>(byte));
        rememberFont(key, font);
    }
    return std::shared_ptr<const Font>(new Font(std::move(impl)));
}

std::shared_ptr<const Font> Font::make(const std::string& name, int size, int style) {
    using Key = std::tuple<std::string, int, int>;
    static std::mutex cacheLock;
    static std::map<Key, std::shared_ptr<const Font>> cache;
    const std::string key = lowered(name);
    style &= 3;
    std::lock_guard<std::mutex> guard(cacheLock);
    if (auto it = cache.find({key, size, style}); it != cache.end())
        return it->second;

    bool bold = style == kStyleBold || style == kStyleBoldItalic;
    const bool italic = style == kStyleItalic || style == kStyleBoldItalic;
    int made = size;
    // "system" names the system's own bold screen font, which has no cell below 16 pixels.
    if (key == "system") {
        bold = true;
        if (made >= 0)
            made = std::max(made, kDefaultCellHeight);
    }
    const FontFile file = resolveFont(name, bold, italic);
    auto font = fromFile(file.path, file.index, made, bold, italic, file.bold, file.italic);
    if (!font)
        return nullptr;
    // A program that changes fonts all the time does not fill the memory with them: the kept
    // fonts are bounded in number and in height (large glyphs take the most room).
    static int keptHeight = 0;
    if (cache.size() >= 64 || keptHeight + font->cellHeight() > 4 * kMaxCellHeight) {
        cache.clear();
        keptHeight = 0;
    }
    cache[{key, size, style}] = font;
    keptHeight += font->cellHeight();
    return font;
}

TextExtent Font::measure(std::string_view text) const {
    TextExtent extent{0, impl_->cell};
    for (char c : text)
        extent.width += impl_->glyph(static_cast<unsigned char>(c)).advance;
    return extent;
}

void Font::draw(Surface& target, int x, int y, std::string_view text, uint32_t ink,
                std::optional<uint32_t> paper) const {
    if (target.empty())
        return;
    if (paper) {
        const int width = measure(text).width;
        const int left = std::max(0, x), right = std::min(target.width, x + width);
        const int top = std::max(0, y), bottom = std::min(target.height, y + impl_->cell);
        for (int row = top; row < bottom; ++row)
            for (int col = left; col < right; ++col)
                target.setPixel(col, row, *paper);
    }
    const int baseline = y + impl_->ascent;
    int pen = x;
    for (char c : text) {
        const Glyph& g = impl_->glyph(static_cast<unsigned char>(c));
        for (int r = 0; r < g.rows; ++r) {
            const int py = baseline - g.top + r;
            if (py < 0 || py >= target.height)
                continue;
            const uint8_t* bits = g.bits.data() + size_t(r) * size_t(g.pitch);
            for (int col = 0; col < g.width; ++col) {
                const int px = pen + g.left + col;
                if (px >= 0 && px < target.width && (bits[col >> 3] & (0x80 >> (col & 7))))
                    target.setPixel(px, py, ink);
            }
        }
        pen += g.advance;
    }
}

int Font::cellHeight() const { return impl_->cell; }
int Font::ascent() const { return impl_->ascent; }
const std::string& Font::family() const { return impl_->family; }
const std::string& Font::file() const { return impl_->path; }

} // namespace display
