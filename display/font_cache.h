// Fonts as drawn, remembered between runs: the metrics and the 256 one-bit glyphs of a font file at
// one size and style, kept in the user's cache folder. A program's first print then needs no font
// engine at all; starting one and hinting the glyphs costs more than a short program's whole run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace display {

struct FontGlyph {
    int left = 0, top = 0, width = 0, rows = 0, pitch = 0, advance = 0;
    std::vector<uint8_t> bits;  // one bit per pixel, the leftmost in the top bit; `pitch` bytes a row
};

// Fonts up to this cell height are remembered (a file of at most a few tens of kilobytes each).
inline constexpr int kMaxRememberedCell = 40;

struct RememberedFont {
    std::string family;
    int cell = 0;
    int ascent = 0;
    std::array<FontGlyph, 256> glyphs;
};

// What names one font as drawn: the file (with its identity on disk, so an edited or replaced file
// is drawn afresh), the face, the size and the style. Empty when the file cannot be looked at.
std::string rememberedFontKey(const std::string& path, int index, int size, bool bold, bool italic,
                              bool fileIsBold, bool fileIsItalic);

// The font remembered under `key`; nothing when there is none or the file is damaged.
std::unique_ptr<RememberedFont> recallFont(const std::string& key);
// Remembers the font under `key` (written to a temporary file and renamed: a run reading it at the
// same time sees the old file or the new one). Failures are silent: the cache is only a shortcut.
void rememberFont(const std::string& key, const RememberedFont& font);

// The bytes of a remembered font, and their reading back (exposed for tests of damaged files).
std::string encodeRememberedFont(const std::string& key, const RememberedFont& font);
std::unique_ptr<RememberedFont> decodeRememberedFont(const std::string& key, const std::string& bytes);

}  // namespace display
