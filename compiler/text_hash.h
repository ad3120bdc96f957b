// Hashed tables keyed by texts that are looked up by view, so that a look-up with a piece of a line
// builds no string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace compiler {

// Eight bytes at a time, then the last few one by one: cheaper on short names than the library's
// hash, and hashing is most of the cost of a look-up.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept {
        constexpr uint64_t kMultiplier = 0xBF58476D1CE4E5B9ull;
        uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
        const char* bytes = text.data();
        size_t left = text.size();
        for (; left >= 8; bytes += 8, left -= 8) {
            uint64_t word;
            std::memcpy(&word, bytes, 8);
            hash = (hash ^ word) * kMultiplier;
            hash ^= hash >> 31;
        }
        // The last few bytes in at most two loads; the length, in the seed, tells overlapping reads apart.
        uint64_t tail = 0;
        if (text.size() >= 8) {
            if (left > 0) std::memcpy(&tail, text.data() + text.size() - 8, 8);
        } else if (left >= 4) {
            uint32_t first, last;
            std::memcpy(&first, bytes, 4);
            std::memcpy(&last, bytes + left - 4, 4);
            tail = static_cast<uint64_t>(first) << 32 | last;
        } else if (left > 0) {
            tail = static_cast<uint64_t>(static_cast<unsigned char>(bytes[0])) << 16 |
                   static_cast<uint64_t>(static_cast<unsigned char>(bytes[left / 2])) << 8 |
                   static_cast<unsigned char>(bytes[left - 1]);
        }
        hash = (hash ^ tail) * kMultiplier;
        hash ^= hash >> 29;
        return static_cast<size_t>(hash);
    }
};

template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

}  // namespace compiler
