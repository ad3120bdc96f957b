#include "platform/registry.h"

#include <cerrno>
#include <cstdlib>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace platform {
namespace {
constexpr const char *kDwordPrefix = "dword:";
}

std::string normaliseKeyPath(const std::string &keyPath) {
    std::string out;
    for (char c : keyPath) {
        if (c == '/')
            c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\'))
            continue;
        // Brackets would end the section header early; they cannot be part of a stored key path.
        if (c == '[' || c == ']')
            c = '_';
        out += c;
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

Registry::Registry(std::string path) : path_(path.empty() ? configFolder() + "/registry.ini" : std::move(path)) {}

bool Registry::setText(const std::string &keyPath, const std::string &name, const std::string &value) {
    makeFolders(folderOf(path_));
    return writeProfileString(path_, normaliseKeyPath(keyPath), name, value);
}

bool Registry::text(const std::string &keyPath, const std::string &name, std::string &value) const {
    ProfileFile file(path_);
    if (file.load() == ProfileFile::LoadStatus::Unreadable && !warned_) {
        warned_ = true;
        messageToStderr("zorvane", "warning: cannot read the registry file " + path_ + "; its values read as missing");
    }
    std::string section = normaliseKeyPath(keyPath);
    if (!file.has(section, name))
        return false;
    value = file.get(section, name);
    return true;
}

bool Registry::setInteger(const std::string &keyPath, const std::string &name, int32_t value) {
    return setText(keyPath, name, kDwordPrefix + std::to_string(value));
}

bool Registry::integer(const std::string &keyPath, const std::string &name, int32_t &value) const {
    std::string stored;
    if (!text(keyPath, name, stored) || stored.rfind(kDwordPrefix, 0) != 0)
        return false;
    const char *digits = stored.c_str() + 6;
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(digits, &end, 10);
    if (end == digits || *end || errno || parsed < INT32_MIN || parsed > UINT32_MAX)
        return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(parsed));
    return true;
}

} // namespace platform
