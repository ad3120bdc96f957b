// The system's remembered state: section "ZorvaneStateData" of win.ini in the configuration folder.
// Values are read when asked for and written through at once. A file that cannot be read gives the
// defaults; a folder that cannot be written is reported once (through the warning callback) and the
// program goes on without remembering.
#pragma once

#include <functional>
#include <string>

#include "platform/profile.h"

namespace host {

constexpr const char *kStateSection = "ZorvaneStateData";
constexpr const char *kStateFile = "win.ini";

class StateStore {
  public:
    explicit StateStore(std::string configFolder, std::function<void(const std::string &)> warn = {});

    // A key's value; the built-in defaults ("BEST3DDEPTH" "16", others "") unless `fallback` is given.
    std::string get(const std::string &key) const;
    std::string get(const std::string &key, const std::string &fallback) const;
    bool set(const std::string &key, const std::string &value);
    const std::string &path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
    std::function<void(const std::string &)> warn_;
    mutable bool readWarned_ = false;
    bool writeWarned_ = false;
};

} // namespace host
