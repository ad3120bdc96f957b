// A headless host in a folder of its own: executable folder, start directory, temporary and
// configuration folders, programs compiled from source text.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "compiler/compiler.h"
#include "host/host.h"
#include "platform/files.h"
#include "platform/tests/temp_folder.h"

namespace host::testing {

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        for (const char *sub : {"bin", "start", "tmp", "config"})
            std::filesystem::create_directories(dir.file(sub));
    }
    void TearDown() override { std::filesystem::current_path(previousFolder_); }

    HostPaths paths() const {
        return hostPathsFor(dir.file("start"), dir.file("bin/zorvane"), dir.file("tmp"), dir.file("config"));
    }

    // Compiles a program (lines joined with CR LF); fails the test on a compile error.
    std::vector<uint8_t> compile(const std::string &source) {
        std::string path = dir.write("start/test.qxa", source);
        compiler::CompileResult r = compiler::compileFile(path);
        EXPECT_TRUE(r.ok) << r.file << ":" << r.line << ": " << r.message;
        return r.image;
    }

    RunOptions headless(const std::string &script = "", uint64_t maxFrames = 200) {
        RunOptions o;
        o.platform.headless = true;
        if (!script.empty())
            o.platform.inputScript = dir.write("start/input.txt", script);
        o.maxFrames = maxFrames;
        o.consoleFile = dir.file("start/console.txt");
        return o;
    }

    // Runs the program; stderr is captured into `stderrText`.
    RunResult run(Host &host, std::vector<uint8_t> image) {
        auto source = imageSource(std::move(image));
        ::testing::internal::CaptureStderr();
        RunResult r = host.run(*source);
        stderrText = ::testing::internal::GetCapturedStderr();
        return r;
    }

    std::string console() const { return dir.read("start/console.txt"); }

    platform::testing::TempFolder dir;
    std::string stderrText;

  private:
    std::filesystem::path previousFolder_;
};

} // namespace host::testing
