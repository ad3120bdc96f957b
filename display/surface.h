// CPU surfaces: every picture the system holds (the back buffer, the primary surface, bitmaps,
// images, decoded files) is a Surface in one PixelLayout. Colours in the language are 0xRRGGBB;
// a surface stores them packed for its own layout, 16, 24 or 32 bits per pixel.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace display {

// Pixel memory comes from calloc and new elements are left as they are: a fresh screen-sized
// surface is then zero pages the system has not handed out yet, and only the parts drawn on are
// ever brought in. (Only a vector that was empty may grow this way: elements are not cleared.)
template <class T>
struct ZeroPageAllocator {
    using value_type = T;
    ZeroPageAllocator() = default;
    template <class U>
    ZeroPageAllocator(const ZeroPageAllocator<U> &) {}
    T *allocate(size_t count) {
        void *memory = std::calloc(count ? count : 1, sizeof(T));
        if (!memory)
            throw std::bad_alloc();
        return static_cast<T *>(memory);
    }
    void deallocate(T *memory, size_t) { std::free(memory); }
    template <class U>
    void construct(U *) noexcept {}
    template <class U, class... Args>
    void construct(U *at, Args &&...args) {
        ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const ZeroPageAllocator<U> &) const {
        return true;
    }
};

using PixelBytes = std::vector<uint8_t, ZeroPageAllocator<uint8_t>>;

// How a pixel's bits split into red, green and blue, derived from the three channel masks. The
// masks are taken to be contiguous and ordered red above green above blue, which holds for every
// layout the system creates (565, 888 in 24 and 32 bits).
struct PixelLayout {
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    int blueBits = 0, greenBits = 0, redBits = 0;
    int greenShift = 0, redShift = 0;
    uint32_t redMax = 0, greenMax = 0, blueMax = 0;

    static constexpr PixelLayout fromMasks(uint32_t red, uint32_t green, uint32_t blue) {
        PixelLayout layout;
        layout.redMask = red;
        layout.greenMask = green;
        layout.blueMask = blue;
        layout.blueBits = std::bit_width(blue);
        layout.greenBits = std::max(0, int(std::bit_width(green)) - layout.blueBits);
        layout.redBits = std::max(0, int(std::bit_width(red)) - layout.blueBits - layout.greenBits);
        layout.greenShift = layout.blueBits;
        layout.redShift = layout.blueBits + layout.greenBits;
        layout.redMax = (1u << layout.redBits) - 1;
        layout.greenMax = (1u << layout.greenBits) - 1;
        layout.blueMax = (1u << layout.blueBits) - 1;
        return layout;
    }

    // The layouts of the display modes: 16 bits is RGB 565, 24 and 32 bits are 8 bits per channel.
    static constexpr PixelLayout forDepth(int bitsPerPixel) {
        if (bitsPerPixel == 16)
            return fromMasks(0xF800, 0x07E0, 0x001F);
        return fromMasks(0xFF0000, 0x00FF00, 0x0000FF);
    }

    // channel' = trunc(channel * max / 255) each; pixel = blue' + red' << redShift + green' << greenShift.
    constexpr uint32_t pack(uint32_t rgb) const {
        const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        return (b * blueMax / 255) + ((r * redMax / 255) << redShift) + ((g * greenMax / 255) << greenShift);
    }

    // The reverse: channel = trunc(255 / max * channel'), with the division done in real
    // arithmetic first as the original order of operations gives (31 -> 255, 1 -> 8).
    constexpr uint32_t unpack(uint32_t pixel) const {
        const uint32_t r = redMax ? (pixel >> redShift) & redMax : 0;
        const uint32_t g = greenMax ? (pixel >> greenShift) & greenMax : 0;
        const uint32_t b = blueMax ? pixel & blueMax : 0;
        auto widen = [](uint32_t value, uint32_t max) -> uint32_t {
            if (max == 0)
                return 0;
            return uint32_t(255.0 / double(max) * double(value));
        };
        return (widen(r, redMax) << 16) | (widen(g, greenMax) << 8) | widen(b, blueMax);
    }

    constexpr bool operator==(const PixelLayout &) const = default;
};

// A picture in memory. Rows are `pitch` bytes apart (pitch >= width * bytesPerPixel); pixels are
// stored little-endian in 2, 3 or 4 bytes. The colour key, when set, is a packed pixel value that
// colour-keyed copies leave out.
struct Surface {
    int width = 0;
    int height = 0;
    int pitch = 0;
    int bytesPerPixel = 2;
    PixelLayout layout = PixelLayout::forDepth(16);
    PixelBytes pixels;
    std::optional<uint32_t> colourKey;
    // Every pixel is zero and nothing has asked to write since: clearing to black and copying
    // between two such surfaces have nothing to do. Writers reach the pixels through row() (or
    // setPixel), which drops the mark; code writing `pixels` directly keeps it right itself.
    bool blank = false;
    // Per row: something may have written it since presentation last copied this surface or into
    // it (same rule: row() and setPixel mark it), so a presentation copies only those rows.
    std::vector<uint8_t> rowsWritten;

    Surface() = default;
    Surface(int w, int h, int bitsPerPixel) { reset(w, h, bitsPerPixel); }

    // Reallocates for a new size and depth (16, 24 or 32), all pixels zero, no colour key.
    void reset(int w, int h, int bitsPerPixel) {
        width = std::max(0, w);
        height = std::max(0, h);
        bytesPerPixel = std::clamp(bitsPerPixel / 8, 2, 4);
        layout = PixelLayout::forDepth(bytesPerPixel * 8);
        pitch = width * bytesPerPixel;
        pixels = PixelBytes();
        pixels.resize(size_t(pitch) * size_t(height)); // zero, see ZeroPageAllocator
        blank = true;
        rowsWritten.assign(size_t(height), 1);
        colourKey.reset();
    }

    int bitsPerPixel() const { return bytesPerPixel * 8; }
    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    uint8_t *row(int y) {
        blank = false;
        if (size_t(y) < rowsWritten.size())
            rowsWritten[size_t(y)] = 1;
        return pixels.data() + size_t(y) * size_t(pitch);
    }
    const uint8_t *row(int y) const { return pixels.data() + size_t(y) * size_t(pitch); }

    // Raw packed pixel access; callers check bounds (contains) first.
    uint32_t pixel(int x, int y) const {
        const uint8_t *p = row(y) + size_t(x) * size_t(bytesPerPixel);
        uint32_t value = p[0] | (uint32_t(p[1]) << 8);
        if (bytesPerPixel >= 3)
            value |= uint32_t(p[2]) << 16;
        if (bytesPerPixel == 4)
            value |= uint32_t(p[3]) << 24;
        return value;
    }
    void setPixel(int x, int y, uint32_t value) {
        uint8_t *p = row(y) + size_t(x) * size_t(bytesPerPixel);
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        if (bytesPerPixel >= 3)
            p[2] = uint8_t(value >> 16);
        if (bytesPerPixel == 4)
            p[3] = uint8_t(value >> 24);
    }

    // Colour access in the language's 0xRRGGBB, through the layout.
    uint32_t colour(int x, int y) const { return layout.unpack(pixel(x, y)); }
    void setColour(int x, int y, uint32_t rgb) { setPixel(x, y, layout.pack(rgb)); }

    // Fills the whole surface with one packed value.
    void fill(uint32_t packed) {
        if (empty() || (packed == 0 && blank))
            return;
        uint8_t *first = row(0);
        for (int x = 0; x < width; ++x)
            setPixel(x, 0, packed);
        for (int y = 1; y < height; ++y)
            std::memcpy(row(y), first, size_t(width) * size_t(bytesPerPixel));
        // Rows are whole when pitch is width * bytes; otherwise padding keeps old bytes.
        blank = packed == 0 && pitch == width * bytesPerPixel;
    }
    void fillColour(uint32_t rgb) { fill(layout.pack(rgb)); }

    // The transparency key every drawable surface gets: black packed in the surface's layout.
    void setBlackKey() { colourKey = layout.pack(0); }
};

} // namespace display
