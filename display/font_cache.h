// Fonts as drawn, remembered between runs: the metrics and the 256 one-bit glyphs of a font file at
// one size and style, kept in the user's cache folder. A program's first print then needs no font
// engine at all; starting one and hinting the glyphs costs more than a short program's whole run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace display {

struct FontGlyph {
    int left = 0, top = 0, width = 0, rows = 0, pitch = 0, advance = 0;
    std::vector<uint8_t> bits;  // one bit per pixel, the leftmost in the top bit; `pitch` bytes a row
};

// Fonts up to this cell height are remembered (a file of at most a few tens of kilobytes each).
inline constexpr int kMaxRememberedCell = 40;

// A whole font as drawn, to be remembered.
struct FontPicture {
    std::string family;
    int cell = 0;
    int ascent = 0;
    std::array<FontGlyph, 256> glyphs;
};

// A remembered font: its file is read and checked whole when opened, and a glyph is taken from it
// when first drawn (a print uses a handful of the 256).
class RememberedFont {
  public:
    const std::string& family() const { return family_; }
    int cell() const { return cell_; }
    int ascent() const { return ascent_; }
    void glyph(unsigned char byte, FontGlyph& out) const;

    // The font remembered under `key`; nothing when there is none or its file is damaged.
    static std::unique_ptr<RememberedFont> recall(const std::string& key);
    // The same from the bytes of such a file.
    static std::unique_ptr<RememberedFont> decode(const std::string& key, std::string bytes);

  private:
    bool check(const std::string& key);

    std::string ownBytes_;
    const uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    std::string family_;
    int cell_ = 0;
    int ascent_ = 0;
    std::array<uint32_t, 256> glyphAt_{};  // where each glyph's record starts
};

// What names one font as drawn: the file (with its identity on disk, so an edited or replaced file
// is drawn afresh), the face, the size and the style. Empty when the file cannot be looked at.
std::string rememberedFontKey(const std::string& path, int index, int size, bool bold, bool italic,
                              bool fileIsBold, bool fileIsItalic);

// Remembers the font under `key` (written to a temporary file and renamed: a run reading it at the
// same time sees the old file or the new one). Failures are silent: the cache is only a shortcut.
void rememberFont(const std::string& key, const FontPicture& font);
std::string encodeRememberedFont(const std::string& key, const FontPicture& font);

}  // namespace display
