#include "compiler/source_preparation.h"

#include "compiler/paths.h"
#include "platform/files.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <unordered_set>

namespace compiler {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxIncludeLine = 255;  // a longer line stops the include expansion
constexpr int kMaxIncludeDirectives = 255;
constexpr int kMaxIncludeNames = 256;

// Splits text[from, to) into lines; a line ends at LF (a CR before it is dropped).
void splitLines(std::string_view text, size_t from, SourceLines& lines) {
    // Counted first, so that the list is made once at its size instead of grown by copying.
    lines.reserve(lines.size() + static_cast<size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(from),
                                                                text.end(), '\n')) + 1);
    size_t p = from;
    while (p < text.size()) {
        size_t end = text.find('\n', p);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        size_t length = end - p;
        if (length > 0 && text[p + length - 1] == '\r') --length;
        const void* zero = std::memchr(text.data() + p, 0, length);
        if (zero) length = static_cast<const char*>(zero) - (text.data() + p);
        lines.push_back({p, length});
        p = next;
    }
}

std::string includeName(std::string_view folded) {
    size_t p = 0;
    while (p < folded.size() && static_cast<unsigned char>(folded[p]) < 32) ++p;
    folded.remove_prefix(p);
    if (folded.size() < 9 || folded.compare(0, 9, "#include ") != 0) return {};
    folded.remove_prefix(8);
    while (!folded.empty() && folded.front() == ' ') folded.remove_prefix(1);
    std::string name(folded.substr(0, folded.find(' ')));
    while (!name.empty() && (name.front() == ' ' || name.front() == '"')) name.erase(0, 1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '"')) name.pop_back();
    return name;
}

}  // namespace

bool needsFolding(std::string_view line) {
    // Eight characters at a time: with the top bit of each byte cleared first (so that no sum
    // carries into the next byte), adding 0x3F sets the top bit of bytes from 'A' up and adding
    // 0x25 that of bytes from '[' up; a byte with the first and not the second is a capital.
    constexpr uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7F * kOnes, kTop = 0x80 * kOnes;
    size_t p = 0;
    for (; p + 8 <= line.size(); p += 8) {
        uint64_t word;
        std::memcpy(&word, line.data() + p, 8);
        uint64_t low = word & kLow7;
        uint64_t capitals = (low + (0x80 - 'A') * kOnes) & ~(low + (0x80 - 'Z' - 1) * kOnes) & ~word & kTop;
        if (capitals) return true;
    }
    for (; p < line.size(); ++p)
        if (line[p] >= 'A' && line[p] <= 'Z') return true;
    return false;
}

void foldCaseInto(std::string_view line, std::string& out) {
    out.assign(line);
    bool quoted = false;
    for (char& c : out) {
        if (c == '"') quoted = !quoted;
        if (!quoted && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

std::string foldCase(std::string_view line) {
    std::string out;
    foldCaseInto(line, out);
    return out;
}

int PreparedSource::attributedLine(int line) const {
    if (line <= mainLineCount || line < 1 || line > static_cast<int>(lines.size())) return line;
    size_t offset = lines[line - 1].start;
    for (const IncludedRegion& region : regions)
        if (offset >= region.start && offset < region.end) return region.rootLine;
    return mainLineCount;
}

std::string_view PreparedSource::lineText(int line) const {
    if (line < 1 || line > static_cast<int>(lines.size())) return {};
    return std::string_view(text).substr(lines[line - 1].start, lines[line - 1].length);
}

namespace {

// Editors that save UTF-8 may put a byte order mark before the first line; it is not program text.
std::string_view withoutByteOrderMark(std::string_view bytes) {
    constexpr std::string_view mark = "\xEF\xBB\xBF";
    return bytes.substr(0, mark.size()) == mark ? bytes.substr(mark.size()) : bytes;
}

}  // namespace

namespace {
PreparedSource prepareText(SourceText text, const std::string& folder);
}  // namespace

PreparedSource prepareSource(std::string_view sourceBytes, const std::string& folder) {
    SourceText text;
    text.reserve(sourceBytes.size() + kPreparationRoom);
    text.append(withoutByteOrderMark(sourceBytes));
    return prepareText(std::move(text), folder);
}

PreparedSource prepareSource(SourceText&& sourceBytes, const std::string& folder) {
    size_t mark = sourceBytes.size() - withoutByteOrderMark(sourceBytes).size();
    sourceBytes.erase(0, mark);
    return prepareText(std::move(sourceBytes), folder);
}

namespace {

// `text` is the source without its byte order mark.
PreparedSource prepareText(SourceText text, const std::string& folder) {
    PreparedSource source;
    source.text = std::move(text);
    source.text += '\0';
    source.text += "\r\nend\r\n";
    source.mainEnd = source.text.size();

    std::unordered_set<std::string> names;
    size_t scanFrom = 0;
    int directives = 0, lastDirectiveLine = 0;
    for (int pass = 1;; ++pass) {
        SourceLines lines;
        splitLines(source.text, scanFrom, lines);
        int firstLine = static_cast<int>(source.lines.size()) + 1;
        // Lines before scanFrom were scanned in an earlier pass; only the count matters here.
        size_t passEnd = source.text.size();
        bool appended = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            int lineNumber = firstLine + static_cast<int>(i);
            const SourceLine& line = lines[i];
            if (line.length > kMaxIncludeLine) {
                source.errorKey = 41;
                source.errorLine = lineNumber;
                return source;
            }
            // Only a line whose first character after control characters is '#' can include.
            size_t first = line.start;
            while (first < line.start + line.length && static_cast<unsigned char>(source.text[first]) < 32) ++first;
            if (first == line.start + line.length || source.text[first] != '#') continue;
            std::string name = includeName(foldCase(std::string_view(source.text).substr(line.start, line.length)));
            if (name.empty()) continue;
            int rootLine = lineNumber;
            if (pass > 1) {
                rootLine = static_cast<int>(source.mainLineCount);
                for (const IncludedRegion& region : source.regions)
                    if (line.start >= region.start && line.start < region.end) rootLine = region.rootLine;
            }
            // The same file named twice (other case, other separators, a path through ..) is one name.
            std::string resolved = findFileIgnoringCase(folder, name);
            std::error_code ec;
            std::string key = fs::exists(resolved, ec) ? fs::weakly_canonical(resolved, ec).string() : name;
            for (char& c : key)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            size_t start = source.text.size();
            if (!names.count(key)) {
                if (static_cast<int>(names.size()) >= kMaxIncludeNames) {
                    source.errorKey = 56;
                    source.errorLine = lineNumber;
                    return source;
                }
                names.insert(key);
                appended = true;
                std::string bytes;
                if (platform::readFile(resolved, bytes)) source.text.append(withoutByteOrderMark(bytes));
                // A file whose last line has no line break still ends there, instead of running into
                // the first line of the next included file.
                if (source.text.size() > start && source.text.back() != '\n') source.text += "\r\n";
            }
            if (pass == 1) {
                if (++directives > kMaxIncludeDirectives) {
                    source.errorKey = 42;
                    source.errorLine = lastDirectiveLine;
                    return source;
                }
                lastDirectiveLine = lineNumber;
            }
            if (source.text.size() > start) source.regions.push_back({start, source.text.size(), rootLine});
        }
        // Keep the scanned lines; the next pass starts at the first line that holds appended text.
        if (source.lines.empty())
            source.lines = std::move(lines);
        else
            source.lines.insert(source.lines.end(), lines.begin(), lines.end());
        if (pass == 1) source.mainLineCount = static_cast<int>(source.lines.size());
        if (!appended) break;
        if (!source.lines.empty() && source.text[passEnd - 1] != '\n') {
            // The last scanned line ran into the appended text: scan it again with it.
            scanFrom = source.lines.back().start;
            source.lines.pop_back();
        } else {
            scanFrom = passEnd;
        }
    }
    return source;
}

}  // namespace

}  // namespace compiler
