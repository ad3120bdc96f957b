// Profile files ("INI" files) with the semantics programs and users know from Windows:
//  - section names and keys match without regard to letter case; blanks around them are ignored;
//  - a missing file, section or key gives the caller's default;
//  - when a key appears twice in a section, the first one counts, for reading and for writing;
//  - a value read is cut at 255 characters, and a value in matching quotes loses the quotes;
//  - lines may end in CR LF or LF; a file keeps its line ending style when written (new files: CR LF);
//  - writing a key again replaces its value in place; a new key goes to the end of its section,
//    a new section to the end of the file;
//  - every write goes through a temporary file and a rename, so a failed write leaves the old file.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform {

constexpr size_t kMaxProfileValue = 255;

class ProfileFile {
  public:
    enum class LoadStatus { Ok, Missing, Unreadable };

    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    // Reads the file from disk, replacing what is held. Missing and unreadable files read as empty.
    LoadStatus load();

    const std::string &path() const { return path_; }
    std::string get(const std::string &section, const std::string &key, const std::string &fallback = "") const;
    bool has(const std::string &section, const std::string &key) const;
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(const std::string &section) const;
    // Every key of a section with its value as get() reads it, in file order (the first of duplicates).
    std::vector<std::pair<std::string, std::string>> entries(const std::string &section) const;

    // Changes the held text only; save() writes it. Line breaks inside a value become blanks, so a
    // value can never inject lines into the file.
    void set(const std::string &section, const std::string &key, const std::string &value);
    bool remove(const std::string &section, const std::string &key);
    void removeSection(const std::string &section);

    bool save(std::string *error = nullptr) const;
    std::string text() const;

  private:
    struct Span {
        size_t header = 0; // line index of the section header
        size_t end = 0;    // one past the section's last line
    };
    bool findSection(const std::string &section, Span &span) const;
    // Line index of the key inside the span, or npos.
    size_t findKey(const Span &span, const std::string &key) const;

    std::string path_;
    std::vector<std::string> lines_;
    bool crlf_ = true;
};

// One-call forms, reading the file each time.
std::string readProfileString(const std::string &path, const std::string &section, const std::string &key,
                              const std::string &fallback = "");
bool writeProfileString(const std::string &path, const std::string &section, const std::string &key,
                        const std::string &value, std::string *error = nullptr);

} // namespace platform
