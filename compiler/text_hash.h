// Hashed tables keyed by texts that are looked up by view, so that a look-up with a piece of a line
// builds no string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace compiler {

// FNV-1a over the bytes: names are short, and this is cheaper on them than the library's hash.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept {
        uint64_t hash = 14695981039346656037ull;
        for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
        return static_cast<size_t>(hash);
    }
};

template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

}  // namespace compiler
