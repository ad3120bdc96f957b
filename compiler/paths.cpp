#include "compiler/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace compiler {

namespace fs = std::filesystem;

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The entries of the folders looked in last, with the folder's change time when they were read:
// a start looks for several absent files (vocabulary.txt, SETUP.INI) in the same folder, and any
// entry added, removed or renamed there changes that time, so a listing is read again only then.
// The file system's clock is coarse, so a listing read less than two seconds after a change is not
// kept: a second change within the same tick would not move the time.
struct FolderListing {
    std::string folder;
    struct timespec changed {};
    std::vector<std::string> names;
};

bool findInFolderIgnoringCase(const std::string& folder, const std::string& component, std::string& found) {
    static std::mutex lock;
    static std::array<FolderListing, 4> listings;
    static size_t nextSlot = 0;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    std::lock_guard<std::mutex> guard(lock);
    FolderListing* listing = nullptr;
    for (FolderListing& candidate : listings)
        if (candidate.folder == folder && candidate.changed.tv_sec == info.st_mtim.tv_sec &&
            candidate.changed.tv_nsec == info.st_mtim.tv_nsec)
            listing = &candidate;
    if (!listing) {
        listing = &listings[nextSlot++ % listings.size()];
        listing->folder.clear();
        listing->names.clear();
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return false;
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                listing->names.emplace_back(entry->d_name);
        ::closedir(dir);
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec - info.st_mtim.tv_sec >= 2) {
            listing->folder = folder;
            listing->changed = info.st_mtim;
        }
    }
    for (const std::string& name : listing->names)
        if (sameIgnoringCase(name, component)) {
            found = name;
            return true;
        }
    return false;
}

}  // namespace

std::string findFileIgnoringCase(const std::string& folder, const std::string& name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    fs::path wanted(path);
    fs::path current = wanted.is_absolute() ? fs::path("/") : fs::path(folder.empty() ? "." : folder);
    fs::path plain = wanted.is_absolute() ? wanted : current / wanted;
    std::error_code ec;
    if (fs::exists(plain, ec)) return plain.string();
    for (const auto& part : wanted.relative_path()) {
        std::string component = part.string();
        if (component.empty() || component == ".") continue;
        fs::path exact = current / component;
        if (component == ".." || fs::exists(exact, ec)) {
            current = exact;
            continue;
        }
        std::string candidate;
        if (!findInFolderIgnoringCase(current.string(), component, candidate)) return plain.string();
        current /= candidate;
    }
    return current.string();
}

std::string folderOf(const std::string& path) {
    std::string unified = path;
    for (char& c : unified)
        if (c == '\\') c = '/';
    size_t slash = unified.find_last_of('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : unified.substr(0, slash);
}

}  // namespace compiler
