// The text-entry buffer: every character typed since it was last cleared, always zero-terminated.
// It starts with room for 256 bytes; when the room minus 5 is less than the length, the room doubles
// before the next character goes in.
#pragma once

#include <string>
#include <vector>

namespace host {

class EntryBuffer {
  public:
    static constexpr size_t kInitialCapacity = 256;

    EntryBuffer() : bytes_(kInitialCapacity, 0) {}

    void append(char c) {
        if (bytes_.size() - 5 < length_) {
            std::vector<char> bigger(bytes_.size() * 2, 0);
            std::copy(bytes_.begin(), bytes_.begin() + static_cast<long>(length_), bigger.begin());
            bytes_.swap(bigger);
        }
        bytes_[length_++] = c;
        bytes_[length_] = 0;
    }
    void clear() {
        length_ = 0;
        bytes_[0] = 0;
    }
    std::string text() const { return std::string(bytes_.data(), length_); }
    size_t length() const { return length_; }
    size_t capacity() const { return bytes_.size(); }
    // The byte after the text (always 0).
    char terminator() const { return bytes_[length_]; }

  private:
    std::vector<char> bytes_;
    size_t length_ = 0;
};

} // namespace host
