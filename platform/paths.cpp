#include "platform/paths.h"

#include <cctype>
#include <cstdlib>
#include <dirent.h>   // directory listing for the case-insensitive match
#include <sys/stat.h> // lstat
#include <vector>

namespace platform {
namespace {

bool exists(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool equalNoCase(const char *a, const std::string &b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return a[i] == 0 && i == b.size();
}

std::string join(const std::string &folder, const std::string &name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

} // namespace

PathMapper::PathMapper() {
    const char *root = std::getenv("ZORVANE_DRIVE_ROOT");
    driveRoot_ = root && *root == '/' ? root : "/";
}

void PathMapper::setDrive(char letter, const std::string &folder) {
    drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = folder;
}

std::string PathMapper::driveFolder(char letter) const {
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
    return it != drives_.end() ? it->second : driveRoot_;
}

std::string findCaseInsensitive(const std::string &folder, const std::string &name) {
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    std::string best;
    while (dirent *entry = ::readdir(dir)) {
        if (equalNoCase(entry->d_name, name) && (best.empty() || best > entry->d_name))
            best = entry->d_name;
    }
    ::closedir(dir);
    return best;
}

std::string PathMapper::map(const std::string &path, const std::string &currentDir) const {
    std::string p = path;
    for (char &c : p)
        if (c == '\\')
            c = '/';
    std::string base;
    bool drivePath = false;
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
        base = driveFolder(p[0]);
        p = p.substr(2);
        drivePath = true;
    } else if (!p.empty() && p[0] == '/') {
        base = "/";
    } else {
        base = currentDir.empty() ? "." : currentDir;
    }

    // The base is a host path and is taken as it is; only the program's part is matched.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= p.size()) {
        size_t slash = p.find('/', start);
        if (slash == std::string::npos)
            slash = p.size();
        std::string part = p.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".")
            continue;
        parts.push_back(part);
    }

    std::string result = base;
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    // As on Windows, ".." at the top of a drive stays there.
    const std::string floor = drivePath ? result : std::string("/");
    bool matching = true; // once a component is missing, nothing below it can exist
    for (const auto &part : parts) {
        if (part == "..") {
            if (result == floor)
                continue;
            size_t slash = result.find_last_of('/');
            if (slash == std::string::npos)
                result = result == "." ? ".." : ".";
            else
                result = slash == 0 ? "/" : result.substr(0, slash);
            matching = exists(result);
            continue;
        }
        std::string candidate = join(result, part);
        if (matching && !exists(candidate)) {
            std::string found = findCaseInsensitive(result, part);
            if (!found.empty())
                candidate = join(result, found);
            else
                matching = false;
        }
        result = candidate;
    }
    return result;
}

} // namespace platform
