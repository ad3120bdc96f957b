// The remembered GL device description: what a headless run answers without making a context.
#include "platform/sdl/gl_info_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

GlDeviceInfo sampleInfo() {
    GlDeviceInfo info;
    info.renderer = "llvmpipe (LLVM 15.0.6, 256 bits)";
    info.vendor = "Mesa";
    info.version = "4.5 (Compatibility Profile) Mesa 22.3.6";
    info.software = true;
    info.textureMemory = 64ull << 20;
    info.offscreenMemory = 3ull << 32; // beyond 32 bits
    info.anisotropicFiltering = true;
    info.compressedTextures = false;
    info.mirroredRepeat = true;
    return info;
}

TEST(GlInfoCache, RemembersEveryFieldUnderItsFingerprint) {
    testing::TempFolder dir;
    const std::string path = dir.file("cache/zorvane/gl-device"); // folders are made
    GlDeviceInfo info = sampleInfo();
    info.vendor = "Line\nbreak";
    ASSERT_TRUE(writeGlInfo(path, "set-up A", info));
    auto read = readGlInfo(path, "set-up A");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->renderer, info.renderer);
    EXPECT_EQ(read->vendor, "Line break");
    EXPECT_EQ(read->version, info.version);
    EXPECT_EQ(read->software, info.software);
    EXPECT_EQ(read->textureMemory, info.textureMemory);
    EXPECT_EQ(read->offscreenMemory, info.offscreenMemory);
    EXPECT_EQ(read->anisotropicFiltering, info.anisotropicFiltering);
    EXPECT_EQ(read->compressedTextures, info.compressedTextures);
    EXPECT_EQ(read->mirroredRepeat, info.mirroredRepeat);
    EXPECT_FALSE(readGlInfo(path, "set-up B").has_value()) << "another GL set-up makes a real context";
}

TEST(GlInfoCache, RefusesMissingOrDamagedFiles) {
    testing::TempFolder dir;
    const std::string good = dir.file("good");
    ASSERT_TRUE(writeGlInfo(good, "fp", sampleInfo()));
    const std::string text = dir.read("good");
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    struct Case {
        const char *name;
        std::string contents;
    } cases[] = {
        {"empty", ""},
        {"other format", replaced("gl-device 1", "gl-device 2")},
        {"field missing", replaced("mirrored 1\n", "")},
        {"number with letters", replaced("texture-memory 67108864", "texture-memory 64M")},
        {"number too long", replaced("texture-memory 67108864", "texture-memory 123456789012345678901")},
        {"flag not 0 or 1", replaced("software 1", "software yes")},
        {"cut short", text.substr(0, text.size() / 2)},
    };
    for (const auto &c : cases) {
        const std::string path = dir.write(c.name, c.contents);
        EXPECT_FALSE(readGlInfo(path, "fp").has_value()) << c.name;
    }
    EXPECT_FALSE(readGlInfo(dir.file("absent"), "fp").has_value());
    EXPECT_TRUE(readGlInfo(good, "fp").has_value());
}

TEST(GlInfoCache, EachSetUpKeepsItsOwnFile) {
    testing::TempFolder dir;
    const char *old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    const std::string a = glInfoCacheFile("set-up A"), b = glInfoCacheFile("set-up B");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(glInfoCachePath() + "-", 0), 0u) << a;
    GlDeviceInfo other = sampleInfo();
    other.renderer = "another renderer";
    ASSERT_TRUE(writeGlInfo(a, "set-up A", sampleInfo()));
    ASSERT_TRUE(writeGlInfo(b, "set-up B", other));
    ASSERT_TRUE(readGlInfo(a, "set-up A").has_value()) << "writing B's description keeps A's";
    EXPECT_EQ(readGlInfo(b, "set-up B")->renderer, "another renderer");
    if (old)
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

TEST(GlInfoCache, FingerprintFollowsTheGlVariablesOnly) {
    const char *name = "MESA_LOADER_DRIVER_OVERRIDE";
    const char *old = std::getenv(name);
    const std::string saved = old ? old : "";
    ::unsetenv(name);
    const std::string before = glFingerprint();
    ::setenv("ZV_UNRELATED_TEST_VARIABLE", "x", 1);
    EXPECT_EQ(glFingerprint(), before);
    ::unsetenv("ZV_UNRELATED_TEST_VARIABLE");
    ::setenv(name, "zink", 1);
    EXPECT_NE(glFingerprint(), before);
    if (old)
        ::setenv(name, saved.c_str(), 1);
    else
        ::unsetenv(name);
}

} // namespace
} // namespace platform
