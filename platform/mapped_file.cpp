#include "platform/mapped_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

MappedFile::~MappedFile() { close(); }

bool MappedFile::open(const std::string &path, std::string *why) {
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (why)
            *why = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (why)
            *why = "cannot open " + path + " (not a file)";
        return false;
    }
    bool ok = true;
    if (info.st_size > 0) {
        void *view = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (view == MAP_FAILED) {
            ok = false;
            if (why)
                *why = "cannot read " + path + ": " + std::strerror(errno);
        } else {
            data_ = static_cast<const uint8_t *>(view);
            size_ = size_t(info.st_size);
        }
    }
    ::close(fd);
    return ok;
}

void MappedFile::close() {
    if (data_)
        ::munmap(const_cast<uint8_t *>(data_), size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace platform
