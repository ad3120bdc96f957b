// The ProgramImage file: header, constants, DATA, owner tables, code and line table.
#pragma once

#include "compiler/compiler_core.h"

#include <cstdint>
#include <string>
#include <vector>

namespace compiler {

constexpr int kImageHeaderWords = 1024;

std::vector<uint8_t> buildImage(const CompiledProgram& program);
// Writes the same bytes as buildImage() to `path` the way writeFileAtomically() does, without
// holding the whole image in memory.
bool writeImageAtomically(const std::string& path, const CompiledProgram& program);

// Writes bytes to a temporary file beside `path`, then gives it that name: an existing file is
// removed only once a complete new one is written and closed beside it (not renamed over it, which
// makes ext4 write the new file out at once). Returns false (and leaves no temporary) on failure.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace compiler
