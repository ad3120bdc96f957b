#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "builder/payload.h"

using namespace builder;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void putWord(std::vector<uint8_t>& out, uint32_t value) {
    for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(value >> (8 * b)));
}

// A folder of its own per test, removed afterwards.
class PayloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("zv_payload_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder / "tmp");
    }
    void TearDown() override { fs::remove_all(folder); }

    // Writes a game from a fake runtime and the given files; returns its path.
    fs::path writeGame(const std::vector<std::pair<std::string, std::string>>& files, const std::string& runtime) {
        PayloadWriter writer;
        for (const auto& [name, data] : files) writer.addFile(name, bytesOf(data));
        fs::path game = folder / "game";
        std::string why;
        EXPECT_TRUE(writer.writeWithRuntime(bytesOf(runtime), game.string(), &why)) << why;
        return game;
    }

    fs::path folder;
};

const std::string kRuntime = "\x7f" "ELF runtime bytes \x01\x02\x03";

}  // namespace

TEST_F(PayloadTest, WrittenGameHasTheExactLayout) {
    fs::path game = writeGame({{"C:\\TMP\\_exefile.dat", "PROG"}}, kRuntime);
    std::vector<uint8_t> expected = bytesOf(kRuntime);
    putWord(expected, 20);  // "C:\TMP\_exefile.dat" + its zero
    for (char c : std::string("C:\\TMP\\_exefile.dat")) expected.push_back(static_cast<uint8_t>(c));
    expected.push_back(0);
    putWord(expected, 4);
    for (char c : std::string("PROG")) expected.push_back(static_cast<uint8_t>(c));
    putWord(expected, 0);
    putWord(expected, static_cast<uint32_t>(kRuntime.size()));
    EXPECT_EQ(fileText(game), std::string(expected.begin(), expected.end()));
    EXPECT_TRUE((fs::status(game).permissions() & fs::perms::owner_exec) != fs::perms::none);
}

TEST_F(PayloadTest, RoundTripAndLookUps) {
    fs::path game = writeGame({{"C:\\TMP\\_exefile.dat", "program image"},
                               {"Gfx\\Logo.BMP", "logo pixels"},
                               {"music\\Theme.MP3", "theme"},
                               {"dup.txt", "first"},
                               {"DUP.TXT", "second"},
                               {"other\\logo.bmp", "other logo"}},
                              kRuntime);
    PayloadReader reader;
    reader.setTemporaryFolder((folder / "tmp").string());
    std::string why;
    ASSERT_EQ(reader.read(game.string(), &why), PayloadReader::Status::Ok) << why;
    ASSERT_EQ(reader.entries().size(), 6u);
    EXPECT_EQ(reader.entries()[1].name, "gfx\\logo.bmp");
    EXPECT_EQ(reader.entries()[1].size, 11u);

    std::string program;
    ASSERT_TRUE(reader.extractProgram(&program));
    EXPECT_EQ(program, (folder / "tmp" / "_virtual.dat").string());
    EXPECT_EQ(fileText(program), "program image");

    struct Case {
        const char* asked;
        bool byFileName;
        const char* extension;
        const char* contents;  // nullptr: not found
    };
    const Case cases[] = {
        {"gfx/logo.bmp", false, "bmp", "logo pixels"},
        {"GFX\\LOGO.BMP", false, "dat", "logo pixels"},
        {"Music/theme.mp3", false, "mp3", "theme"},
        {"dup.txt", false, "dat", "first"},  // two equal names: the first wins
        {"gfx/missing.bmp", false, "dat", nullptr},
        {"logo.bmp", false, "dat", nullptr},  // by path the folder must match
        {"LOGO.bmp", true, "bmp", "logo pixels"},
        {"theme.mp3", true, "dat", "theme"},
        {"gfx\\logo.bmp", true, "dat", nullptr},  // by file name only the last part is compared
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        std::string name = c.asked;
        bool found = c.byFileName ? reader.lookUpByFileName(name, c.extension) : reader.lookUpByPath(name, c.extension);
        EXPECT_EQ(found, c.contents != nullptr);
        if (!c.contents) {
            EXPECT_EQ(name, c.asked);
            continue;
        }
        EXPECT_EQ(name, (folder / "tmp" / (std::string("_virtual.") + c.extension)).string());
        EXPECT_EQ(fileText(name), c.contents);
    }

    reader.release();
    EXPECT_FALSE(reader.hasPayload());
    EXPECT_TRUE(fs::is_empty(folder / "tmp")) << "release deletes the extraction files";
}

TEST_F(PayloadTest, LookUpKeepsExtractionInsideTheTemporaryFolder) {
    fs::path game = writeGame({{"prog", "p"}, {"a.bmp", "pixels"}}, kRuntime);
    PayloadReader reader;
    reader.setTemporaryFolder((folder / "tmp").string());
    ASSERT_EQ(reader.read(game.string()), PayloadReader::Status::Ok);
    std::string name = "a.bmp";
    ASSERT_TRUE(reader.lookUpByPath(name, "/../../x"));
    EXPECT_EQ(fs::path(name).parent_path(), folder / "tmp");

    PayloadReader noFolder;
    ASSERT_EQ(noFolder.read(game.string()), PayloadReader::Status::Ok);
    name = "a.bmp";
    EXPECT_FALSE(noFolder.lookUpByPath(name)) << "nowhere to extract to: not found";
    EXPECT_EQ(name, "a.bmp");
    noFolder.setTemporaryFolder((folder / "missing" / "deeper").string());
    EXPECT_FALSE(noFolder.lookUpByFileName(name)) << "an extraction that cannot be written: not found";
    EXPECT_EQ(name, "a.bmp");
}

TEST_F(PayloadTest, EmptyTableAndProgramOnlyPayloads) {
    PayloadReader reader;
    reader.setTemporaryFolder((folder / "tmp").string());
    ASSERT_EQ(reader.read(writeGame({}, kRuntime).string()), PayloadReader::Status::Ok);
    EXPECT_TRUE(reader.entries().empty());
    std::string path;
    EXPECT_FALSE(reader.extractProgram(&path)) << "no program to extract";

    ASSERT_EQ(reader.read(writeGame({{"prog", "image"}}, kRuntime).string()), PayloadReader::Status::Ok);
    ASSERT_EQ(reader.entries().size(), 1u);
    std::string name = "gfx/logo.bmp";
    EXPECT_FALSE(reader.lookUpByPath(name));
    EXPECT_EQ(name, "gfx/logo.bmp");
}

TEST_F(PayloadTest, BuildingFromAGameDropsItsPayload) {
    fs::path first = writeGame({{"prog", "old program"}, {"old.bmp", "old"}}, kRuntime);
    PayloadWriter writer;
    writer.addFile("prog", bytesOf("new program"));
    fs::path second = folder / "second";
    ASSERT_TRUE(writer.write(first.string(), second.string()));
    PayloadReader reader;
    ASSERT_EQ(reader.read(second.string()), PayloadReader::Status::Ok);
    ASSERT_EQ(reader.entries().size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.data(reader.entries()[0])), 11), "new program");
    EXPECT_EQ(fileText(second).substr(0, kRuntime.size()), kRuntime);
    EXPECT_EQ(fs::file_size(second), kRuntime.size() + 4 + 5 + 4 + 11 + 8);
}

TEST_F(PayloadTest, RefusesFilesWhoseLastWordLeadsToNoValidTable) {
    const fs::path game = writeGame({{"prog", "program"}, {"a.bmp", "pixels"}}, kRuntime);
    const std::string good = fileText(game);
    const uint32_t s = static_cast<uint32_t>(kRuntime.size());
    auto setWord = [](std::string& b, size_t at, uint32_t value) {
        for (int k = 0; k < 4; ++k) b[at + k] = static_cast<char>(value >> (8 * k));
    };
    using Mutation = std::function<void(std::string&)>;
    struct Case {
        const char* name;
        Mutation mutate;
        PayloadReader::Status expected;
    };
    const Case cases[] = {
        {"empty file", [](std::string& b) { b.clear(); }, PayloadReader::Status::NoPayload},
        {"seven bytes", [](std::string& b) { b.resize(7); }, PayloadReader::Status::NoPayload},
        {"offset past the end", [&](std::string& b) { setWord(b, b.size() - 4, 0xfffffff0u); },
         PayloadReader::Status::NoPayload},
        {"offset on the trailer", [&](std::string& b) { setWord(b, b.size() - 4, uint32_t(b.size() - 4)); },
         PayloadReader::Status::NoPayload},
        {"offset inside the runtime", [&](std::string& b) { setWord(b, b.size() - 4, 3); },
         PayloadReader::Status::NoPayload},
        {"name length past the end", [&](std::string& b) { setWord(b, s, 0x7fffffffu); },
         PayloadReader::Status::NoPayload},
        {"name not zero-terminated", [&](std::string& b) { b[s + 4 + 4] = 'X'; }, PayloadReader::Status::NoPayload},
        {"data size past the end", [&](std::string& b) { setWord(b, s + 4 + 5, 0xfffffff0u); },
         PayloadReader::Status::NoPayload},
        {"data size one byte too long", [&](std::string& b) { setWord(b, s + 4 + 5, 8); },
         PayloadReader::Status::NoPayload},
        {"terminator missing", [&](std::string& b) { setWord(b, b.size() - 8, 1); }, PayloadReader::Status::NoPayload},
        {"truncated trailer", [&](std::string& b) { b.erase(b.size() - 5, 1); }, PayloadReader::Status::NoPayload},
        {"data appended after the trailer and S again",
         [&](std::string& b) {
             b += "signature block";
             b.append(4, '\0');
             setWord(b, b.size() - 4, s);
         },
         PayloadReader::Status::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        c.mutate(bad);
        PayloadReader fromMemory;
        std::string why;
        EXPECT_EQ(fromMemory.readBytes(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), &why), c.expected);
        EXPECT_EQ(fromMemory.hasPayload(), c.expected == PayloadReader::Status::Ok);
        std::ofstream(folder / "bad", std::ios::binary).write(bad.data(), static_cast<std::streamsize>(bad.size()));
        PayloadReader fromFile;
        EXPECT_EQ(fromFile.read((folder / "bad").string(), &why), c.expected);
        if (c.expected != PayloadReader::Status::Ok) {
            EXPECT_FALSE(why.empty());
            EXPECT_TRUE(fromFile.entries().empty());
        }
    }
}

TEST_F(PayloadTest, PlainExecutablesAndMissingFiles) {
    PayloadReader reader;
    std::string why;
    EXPECT_EQ(reader.read(ZV_BIN_DIR "/zv_builder_tests", &why), PayloadReader::Status::NoPayload) << why;
    EXPECT_EQ(reader.read((folder / "absent").string(), &why), PayloadReader::Status::CannotOpen);
    EXPECT_NE(why.find("absent"), std::string::npos);
    EXPECT_EQ(reader.read(folder.string(), &why), PayloadReader::Status::CannotOpen) << "a folder";
    PayloadWriter writer;
    EXPECT_FALSE(writer.addFileFromDisk("x.bmp", folder.string(), &why));
    EXPECT_FALSE(writer.write(folder.string(), (folder / "game").string(), &why));
    EXPECT_FALSE(fs::exists(folder / "game"));
}

TEST(MediaFiles, AcceptedNames) {
    const std::pair<const char*, bool> cases[] = {
        {"readme.txt", true}, {"notes.doc", false}, {"level1.x", true}, {"MODEL.X", true},  {"intro.BMP", true},
        {"song.Mid", true},   {"scene.3ds", true},  {"photo.jpeg", false}, {"bmp", true}, {"ab", false},
        {"", false},
    };
    for (auto [name, accepted] : cases) EXPECT_EQ(isMediaFileName(name), accepted) << name;
}

TEST_F(PayloadTest, MediaFolderIsWalkedDepthFirstWithBackslashNames) {
    fs::path media = folder / "media";
    auto put = [&](const fs::path& relative, const std::string& text) {
        fs::create_directories((media / relative).parent_path());
        std::ofstream(media / relative, std::ios::binary) << text;
    };
    put("Gfx/Intro.BMP", "intro");
    put("Gfx/deeper/snd.wav", "wave");
    put("readme.txt", "read me");
    put("notes.doc", "not packed");
    put("level1.x", "model");

    PayloadWriter writer;
    std::vector<std::string> shown;
    ASSERT_TRUE(writer.addMediaFolder(media.string(), {}, [&](const std::string& n) { shown.push_back(n); }));
    EXPECT_EQ(shown, (std::vector<std::string>{"Intro.BMP", "snd.wav", "level1.x", "readme.txt"}));
    ASSERT_TRUE(writer.writeWithRuntime(bytesOf(kRuntime), (folder / "game").string()));
    PayloadReader reader;
    ASSERT_EQ(reader.read((folder / "game").string()), PayloadReader::Status::Ok);
    std::vector<std::string> names;
    for (const PayloadEntry& e : reader.entries()) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"gfx\\intro.bmp", "gfx\\deeper\\snd.wav", "level1.x", "readme.txt"}));

    PayloadWriter cancelled;
    int asked = 0;
    EXPECT_FALSE(cancelled.addMediaFolder(media.string(), [&] { return ++asked > 2; }));
}
