// Writes a standalone game: a copy of the runtime executable with a Payload appended.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "builder/payload.h"
#include "platform/files.h"

namespace builder {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxMediaPath = 255;

void appendWord(std::string& out, uint32_t value) {
    for (int b = 0; b < 4; ++b) out.push_back(static_cast<char>(value >> (8 * b)));
}

bool readWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string* why) {
    const bool ok = platform::readRegularFile(path, bytes);  // a folder or device is no file to pack
    if (!ok && why) *why = "cannot read " + path;
    return ok;
}

// The runtime without a Payload it may already carry.
size_t runtimeLength(const std::vector<uint8_t>& runtime) {
    PayloadReader existing;
    if (existing.readBytes(runtime.data(), runtime.size()) != PayloadReader::Status::Ok) return runtime.size();
    uint32_t s = 0;
    for (int b = 0; b < 4; ++b) s |= static_cast<uint32_t>(runtime[runtime.size() - 4 + b]) << (8 * b);
    return s;
}

bool walkMedia(PayloadWriter& writer, const fs::path& folder, const std::string& prefix,
               const std::function<bool()>& cancel, const std::function<void(const std::string&)>& adding,
               std::string* why) {
    std::error_code error;
    std::vector<fs::directory_entry> listing;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        listing.push_back(*it);
    if (error) {
        if (why) *why = "cannot list " + folder.string() + ": " + error.message();
        return false;
    }
    std::sort(listing.begin(), listing.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path().filename() < b.path().filename(); });
    for (const fs::directory_entry& entry : listing) {
        if (cancel && cancel()) {
            if (why) *why = "the build was cancelled";
            return false;
        }
        std::string name = entry.path().filename().string();
        if (entry.is_directory(error) && !entry.is_symlink(error)) {
            if (entry.path().string().size() > kMaxMediaPath) continue;
            if (!walkMedia(writer, entry.path(), prefix + name + "\\", cancel, adding, why)) return false;
        } else if (entry.is_regular_file(error) && isMediaFileName(name)) {
            if (!writer.addFileFromDisk(prefix + name, entry.path().string(), why)) return false;
            if (adding) adding(name);
        }
    }
    return true;
}

}  // namespace

bool isMediaFileName(const std::string& name) {
    static const char* const kExtensions[] = {"bmp", "rle", "dib", "dds", "jpg", "pcx", "png", "psd", "tga", "tif",
                                              "wav", "mp2", "mp3", "avi", "mpg", "mid", "arr", "dat", "txt", "3ds"};
    if (name.empty()) return false;
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.back() == 'x') return true;
    if (lower.size() < 3) return false;
    std::string last = lower.substr(lower.size() - 3);
    return std::find(std::begin(kExtensions), std::end(kExtensions), last) != std::end(kExtensions);
}

void PayloadWriter::addFile(const std::string& storedName, std::vector<uint8_t> data) {
    files_.push_back({storedName, std::move(data)});
}

bool PayloadWriter::addFileFromDisk(const std::string& storedName, const std::string& path, std::string* why) {
    std::vector<uint8_t> bytes;
    if (!readWhole(path, bytes, why)) return false;
    addFile(storedName, std::move(bytes));
    return true;
}

bool PayloadWriter::addMediaFolder(const std::string& folder, const std::function<bool()>& cancel,
                                   const std::function<void(const std::string&)>& adding, std::string* why) {
    return walkMedia(*this, fs::path(folder), "", cancel, adding, why);
}

bool PayloadWriter::writeWithRuntime(const std::vector<uint8_t>& runtime, const std::string& outputPath,
                                     std::string* why) const {
    size_t s = runtimeLength(runtime);
    uint64_t total = s + 8;
    for (const File& f : files_) total += 8 + f.name.size() + 1 + f.data.size();
    if (total > UINT32_MAX) {
        if (why) *why = "the game would be larger than 4 GB";
        return false;
    }
    std::string out(reinterpret_cast<const char*>(runtime.data()), s);
    out.reserve(total);
    for (const File& f : files_) {
        appendWord(out, static_cast<uint32_t>(f.name.size() + 1));
        out.append(f.name);
        out.push_back('\0');
        appendWord(out, static_cast<uint32_t>(f.data.size()));
        out.append(reinterpret_cast<const char*>(f.data.data()), f.data.size());
    }
    appendWord(out, 0);
    appendWord(out, static_cast<uint32_t>(s));
    if (!platform::writeFileAtomically(outputPath, out, why)) return false;
    // A game is run directly: make it executable like the runtime it copies.
    std::error_code ignored;
    fs::permissions(outputPath, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ignored);
    return true;
}

bool PayloadWriter::write(const std::string& runtimeExecutable, const std::string& outputPath, std::string* why) const {
    std::vector<uint8_t> runtime;
    if (!readWhole(runtimeExecutable, runtime, why)) return false;
    return writeWithRuntime(runtime, outputPath, why);
}

}  // namespace builder
