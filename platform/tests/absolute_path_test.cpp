// absolutePath says what the file system library's absolute().lexically_normal() says.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"

namespace platform {
namespace {

TEST(AbsolutePath, MatchesTheLibrarysLexicalNormalForm) {
    for (const char* path : {"out.txt", "./out.txt", "frames/", "frames//sub/./x", "a/../b", "../x", "../../../../..",
                             "/", "/tmp/", "/tmp/a/..", "/tmp/a/.", "/..", "//double//slash", "a/b/../../..", ".",
                             "..", "x/./", "name with space/f.png"}) {
        const std::string expected = std::filesystem::absolute(path).lexically_normal().string();
        EXPECT_EQ(absolutePath(path), expected) << path;
    }
}

}  // namespace
}  // namespace platform
