#include "compiler/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

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

}  // namespace

bool readWholeFile(const std::string& path, std::string& text, size_t extraRoom) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return false;
    }
    // A regular file is read in one call into a text of its size; a pipe in pieces until its end.
    const size_t expected = known && S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0;
    text.reserve(expected + extraRoom);
    bool ok = true;
    size_t used = 0;
    for (;;) {
        // One byte past a regular file's size shows its end; a pipe's text grows as it comes.
        if (used == text.size()) text.resize(used == 0 ? (expected > 0 ? expected + 1 : 4096) : used * 2);
        const ssize_t got = ::read(fd, text.data() + used, text.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        used += static_cast<size_t>(got);
    }
    ::close(fd);
    text.resize(used);
    return ok;
}

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
        bool found = false;
        for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
            std::string candidate = it->path().filename().string();
            if (sameIgnoringCase(candidate, component)) {
                current /= candidate;
                found = true;
                break;
            }
        }
        if (!found) return plain.string();
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
