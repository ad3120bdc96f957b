// Source preparation: the working text (source, the closing `end` line, included files appended),
// the include table that maps lines of included files back to the main program's #include lines.
#pragma once

#include "platform/memory_tuning.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace compiler {

// One line of the working text: [start, start + length), without its line end, cut at a zero byte.
struct SourceLine {
    size_t start;
    size_t length;
};

// A large source's line table fills huge pages (platform/memory_tuning.h).
using SourceLines = std::vector<SourceLine, platform::FilledBlockAllocator<SourceLine>>;

struct IncludedRegion {
    size_t start, end;  // offsets of the appended file in the working text
    int rootLine;       // the main program's #include line that (directly or not) brought it in
};

// The working text: a large source's fills huge pages too.
using SourceText = std::basic_string<char, std::char_traits<char>, platform::FilledBlockAllocator<char>>;

struct PreparedSource {
    SourceText text;
    SourceLines lines;  // lines[0] is line 1
    int mainLineCount = 0;          // the source's lines plus the appended "end" line
    size_t mainEnd = 0;             // offset where the included files begin
    std::vector<IncludedRegion> regions;
    int errorKey = 0;               // a COMPILER key when preparation failed
    int errorLine = 0;

    // The main program's line that an error on `line` is reported at.
    int attributedLine(int line) const;
    std::string_view lineText(int line) const;
};

// A line with A to Z folded to lower case outside double quotes.
std::string foldCase(std::string_view line);
// The same into a buffer that is reused from line to line.
void foldCaseInto(std::string_view line, std::string& out);
// False when folding would leave the line as it is (no capital letter at all), so it can be used as it stands.
bool needsFolding(std::string_view line);

// Builds the working text and expands #include lines; included names are resolved against `folder`.
PreparedSource prepareSource(std::string_view sourceBytes, const std::string& folder);
// The same, working in the given text itself instead of a copy (a file just read: the bytes are
// copied once less). Room for kPreparationRoom more bytes saves a reallocation.
PreparedSource prepareSource(SourceText&& sourceBytes, const std::string& folder);
inline constexpr size_t kPreparationRoom = 16;  // the zero byte and the closing "end" line

}  // namespace compiler
