#include "display/font_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace display {
namespace {

constexpr char kMagic[] = "zorvane font 1\n";
constexpr size_t kMagicLength = sizeof kMagic - 1;
constexpr int kMaxGlyphSide = 4 * kMaxRememberedCell;

void putWord(std::string& out, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void putText(std::string& out, const std::string& text) {
    putWord(out, static_cast<int32_t>(text.size()));
    out += text;
}

// Reads the bytes front to back; any read past the end makes the whole file unusable.
class Reader {
  public:
    Reader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
    bool word(int32_t& value) {
        if (size_ - at_ < 4) return false;
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= uint32_t(bytes_[at_ + size_t(k)]) << (8 * k);
        at_ += 4;
        value = static_cast<int32_t>(v);
        return true;
    }
    bool text(std::string& out, size_t limit) {
        int32_t length = 0;
        if (!word(length) || length < 0 || size_t(length) > limit || size_ - at_ < size_t(length)) return false;
        out.assign(reinterpret_cast<const char*>(bytes_ + at_), size_t(length));
        at_ += size_t(length);
        return true;
    }
    bool skip(size_t count) {
        if (size_ - at_ < count) return false;
        at_ += count;
        return true;
    }
    size_t at() const { return at_; }
    void moveTo(size_t at) { at_ = at; }
    bool atEnd() const { return at_ == size_; }

  private:
    const uint8_t* bytes_;
    size_t size_;
    size_t at_ = kMagicLength;
};

// A glyph record's six words; false when they cannot be a glyph of a remembered font.
bool readGlyphHeader(Reader& in, FontGlyph& g) {
    int32_t v[6];
    for (int32_t& value : v)
        if (!in.word(value)) return false;
    g.left = v[0], g.top = v[1], g.width = v[2], g.rows = v[3], g.pitch = v[4], g.advance = v[5];
    return g.width >= 0 && g.width <= kMaxGlyphSide && g.rows >= 0 && g.rows <= kMaxGlyphSide &&
           g.pitch == (g.width + 7) / 8 && g.left >= -kMaxGlyphSide && g.left <= kMaxGlyphSide &&
           g.top >= -kMaxGlyphSide && g.top <= kMaxGlyphSide && g.advance >= -kMaxGlyphSide &&
           g.advance <= kMaxGlyphSide;
}

std::string fileFor(const std::string& key) { return platform::cacheFolder() + "/font-" + platform::hashName(key); }

}  // namespace

std::string rememberedFontKey(const std::string& path, int index, int size, bool bold, bool italic,
                              bool fileIsBold, bool fileIsItalic) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    // Plain number conversion: this runs at every start, and formatted printing costs a first use.
    std::string key = path;
    for (long long value : {static_cast<long long>(index), static_cast<long long>(size),
                            static_cast<long long>(bold), static_cast<long long>(italic),
                            static_cast<long long>(fileIsBold), static_cast<long long>(fileIsItalic),
                            static_cast<long long>(info.st_dev), static_cast<long long>(info.st_ino),
                            static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
                            static_cast<long long>(info.st_mtim.tv_nsec), static_cast<long long>(FREETYPE_MAJOR),
                            static_cast<long long>(FREETYPE_MINOR), static_cast<long long>(FREETYPE_PATCH)}) {
        char digits[24];
        key += '|';
        key.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    return key;
}

std::string encodeRememberedFont(const std::string& key, const FontPicture& font) {
    std::string out(kMagic, kMagicLength);
    putText(out, key);
    putText(out, font.family);
    putWord(out, font.cell);
    putWord(out, font.ascent);
    for (const FontGlyph& g : font.glyphs) {
        for (int value : {g.left, g.top, g.width, g.rows, g.pitch, g.advance})
            putWord(out, value);
        out.append(reinterpret_cast<const char*>(g.bits.data()), g.bits.size());
    }
    return out;
}

bool RememberedFont::check(const std::string& key) {
    if (size_ < kMagicLength || std::memcmp(bytes_, kMagic, kMagicLength) != 0) return false;
    Reader in(bytes_, size_);
    std::string storedKey;
    if (!in.text(storedKey, 4096) || storedKey != key || !in.text(family_, 4096)) return false;
    int32_t cell = 0, ascent = 0;
    if (!in.word(cell) || !in.word(ascent) || cell < 1 || cell > kMaxRememberedCell || ascent < 0 || ascent > cell)
        return false;
    cell_ = cell;
    ascent_ = ascent;
    for (uint32_t& at : glyphAt_) {
        at = static_cast<uint32_t>(in.at());
        FontGlyph g;
        if (!readGlyphHeader(in, g) || !in.skip(size_t(g.pitch) * size_t(g.rows))) return false;
    }
    return in.atEnd();
}

void RememberedFont::glyph(unsigned char byte, FontGlyph& out) const {
    // Checked whole when opened: every record reads.
    Reader in(bytes_, size_);
    in.moveTo(glyphAt_[byte]);
    readGlyphHeader(in, out);
    const uint8_t* bits = bytes_ + in.at();
    out.bits.assign(bits, bits + size_t(out.pitch) * size_t(out.rows));
}

std::unique_ptr<RememberedFont> RememberedFont::decode(const std::string& key, std::string bytes) {
    auto font = std::unique_ptr<RememberedFont>(new RememberedFont);
    font->ownBytes_ = std::move(bytes);
    font->bytes_ = reinterpret_cast<const uint8_t*>(font->ownBytes_.data());
    font->size_ = font->ownBytes_.size();
    return font->check(key) ? std::move(font) : nullptr;
}

std::unique_ptr<RememberedFont> RememberedFont::recall(const std::string& key) {
    // Read rather than mapped: a file cut short by someone else while mapped would fault the run.
    std::string bytes;
    if (key.empty() || !platform::readFile(fileFor(key), bytes)) return nullptr;
    return decode(key, std::move(bytes));
}

// Not platform::writeFileAtomically: its fixed temporary name would let two runs remembering the
// same font at once mix their bytes, and a cache needs no flush to disk.
void rememberFont(const std::string& key, const FontPicture& font) {
    if (key.empty() || font.cell > kMaxRememberedCell) return;
    const std::string folder = platform::cacheFolder();
    if (!platform::makeFolders(folder)) return;
    // A temporary name of this process's own: two runs remembering the same font do not mix bytes.
    const std::string target = fileFor(key);
    const std::string temporary = target + ".tmp" + std::to_string(::getpid());
    const std::string bytes = encodeRememberedFont(key, font);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), target.c_str()) != 0)
        std::remove(temporary.c_str());
}

}  // namespace display
