#include "compiler/image_writer.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace compiler {

namespace {

class WordWriter {
public:
    void word(uint32_t value) {
        uint8_t little[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        bytes_.insert(bytes_.end(), little, little + 4);
    }
    // Many words at once (little-endian hosts copy them whole).
    void words(const int32_t* values, size_t count) {
        if constexpr (std::endian::native == std::endian::little) {
            const auto* raw = reinterpret_cast<const uint8_t*>(values);
            bytes_.insert(bytes_.end(), raw, raw + count * 4);
        } else {
            for (size_t i = 0; i < count; ++i) word(static_cast<uint32_t>(values[i]));
        }
    }
    // The same word `count` times.
    void repeat(uint32_t value, size_t count) {
        uint8_t little[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        size_t start = bytes_.size();
        bytes_.resize(start + count * 4);
        for (size_t i = 0; i < count; ++i) std::memcpy(bytes_.data() + start + i * 4, little, 4);
    }
    // Bytes padded with zeros to `words` words.
    void bytes(const std::string& data, size_t words) {
        size_t start = bytes_.size();
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        bytes_.resize(start + words * 4, 0);
    }
    size_t words() const { return bytes_.size() / 4; }
    void patch(size_t wordIndex, uint32_t value) {
        for (int b = 0; b < 4; ++b) bytes_[wordIndex * 4 + b] = static_cast<uint8_t>(value >> (8 * b));
    }
    std::vector<uint8_t> take() { return std::move(bytes_); }
    void reserve(size_t words) { bytes_.reserve(words * 4); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace

namespace {

// Everything in front of the code: the header with every offset filled in, and the tables.
void writeFront(WordWriter& out, const CompiledProgram& program) {
    for (int i = 0; i < kImageHeaderWords; ++i) out.word(0);
    out.patch(0, 1);
    out.patch(1, static_cast<uint32_t>(out.words()));
    for (int32_t value : program.intConstants) out.word(static_cast<uint32_t>(value));
    out.patch(2, static_cast<uint32_t>(out.words()));
    for (uint32_t bits : program.realConstants) out.word(bits);
    out.patch(3, static_cast<uint32_t>(out.words()));
    out.patch(4, static_cast<uint32_t>(program.stringConstants.size()));

    // The string area is sized as if an empty string took two bytes; it is written as one.
    size_t counted = 0;
    std::string strings;
    for (const std::string& text : program.stringConstants) {
        counted += text.empty() ? 2 : text.size() + 1;
        strings += text;
        strings += '\0';
    }
    out.bytes(strings, counted / 4 + 1);
    out.patch(5, static_cast<uint32_t>(out.words()));
    out.patch(6, static_cast<uint32_t>(program.data.size()));

    std::string types;
    for (const DataItem& item : program.data) types += item.type;
    out.bytes(types, program.data.size() / 4 + 1);
    for (const DataItem& item : program.data) {
        if (item.type == 's')
            out.bytes(item.text, (item.text.size() + 1) / 4 + 1);
        else
            out.word(static_cast<uint32_t>(item.value));
    }

    size_t ownersStart = out.words();
    for (int t = 0; t < 3; ++t) {
        out.word(static_cast<uint32_t>(program.owners[t].size()));
        for (int16_t owner : program.owners[t]) out.word(static_cast<uint32_t>(static_cast<int32_t>(owner)));
    }
    out.patch(7, static_cast<uint32_t>(out.words()));
    for (int t = 0; t < 3; ++t) out.patch(8 + t, static_cast<uint32_t>(program.owners[t].size()));
    out.patch(11, static_cast<uint32_t>(out.words() - ownersStart));
}

// A file written with plain calls: no stream (and no C++ locale) is set up for it.
class FileSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    void write(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (ok_ && size > 0) {
            const ssize_t done = ::write(fd_, bytes, size);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) {
                ok_ = false;
                break;
            }
            bytes += done;
            size -= static_cast<size_t>(done);
        }
    }
    bool ok() const { return ok_; }

private:
    int fd_;
    bool ok_ = true;
};

// Writes through `fill` to a temporary file beside `path`, then gives it the name `path`. The old
// image is removed just before: ext4 writes a file renamed over another one out to disk at once,
// which costs a compile more than writing the image. A compiled image is output each compile makes
// afresh, and the new one is complete and closed before the old one goes.
bool writeAtomically(const std::string& path, const std::function<void(FileSink&)>& fill) {
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    FileSink file(fd);
    fill(file);
    const bool closed = ::close(fd) == 0;
    if (file.ok() && closed) ::unlink(path.c_str());
    if (!file.ok() || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> buildImage(const CompiledProgram& program) {
    WordWriter out;
    out.reserve(kImageHeaderWords + program.intConstants.size() + program.realConstants.size() +
                program.data.size() * 2 + program.code.size() * 2 + 4096);
    writeFront(out, program);
    out.words(program.code.data(), program.code.size());
    for (const LineRun& run : program.lines) out.repeat(static_cast<uint32_t>(run.line), static_cast<size_t>(run.words));
    return out.take();
}

bool writeImageAtomically(const std::string& path, const CompiledProgram& program) {
    return writeAtomically(path, [&](FileSink& file) {
        WordWriter front;
        writeFront(front, program);
        std::vector<uint8_t> bytes = front.take();
        file.write(bytes.data(), bytes.size());
        // The code and the line words go out through one small buffer instead of a copy of the image.
        constexpr size_t kChunkWords = 4096;
        uint8_t chunk[kChunkWords * 4];
        size_t used = 0;
        auto put = [&](uint32_t value) {
            chunk[used * 4] = static_cast<uint8_t>(value);
            chunk[used * 4 + 1] = static_cast<uint8_t>(value >> 8);
            chunk[used * 4 + 2] = static_cast<uint8_t>(value >> 16);
            chunk[used * 4 + 3] = static_cast<uint8_t>(value >> 24);
            if (++used == kChunkWords) {
                file.write(chunk, sizeof chunk);
                used = 0;
            }
        };
        if constexpr (std::endian::native == std::endian::little)
            file.write(program.code.data(), program.code.size() * 4);
        else
            for (int32_t word : program.code) put(static_cast<uint32_t>(word));
        for (const LineRun& run : program.lines)
            for (int32_t k = 0; k < run.words; ++k) put(static_cast<uint32_t>(run.line));
        file.write(chunk, used * 4);
    });
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    return writeAtomically(path, [&](FileSink& file) {
        file.write(bytes.data(), bytes.size());
    });
}

}  // namespace compiler
