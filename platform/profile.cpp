#include "platform/profile.h"

#include <cctype>
#include <cerrno>
#include <unordered_set>

#include "platform/files.h"

namespace platform {
namespace {

std::string trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The section name of a header line, or false when the line is no header.
bool headerName(const std::string &line, std::string &name) {
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = trim(t.substr(1, close - 1));
    return true;
}

bool keyOf(const std::string &line, std::string &key, std::string &value) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    return true;
}

std::string oneLine(std::string s) {
    for (char &c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    return s;
}

} // namespace

ProfileFile::LoadStatus ProfileFile::load() {
    lines_.clear();
    crlf_ = true;
    std::string contents;
    errno = 0;
    if (!readFile(path_, contents))
        return errno == ENOENT || errno == ENOTDIR ? LoadStatus::Missing : LoadStatus::Unreadable;
    size_t lf = contents.find('\n');
    if (lf != std::string::npos)
        crlf_ = lf > 0 && contents[lf - 1] == '\r';
    size_t start = 0;
    while (start < contents.size()) {
        size_t end = contents.find('\n', start);
        if (end == std::string::npos)
            end = contents.size();
        std::string line = contents.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
    return LoadStatus::Ok;
}

bool ProfileFile::findSection(const std::string &section, Span &span) const {
    std::string wanted = trim(section), name;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!headerName(lines_[i], name) || !sameName(name, wanted))
            continue;
        span.header = i;
        span.end = i + 1;
        while (span.end < lines_.size() && !headerName(lines_[span.end], name))
            ++span.end;
        return true;
    }
    return false;
}

size_t ProfileFile::findKey(const Span &span, const std::string &key) const {
    std::string wanted = trim(key), k, v;
    for (size_t i = span.header + 1; i < span.end; ++i)
        if (keyOf(lines_[i], k, v) && sameName(k, wanted))
            return i;
    return std::string::npos;
}

namespace {
// A stored value as a reader sees it: matching quotes removed, cut at 255 characters.
std::string readValue(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxProfileValue)
        value.resize(kMaxProfileValue);
    return value;
}
} // namespace

std::string ProfileFile::get(const std::string &section, const std::string &key, const std::string &fallback) const {
    Span span;
    size_t at;
    std::string value, k;
    if (findSection(section, span) && (at = findKey(span, key)) != std::string::npos) {
        keyOf(lines_[at], k, value);
        return readValue(value);
    }
    return readValue(fallback);
}

std::vector<std::pair<std::string, std::string>> ProfileFile::entries(const std::string &section) const {
    std::vector<std::pair<std::string, std::string>> out;
    Span span;
    if (!findSection(section, span))
        return out;
    std::unordered_set<std::string> seen;
    std::string k, v;
    for (size_t i = span.header + 1; i < span.end; ++i) {
        if (!keyOf(lines_[i], k, v))
            continue;
        std::string folded = k;
        for (char &c : folded)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (seen.insert(folded).second)
            out.emplace_back(k, readValue(v));
    }
    return out;
}

bool ProfileFile::has(const std::string &section, const std::string &key) const {
    Span span;
    return findSection(section, span) && findKey(span, key) != std::string::npos;
}

std::vector<std::string> ProfileFile::sections() const {
    std::vector<std::string> out;
    std::string name;
    for (const auto &line : lines_)
        if (headerName(line, name))
            out.push_back(name);
    return out;
}

std::vector<std::string> ProfileFile::keys(const std::string &section) const {
    std::vector<std::string> out;
    Span span;
    std::string k, v;
    if (!findSection(section, span))
        return out;
    for (size_t i = span.header + 1; i < span.end; ++i)
        if (keyOf(lines_[i], k, v))
            out.push_back(k);
    return out;
}

void ProfileFile::set(const std::string &section, const std::string &key, const std::string &value) {
    std::string line = oneLine(trim(key)) + "=" + oneLine(value);
    Span span;
    if (!findSection(section, span)) {
        if (!lines_.empty() && !trim(lines_.back()).empty())
            lines_.push_back("");
        lines_.push_back("[" + oneLine(trim(section)) + "]");
        lines_.push_back(line);
        return;
    }
    size_t at = findKey(span, key);
    if (at != std::string::npos) {
        lines_[at] = line;
        return;
    }
    // After the section's last non-blank line, so blank separators stay between sections.
    size_t insert = span.end;
    while (insert > span.header + 1 && trim(lines_[insert - 1]).empty())
        --insert;
    lines_.insert(lines_.begin() + static_cast<long>(insert), line);
}

bool ProfileFile::remove(const std::string &section, const std::string &key) {
    Span span;
    size_t at;
    if (!findSection(section, span) || (at = findKey(span, key)) == std::string::npos)
        return false;
    lines_.erase(lines_.begin() + static_cast<long>(at));
    return true;
}

void ProfileFile::removeSection(const std::string &section) {
    Span span;
    while (findSection(section, span))
        lines_.erase(lines_.begin() + static_cast<long>(span.header), lines_.begin() + static_cast<long>(span.end));
}

std::string ProfileFile::text() const {
    std::string out;
    for (const auto &line : lines_) {
        out += line;
        out += crlf_ ? "\r\n" : "\n";
    }
    return out;
}

bool ProfileFile::save(std::string *error) const {
    return writeFileAtomically(path_, text(), error);
}

std::string readProfileString(const std::string &path, const std::string &section, const std::string &key,
                              const std::string &fallback) {
    ProfileFile file(path);
    file.load();
    return file.get(section, key, fallback);
}

bool writeProfileString(const std::string &path, const std::string &section, const std::string &key,
                        const std::string &value, std::string *error) {
    ProfileFile file(path);
    if (file.load() == ProfileFile::LoadStatus::Unreadable) {
        // Never replace a file we could not read: its contents would be lost.
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    file.set(section, key, value);
    return file.save(error);
}

} // namespace platform
