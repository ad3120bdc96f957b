// Source programs name files the way their authors typed them: with backslashes and in any letter
// case. These helpers find the file the name means on a case-sensitive file system.
#pragma once

#include <string>

namespace compiler {

// Resolves `name` (absolute, or relative to `folder`; `\` or `/` separators) by matching each path
// component without regard to letter case. Returns the existing path, or the plain joined path when
// nothing matches.
std::string findFileIgnoringCase(const std::string& folder, const std::string& name);

// Folder part of a path ("" for a bare file name).
std::string folderOf(const std::string& path);

}  // namespace compiler
