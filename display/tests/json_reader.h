// A small JSON reader for the test corpus facts (objects, arrays, strings, numbers, true, false,
// null). Test support only: malformed input throws std::runtime_error.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace display::testing {

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  bool isNull() const { return kind == Kind::kNull; }
  const Json& operator[](const std::string& key) const {
    static const Json kNullValue;
    auto it = fields.find(key);
    return it == fields.end() ? kNullValue : it->second;
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : s_(text) {}
  Json parse() {
    Json value = parseValue();
    skipSpace();
    if (i_ != s_.size()) fail();
    return value;
  }

 private:
  [[noreturn]] void fail() { throw std::runtime_error("malformed JSON at " + std::to_string(i_)); }
  void skipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool take(char c) {
    skipSpace();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  Json parseValue() {
    skipSpace();
    if (i_ >= s_.size()) fail();
    Json v;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::kObject;
      if (take('}')) return v;
      do {
        skipSpace();
        std::string key = parseString();
        if (!take(':')) fail();
        v.fields[key] = parseValue();
      } while (take(','));
      if (!take('}')) fail();
    } else if (c == '[') {
      ++i_;
      v.kind = Json::Kind::kArray;
      if (take(']')) return v;
      do v.items.push_back(parseValue());
      while (take(','));
      if (!take(']')) fail();
    } else if (c == '"') {
      v.kind = Json::Kind::kString;
      v.text = parseString();
    } else if (s_.compare(i_, 4, "true") == 0) {
      i_ += 4, v.kind = Json::Kind::kBool, v.boolean = true;
    } else if (s_.compare(i_, 5, "false") == 0) {
      i_ += 5, v.kind = Json::Kind::kBool;
    } else if (s_.compare(i_, 4, "null") == 0) {
      i_ += 4;
    } else {
      size_t used = 0;
      v.kind = Json::Kind::kNumber;
      v.number = std::stod(s_.substr(i_, 32), &used);
      i_ += used;
    }
    return v;
  }
  std::string parseString() {
    if (i_ >= s_.size() || s_[i_] != '"') fail();
    ++i_;
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c == '\\' && i_ < s_.size()) {
        char e = s_[i_++];
        switch (e) {
          case 'n': out += '\n'; break;
          case 't': out += '\t'; break;
          case 'u': {
            const unsigned code = unsigned(std::stoul(s_.substr(i_, 4), nullptr, 16));
            i_ += 4;
            if (code < 0x80) {
              out += char(code);
            } else if (code < 0x800) {
              out += char(0xC0 | (code >> 6));
              out += char(0x80 | (code & 0x3F));
            } else {
              out += char(0xE0 | (code >> 12));
              out += char(0x80 | ((code >> 6) & 0x3F));
              out += char(0x80 | (code & 0x3F));
            }
            break;
          }
          default: out += e; break;
        }
      } else {
        out += c;
      }
    }
    if (i_ >= s_.size()) fail();
    ++i_;
    return out;
  }

  const std::string& s_;
  size_t i_ = 0;
};

}  // namespace display::testing
