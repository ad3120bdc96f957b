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

// Writes bytes to a temporary file beside `path`, then renames it over `path`: an existing file is
// replaced only by a complete new one. Returns false (and leaves no temporary) on failure.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace compiler
