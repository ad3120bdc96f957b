#include "platform/files.h"

#include <filesystem>
#include <functional>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>    // open flags for the temporary file
#include <sys/stat.h> // mkdir, stat
#include <unistd.h>   // write, fsync, getuid, readlink

namespace platform {

bool readFileThrough(const std::string &path, const std::function<char *(size_t size, size_t room)> &resize,
                     size_t &length, size_t extraRoom) {
    length = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Read straight into the text: a regular file in one call at its size, anything else (a pipe,
    // a device) in growing pieces. No stream buffer and no buffer on the stack are touched.
    struct stat st {};
    const size_t expected = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? size_t(st.st_size) : 0;
    size_t used = 0, size = 0;
    char *bytes = nullptr;
    bool ok = true;
    for (;;) {
        if (used == size) {
            size = used == 0 ? (expected > 0 ? expected + 1 : 4096) : used * 2;
            bytes = resize(size, used == 0 ? expected + 1 + extraRoom : size);
        }
        const ssize_t got = ::read(fd, bytes + used, size - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        used += size_t(got);
    }
    ::close(fd);
    length = ok ? used : 0;
    resize(length, length);
    return ok;
}

bool readFile(const std::string &path, std::string &contents, size_t extraRoom) {
    contents.clear();
    size_t length = 0;
    return readFileThrough(
        path,
        [&contents](size_t size, size_t room) {
            contents.reserve(room);
            contents.resize(size);
            return contents.data();
        },
        length, extraRoom);
}

bool readRegularFile(const std::string &path, std::vector<uint8_t> &bytes) {
    bytes.clear();
    std::error_code error;
    std::string contents;
    if (!std::filesystem::is_regular_file(path, error) || !readFile(path, contents))
        return false;
    bytes.assign(contents.begin(), contents.end());
    return true;
}

bool writeFileAtomically(const std::string &path, const std::string &contents, std::string *error) {
    // A fixed name beside the target: the rename stays on one file system, and a stale temporary
    // file from a crashed run is simply replaced.
    const std::string temporary = path + ".zvtmp";
    auto fail = [&](const char *what) {
        if (error)
            *error = std::string(what) + " " + temporary + ": " + std::strerror(errno);
        return false;
    };
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("cannot create");
    const char *data = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int saved = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = saved;
            return fail("cannot write");
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("cannot flush");
    }
    if (::close(fd) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("cannot close");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        if (error)
            *error = "cannot replace " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

namespace {
// A per-user folder of ours: under $variable when it names an absolute folder, else under
// ~/`fallback` (or /tmp/`fallback` without a home).
std::string userFolder(const char *variable, const char *fallback) {
    const char *xdg = std::getenv(variable);
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/zorvane";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/" + fallback + "/zorvane";
}
} // namespace

std::string configFolder() { return userFolder("XDG_CONFIG_HOME", ".config"); }

std::string cacheFolder() { return userFolder("XDG_CACHE_HOME", ".cache"); }

std::string hashName(std::string_view text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    std::string name(16, '0');
    for (int k = 15; k >= 0; --k, h >>= 4)
        name[size_t(k)] = "0123456789abcdef"[h & 15];
    return name;
}

bool makeFolders(const std::string &path) {
    if (path.empty())
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string temporaryFolder() {
    const char *tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp == '/' ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string folder = base + "/zorvane-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    // Refuse a folder someone else planted: the extracted program and media must stay ours.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return {};
    return folder;
}

std::string executablePath() {
    // Asked for by the payload probe, the compiler and the host at every start; the link is read
    // once (reading it is one of the dearer calls of a start).
    static const std::string path = [] {
        char buffer[4096];
        ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0)
            return std::string();
        buffer[n] = 0;
        return std::string(buffer);
    }();
    return path;
}

std::string currentDirectory() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

std::string absolutePath(const std::string &path) {
    const std::string whole = !path.empty() && path[0] == '/' ? path : currentDirectory() + "/" + path;
    std::vector<std::string_view> parts;
    const std::string_view text(whole);
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('/', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    if (out.empty())
        return "/";
    // A path naming a folder by its final slash (or by "." or "..") keeps saying so.
    const std::string_view last = text.substr(text.find_last_of('/') + 1);
    if (text.back() == '/' || last == "." || last == "..")
        out += '/';
    return out;
}

std::string folderOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace platform
