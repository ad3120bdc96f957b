// Reads the Payload of a standalone game and extracts its files on demand.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "builder/payload.h"
#include "platform/files.h"
#include "platform/mapped_file.h"

namespace builder {

namespace {

constexpr size_t kMaxNameLength = 255;

uint32_t wordAt(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void lowerCase(std::string& s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// The extension comes from a file name in the program: keep it a plain name inside the folder.
std::string safeExtension(const std::string& extension) {
    std::string safe;
    for (char c : extension) safe += (c == '/' || c == '\\' || c == '\0' || c == '.') ? '_' : c;
    return safe.empty() ? "dat" : safe;
}

bool fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

}  // namespace

bool parsePayloadTable(const uint8_t* bytes, size_t size, uint32_t s, std::vector<PayloadEntry>* entries,
                       std::string* why) {
    entries->clear();
    size_t at = 0;
    // Every step needs room for what follows it: at least the terminator and the trailer.
    while (size >= 8 && at <= size - 8) {
        uint32_t nameLength = wordAt(bytes + at);
        at += 4;
        if (nameLength == 0) {
            if (wordAt(bytes + at) != s) return fail(why, "the Payload's terminator is not followed by its offset");
            return true;
        }
        // The name, its data size word, the terminator and the trailer must still fit.
        size_t room = size - at;
        if (room < 12 || nameLength > room - 12) return fail(why, "a Payload name runs past the end of the file");
        const char* name = reinterpret_cast<const char*>(bytes + at);
        if (name[nameLength - 1] != '\0') return fail(why, "a Payload name is not zero-terminated");
        PayloadEntry entry;
        entry.name.assign(name, std::strlen(name));
        if (entry.name.size() > kMaxNameLength) entry.name.resize(kMaxNameLength);
        lowerCase(entry.name);
        at += nameLength;
        uint32_t dataSize = wordAt(bytes + at);
        at += 4;
        if (dataSize > size - at - 8) return fail(why, "a Payload file runs past the end of the file");
        entry.offset = at;
        entry.size = dataSize;
        at += dataSize;
        entries->push_back(std::move(entry));
    }
    return fail(why, "the Payload has no terminator");
}

PayloadReader::~PayloadReader() { release(); }

PayloadReader::Status PayloadReader::read(const std::string& executablePath, std::string* why) {
    release();
    struct stat info {};
    if (::stat(executablePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (why) *why = "cannot open " + executablePath + " (not a file)";
        return Status::CannotOpen;
    }
    try {
        return readFile(executablePath, why);
    } catch (const std::exception&) {  // a payload too large to hold in memory
        if (why) *why = "cannot read " + executablePath;
        return Status::CannotOpen;
    }
}

namespace {

// A quick look at the two words that decide most files: the last word S and the first table word
// at S. False when they already show there is no Payload (the common case of a plain executable:
// S and the word there are machine code), so the file need not be mapped at all. Read with plain
// calls: this runs at every start, before anything else needs a buffered file.
bool mayCarryPayload(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;  // the mapping reports why
    uint8_t word[4];
    bool possible = true;
    struct stat info {};
    const uint64_t size = ::fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    if (size >= 8 && ::pread(fd, word, 4, static_cast<off_t>(size - 4)) == 4) {
        const uint32_t s = wordAt(word);
        if (s > size - 8) {
            possible = false;
        } else if (::pread(fd, word, 4, static_cast<off_t>(s)) == 4) {
            // A first name runs past the end of the file, or an empty table lacks its trailer room.
            const uint64_t nameLength = wordAt(word);
            possible = nameLength <= size - s;
        }
    }
    ::close(fd);
    return possible;
}

}  // namespace

PayloadReader::Status PayloadReader::readFile(const std::string& executablePath, std::string* why) {
    release();
    if (!mayCarryPayload(executablePath)) {
        if (why) *why = "the file carries no Payload";
        return Status::NoPayload;
    }
    // Mapped rather than read: only the pages the table walk looks at are ever loaded.
    platform::MappedFile file;
    if (!file.open(executablePath, why)) return Status::CannotOpen;
    return readBytes(file.data(), file.size(), why);
}

PayloadReader::Status PayloadReader::readBytes(const uint8_t* data, size_t size, std::string* why) {
    release();
    if (size < 8) {
        if (why) *why = "the file is too short to carry a Payload";
        return Status::NoPayload;
    }
    uint32_t s = wordAt(data + size - 4);
    if (s > size - 8) {
        if (why) *why = "the last word is not a Payload offset inside the file";
        return Status::NoPayload;
    }
    std::vector<PayloadEntry> entries;
    if (!parsePayloadTable(data + s, size - s, s, &entries, why)) return Status::NoPayload;
    bytes_.assign(data + s, data + size);
    entries_ = std::move(entries);
    held_ = true;
    return Status::Ok;
}

bool PayloadReader::extract(const PayloadEntry& entry, const std::string& extension, std::string* path) {
    if (temporaryFolder_.empty()) return false;
    std::string target = temporaryFolder_ + "/_virtual." + safeExtension(extension);
    std::string contents(reinterpret_cast<const char*>(data(entry)), entry.size);
    if (!platform::writeFileAtomically(target, contents)) return false;
    extracted_.insert(target);
    *path = target;
    return true;
}

bool PayloadReader::extractProgram(std::string* path) {
    if (entries_.empty()) return false;
    return extract(entries_.front(), "dat", path);
}

bool PayloadReader::lookUpByPath(std::string& name, const std::string& extension) {
    std::string wanted = name;
    lowerCase(wanted);
    for (char& c : wanted)
        if (c == '/') c = '\\';
    for (const PayloadEntry& entry : entries_) {
        if (entry.name != wanted) continue;
        std::string path;
        if (!extract(entry, extension, &path)) return false;
        name = path;
        return true;
    }
    return false;
}

bool PayloadReader::lookUpByFileName(std::string& name, const std::string& extension) {
    std::string wanted = name;
    lowerCase(wanted);
    for (const PayloadEntry& entry : entries_) {
        size_t slash = entry.name.rfind('\\');
        if (entry.name.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, wanted) != 0) continue;
        std::string path;
        if (!extract(entry, extension, &path)) return false;
        name = path;
        return true;
    }
    return false;
}

void PayloadReader::release() {
    if (!temporaryFolder_.empty()) {
        for (const char* fixed : {"_virtual.dat", "_virtual.avi", "_virtual.mid", "_virtual.mp3"})
            extracted_.insert(temporaryFolder_ + "/" + fixed);
    }
    std::error_code ignored;
    for (const std::string& path : extracted_) std::filesystem::remove(path, ignored);
    extracted_.clear();
    bytes_.clear();
    bytes_.shrink_to_fit();
    entries_.clear();
    held_ = false;
}

}  // namespace builder
