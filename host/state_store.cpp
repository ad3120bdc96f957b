#include "host/state_store.h"

#include <cctype>

#include "platform/files.h"

namespace host {
namespace {

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string builtInDefault(const std::string &key) {
    return upper(key) == "BEST3DDEPTH" ? "16" : "";
}

} // namespace

StateStore::StateStore(std::string configFolder, std::function<void(const std::string &)> warn)
    : folder_(std::move(configFolder)), path_(folder_ + "/" + kStateFile), warn_(std::move(warn)) {}

std::string StateStore::get(const std::string &key) const {
    return get(key, builtInDefault(key));
}

std::string StateStore::get(const std::string &key, const std::string &fallback) const {
    platform::ProfileFile file(path_);
    if (file.load() == platform::ProfileFile::LoadStatus::Unreadable && !readWarned_) {
        readWarned_ = true;
        if (warn_)
            warn_("cannot read " + path_ + "; using the default state");
    }
    return file.get(kStateSection, key, fallback);
}

bool StateStore::set(const std::string &key, const std::string &value) {
    std::string error;
    bool ok = platform::makeFolders(folder_);
    if (ok)
        ok = platform::writeProfileString(path_, kStateSection, key, value, &error);
    else
        error = "cannot create the folder " + folder_;
    if (!ok && !writeWarned_) {
        writeWarned_ = true;
        if (warn_)
            warn_(error + "; settings will not be remembered");
    }
    return ok;
}

} // namespace host
