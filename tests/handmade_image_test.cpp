// A program image and a standalone game put together word by word from the image and Payload
// layouts, without the compiler, and run through the zorvane executable: `zorvane exec` runs the
// image, and the executable with the Payload appended runs the program it carries.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

void putWord(Bytes& out, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

void putReal(Bytes& out, float value) {
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    putWord(out, bits);
}

void putText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// Prints 42 and 2.5, jumps over two string prints, reads the DATA items 7 and "abc", restores to
// item 0 and reads 7 again, prints "hi" and ends.
Bytes handmadeImage() {
    const std::vector<int32_t> code = {
        301, 19000,            // print integer constant 0 (42)
        302, 21000,            // print real constant 0 (2.5)
        42,  37010,            // jump to code word 10
        303, 23000,            // skipped: print "hi"
        303, 23001,            // skipped: print ""
        33,  13000,            // read an integer DATA item into integer variable 0
        301, 13000,
        35,  17000,            // read a string DATA item into string variable 0
        303, 17000,
        31,  25000,            // restore to DATA position 0
        33,  13000,
        301, 13000,
        303, 23000,
        213,                   // end
        0};
    const int32_t integers = 1024, reals = integers + 1, strings = reals + 1;
    const int32_t stringWords = 2;  // "hi" (3 bytes) and "" (counted as 2): 5 / 4 + 1 words
    const int32_t typeMap = strings + stringWords;
    const int32_t dataWords = 1 + 1 + 2;  // type map "ls", 7, "abc" with its zero and padding
    const int32_t ownerWords = 5;         // 1 integer owned by 0, no reals, 1 string owned by 0
    const int32_t codeStart = typeMap + dataWords + ownerWords;

    Bytes image;
    const int32_t header[] = {1, integers, reals, strings, 2, typeMap, 2, codeStart, 1, 0, 1, ownerWords};
    for (int32_t word : header) putWord(image, word);
    while (image.size() < 1024 * 4) putWord(image, 0);
    putWord(image, 42);
    putReal(image, 2.5f);
    putText(image, std::string("hi\0\0\0\0\0\0", 8));
    putText(image, std::string("ls\0\0", 4));
    putWord(image, 7);
    putText(image, std::string("abc\0\0\0\0\0", 8));
    for (int32_t word : {1, 0, 0, 1, 0}) putWord(image, word);
    EXPECT_EQ(image.size(), static_cast<size_t>(codeStart) * 4);
    for (int32_t word : code) putWord(image, word);
    for (size_t k = 0; k < code.size(); ++k) putWord(image, static_cast<int32_t>(k / 2 + 1));
    return image;
}

// No strings, no DATA and no variables: the string area and the DATA type map are one zero word
// each and the owner tables are three zero counts. Prints -5 and ends.
Bytes minimalImage() {
    const int32_t codeStart = 1024 + 1 + 1 + 1 + 3;
    Bytes image;
    const int32_t header[] = {1, 1024, 1025, 1025, 0, 1026, 0, codeStart, 0, 0, 0, 3};
    for (int32_t word : header) putWord(image, word);
    while (image.size() < 1024 * 4) putWord(image, 0);
    for (int32_t word : {-5, 0, 0, 0, 0, 0}) putWord(image, word);
    for (int32_t word : {301, 19000, 213, 0, 1, 1, 2, 3}) putWord(image, word);
    return image;
}

void putEntry(Bytes& out, const std::string& name, const Bytes& data) {
    putWord(out, static_cast<int32_t>(name.size() + 1));
    putText(out, name);
    out.push_back(0);
    putWord(out, static_cast<int32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string runCapturing(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[256];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    pclose(pipe);
    return output;
}

const char* kExpected = "42\n2.5\n7\nabc\n7\nhi\n";

class HandmadeImage : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = fs::path(ZV_BIN_DIR) / "zorvane";
        if (!fs::exists(runtime)) GTEST_SKIP() << "the zorvane executable is not built: " << runtime;
        folder = fs::temp_directory_path() / ("zv-handmade-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
    fs::path runtime, folder;
};

TEST_F(HandmadeImage, ExecRunsAnImageWrittenWordByWord) {
    for (const auto& [image, expected] : {std::pair{handmadeImage(), std::string(kExpected)}, std::pair{minimalImage(), std::string("-5\n")}}) {
        writeBytes(folder / "hand.img", image);
        std::string command = "'" + runtime.string() + "' exec '" + (folder / "hand.img").string() + "' --headless --console '" +
                              (folder / "out.txt").string() + "' 2>&1";
        std::string messages = runCapturing(command);
        Bytes transcript = readBytes(folder / "out.txt");
        EXPECT_EQ(std::string(transcript.begin(), transcript.end()), expected) << messages;
    }
}

TEST_F(HandmadeImage, AnExecutableWithAPayloadRunsTheProgramItCarries) {
    Bytes runtimeBytes = readBytes(runtime);
    int32_t start = static_cast<int32_t>(runtimeBytes.size());
    Bytes game = runtimeBytes;
    putEntry(game, "C:\\temp\\_exefile.dat", handmadeImage());
    putEntry(game, "Gfx\\Logo.TXT", Bytes{'l', 'o', 'g', 'o'});
    putWord(game, 0);
    putWord(game, start);

    // Another tool may append its own data, as long as the file still ends with the offset.
    Bytes signedGame = game;
    putText(signedGame, "signature block");
    putWord(signedGame, start);

    for (const auto& [name, bytes] : {std::pair{"game", game}, std::pair{"signed-game", signedGame}}) {
        fs::path executable = folder / name;
        writeBytes(executable, bytes);
        fs::permissions(executable, fs::perms::owner_all);
        EXPECT_EQ(runCapturing("'" + executable.string() + "' --headless 2>/dev/null"), kExpected) << name;
    }
}

}  // namespace
