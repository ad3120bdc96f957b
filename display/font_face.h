// A font made from a name, a size and a style, measured and drawn the way the system draws text:
// without anti-aliasing (one-bit glyphs), so that every frame with text is exact.
//
// Sizes follow the system's convention for font heights: a positive size is the cell height
// (ascent plus descent, the height of a text line), a negative size is the character height (the
// em square), and 0 asks for the default height. Extents are the sum of the glyph advances (no
// kerning) by the cell height.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace display {

struct Surface;

inline constexpr int kDefaultCellHeight = 16;
// The largest cell height a font is made with; larger sizes are kept as values but drawn this high.
inline constexpr int kMaxCellHeight = 1024;

enum TextStyle { kStyleNormal = 0, kStyleItalic = 1, kStyleBold = 2, kStyleBoldItalic = 3 };

struct TextExtent {
    int width = 0;
    int height = 0;
    bool operator==(const TextExtent&) const = default;
};

class Font {
  public:
    // The font for a program's name, size and style (0 to 3); null only when no font file at all
    // can be opened. Fonts are shared: the same request gives the same font.
    static std::shared_ptr<const Font> make(const std::string& name, int size, int style);
    // A font from a file (tests open fonts by exact file); null when FreeType refuses it.
    static std::shared_ptr<const Font> fromFile(const std::string& path, int index, int size, bool bold, bool italic,
                                                bool fileIsBold = false, bool fileIsItalic = false);
    ~Font();

    TextExtent measure(std::string_view text) const;
    // Draws `text` with the top-left of its cell at (x, y) in the packed ink colour; with `paper`,
    // the extent's rectangle is filled with that packed colour first. Clipped to the surface.
    void draw(Surface& target, int x, int y, std::string_view text, uint32_t ink,
              std::optional<uint32_t> paper) const;

    int cellHeight() const;
    int ascent() const;
    const std::string& family() const;
    const std::string& file() const;

    struct Impl;

  private:
    explicit Font(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace display
