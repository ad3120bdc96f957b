// The user's registry values, kept in a profile file in the configuration folder
// ("registry.ini"): one section per key path (matched without regard to case, backslashes between
// its parts), one line per value. Integer values are stored as "dword:<decimal>", text values as is.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class Registry {
  public:
    // The default file is configFolder() + "/registry.ini".
    explicit Registry(std::string path = {});

    const std::string &path() const { return path_; }
    // Writes through at once; false (and the file unchanged) when it cannot be written.
    bool setInteger(const std::string &keyPath, const std::string &name, int32_t value);
    bool integer(const std::string &keyPath, const std::string &name, int32_t &value) const;
    bool setText(const std::string &keyPath, const std::string &name, const std::string &value);
    bool text(const std::string &keyPath, const std::string &name, std::string &value) const;

  private:
    std::string path_;
    mutable bool warned_ = false; // an unreadable file is reported once
};

// Key paths as stored: forward slashes turned into backslashes, repeated and outer backslashes dropped.
std::string normaliseKeyPath(const std::string &keyPath);

} // namespace platform
