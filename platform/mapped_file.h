// A read-only view of a whole file. Only the pages that are read are loaded, so looking at the
// end of a large file (the payload of a standalone game) costs a few pages, not the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // False (and `why` says so) when the path is not a readable regular file. An empty file maps
    // to no bytes and succeeds.
    bool open(const std::string &path, std::string *why = nullptr);
    void close();

    const uint8_t *data() const { return data_; }
    size_t size() const { return size_; }

  private:
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
};

} // namespace platform
