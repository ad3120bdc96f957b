// The Payload of a standalone game: a table of files appended to a copy of the runtime executable.
//
//   runtime executable (S bytes) | entries | 0 | S
//   entry = name length (with its zero) | name | data size | data      (all numbers 32-bit little-endian)
//
// The first entry is the compiled program; the others are media files named by their path relative
// to the media folder with backslashes ("gfx\intro.bmp"). The reader finds the table by the last word
// alone, so it checks that the word leads to a complete, well-formed table before using anything.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace builder {

struct PayloadEntry {
    std::string name;     // lower-cased, at most 255 characters
    size_t offset = 0;    // of the data inside the held Payload bytes
    uint32_t size = 0;
};

class PayloadReader {
public:
    enum class Status { Ok, CannotOpen, NoPayload };

    ~PayloadReader();

    // Reads the Payload of an executable. NoPayload: the file is readable but its last word does not
    // lead to a valid table (a plain executable, or a damaged game); nothing is held then.
    Status read(const std::string& executablePath, std::string* why = nullptr);
    // The same for the bytes of a whole file already in memory.
    Status readBytes(const uint8_t* data, size_t size, std::string* why = nullptr);

    bool hasPayload() const { return held_; }
    const std::vector<PayloadEntry>& entries() const { return entries_; }
    const uint8_t* data(const PayloadEntry& entry) const { return bytes_.data() + entry.offset; }

    // Where extraction files go (the run's temporary folder); must be set before extracting.
    void setTemporaryFolder(const std::string& folder) { temporaryFolder_ = folder; }
    const std::string& temporaryFolder() const { return temporaryFolder_; }

    // Writes the program (the first entry) to "_virtual.dat" in the temporary folder.
    bool extractProgram(std::string* path);
    // Media look-up by path: the requested name, lower-cased and with "/" turned into "\", against
    // each entry name in order; the first equal one is written to "_virtual.<extension>" and `name`
    // becomes that file's path. Not found (or not writable): `name` is left unchanged.
    bool lookUpByPath(std::string& name, const std::string& extension = "dat");
    // As above, but against the part of each entry name after its last backslash.
    bool lookUpByFileName(std::string& name, const std::string& extension = "dat");

    // Deletes the extraction files and frees the Payload.
    void release();

private:
    Status readFile(const std::string& executablePath, std::string* why);
    bool extract(const PayloadEntry& entry, const std::string& extension, std::string* path);

    std::vector<uint8_t> bytes_;
    std::vector<PayloadEntry> entries_;
    bool held_ = false;
    std::string temporaryFolder_;
    std::set<std::string> extracted_;
};

// Parses a Payload table: `bytes` runs from offset S to the end of the file and `s` is S itself.
// Returns false (with a reason) unless the entries lie inside the bytes, every name is
// zero-terminated, and the table ends with the 0 terminator immediately followed by the word S.
bool parsePayloadTable(const uint8_t* bytes, size_t size, uint32_t s, std::vector<PayloadEntry>* entries,
                       std::string* why);

class PayloadWriter {
public:
    void addFile(const std::string& storedName, std::vector<uint8_t> data);
    bool addFileFromDisk(const std::string& storedName, const std::string& path, std::string* why = nullptr);

    // Adds every media file under `folder` (depth first, folders and files in name order) whose
    // name has an accepted extension, named by its relative path with backslashes. `cancel` is asked
    // before each entry; `adding` is told each file's own name. Returns false when cancelled or unreadable.
    bool addMediaFolder(const std::string& folder, const std::function<bool()>& cancel = {},
                        const std::function<void(const std::string&)>& adding = {}, std::string* why = nullptr);

    // Writes a copy of `runtimeExecutable` followed by the entries, terminator and trailer to
    // `outputPath` (through a temporary file renamed into place; nothing is left on failure). An
    // existing Payload on the runtime executable is dropped first, so a game is never nested.
    bool write(const std::string& runtimeExecutable, const std::string& outputPath, std::string* why = nullptr) const;
    // The same with the runtime executable's bytes in memory.
    bool writeWithRuntime(const std::vector<uint8_t>& runtime, const std::string& outputPath,
                          std::string* why = nullptr) const;

    size_t entryCount() const { return files_.size(); }

private:
    struct File {
        std::string name;
        std::vector<uint8_t> data;
    };
    std::vector<File> files_;
};

// True when a media file of this name is packed by the builder (by the last three characters,
// any letter case, or a name ending in "x").
bool isMediaFileName(const std::string& name);

}  // namespace builder
