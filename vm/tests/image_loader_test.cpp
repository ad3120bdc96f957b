#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "vm/assembler.h"
#include "vm/machine.h"

using namespace vm;
using namespace vm::assembly;

namespace {

int32_t bitsOf(float f) {
    int32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

std::vector<uint8_t> fromWords(const std::vector<int32_t>& words) {
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t k = 0; k < words.size(); ++k) writeWord(bytes, k, words[k]);
    return bytes;
}

// An image written word by word from the format description, independent of the assembler:
// one integer and one real constant, the strings "ab" and "" (the empty one counted as 2 bytes),
// DATA items 42 and "xyz", one integer variable and one string variable owned by function 2.
std::vector<uint8_t> handWrittenImage() {
    std::vector<int32_t> w(1024, 0);
    w[0] = 1;
    w[1] = 1024;
    w[2] = 1025;
    w[3] = 1026;
    w[4] = 2;
    w[5] = 1028;  // string area: (3 + 2) / 4 + 1 = 2 words
    w[6] = 2;
    w[7] = 1037;
    w[8] = 1;
    w[9] = 0;
    w[10] = 1;
    w[11] = 5;
    w.push_back(7);                                // integer constant
    w.push_back(bitsOf(1.5f));                     // real constant
    w.push_back('a' | 'b' << 8);                   // "ab\0" then "\0"
    w.push_back(0);
    w.push_back('l' | 's' << 8);                   // type map
    w.push_back(42);                               // DATA 0
    w.push_back('x' | 'y' << 8 | 'z' << 16);       // DATA 1: "xyz\0" + (3 + 1) / 4 + 1 = 2 words
    w.push_back(0);
    for (int32_t owner : {1, 0, 0, 1, 2}) w.push_back(owner);  // owner tables at 1037 - 5
    std::vector<int32_t> code = {151, 13000, 19000, 21000, 23000, 23001, 0};
    std::vector<int32_t> lines = {1, 1, 1, 2, 2, 2, 2};
    w.insert(w.end(), code.begin(), code.end());
    w.insert(w.end(), lines.begin(), lines.end());
    return fromWords(w);
}

Assembler sameProgramAssembled() {
    Assembler a;
    a.dataInt(42).dataString("xyz").owner(VarKind::String, 0, 2).variables(1, 0, 1);
    a.line(1).op(151, {intVar(0), intConst(7)});
    a.line(2).words({realConst(1.5f), strConst("ab"), strConst("")});
    return a;
}

// A program touching every area, used as the base of the rejection cases.
std::vector<uint8_t> richImage() {
    Assembler a;
    a.dataInt(-5).dataReal(2.5f).dataString("").dataString("abc").dataString("hello world");
    a.owner(VarKind::Int, 2, 1).owner(VarKind::Real, 0, 3).variables(3, 1, 2);
    a.line(10).label("top").op(151, {intVar(0), intConst(123456)});
    a.line(11).op(152, {realVar(0), realConst(-0.25f)});
    a.line(12).op(153, {strVar(1), strConst("text")}).op(153, {strVar(0), strConst("")});
    a.line(13).op(32, {dataPos(3)}).op(42, {codePos("top")}).words({raw(35004), raw(-7), raw(9999)});
    return a.build();
}

}  // namespace

TEST(ImageLoader, AssemblerWritesTheFormatWordForWord) {
    EXPECT_EQ(sameProgramAssembled().build(), handWrittenImage());
}

TEST(ImageLoader, LoadsEveryAreaIntoItsCells) {
    auto m = createMachine();
    std::vector<uint8_t> image = handWrittenImage();
    std::string why;
    ASSERT_TRUE(loadImage(*m, image.data(), image.size(), &why)) << why;

    EXPECT_EQ(m->cells[9000].i, 7);
    EXPECT_EQ(m->cells[11000].f, 1.5f);
    ASSERT_NE(m->cells[13000].s, nullptr);
    EXPECT_STREQ(m->cells[13000].s, "ab");
    ASSERT_NE(m->cells[13001].s, nullptr) << "an empty string constant is an allocated empty string";
    EXPECT_STREQ(m->cells[13001].s, "");
    EXPECT_EQ(m->cells[13002].s, nullptr);

    EXPECT_EQ(m->program.dataCount, 2);
    EXPECT_EQ(std::string(m->program.dataTypes.begin(), m->program.dataTypes.end()), "ls");
    EXPECT_EQ(m->cells[15000].i, 42);
    EXPECT_STREQ(m->cells[15001].s, "xyz");

    EXPECT_EQ(m->program.owners[0], std::vector<int16_t>{0});
    EXPECT_TRUE(m->program.owners[1].empty());
    EXPECT_EQ(m->program.owners[2], std::vector<int16_t>{2});
    ASSERT_NE(m->cells[7000].s, nullptr) << "string variables start as empty heap strings";
    EXPECT_EQ(m->cells[7001].s, nullptr);
    EXPECT_EQ(m->cells[2000].s, nullptr) << "string temporaries start without a string";

    EXPECT_EQ(m->program.codeSize, 7);
    const std::vector<int32_t> lines(m->program.lines.begin(), m->program.lines.end());
    EXPECT_EQ(lines, (std::vector<int32_t>{1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(m->pc, m->program.code.data());
    EXPECT_EQ(sourceLine(*m, &m->program.code[3]), 2);
    EXPECT_EQ(sourceLine(*m, m->program.code.data() + 7), 0) << "guard words have no line";
}

TEST(ImageLoader, RelocatesEveryKindOfWord) {
    auto m = createMachine();
    std::vector<uint8_t> image = richImage();
    std::string why;
    ASSERT_TRUE(loadImage(*m, image.data(), image.size(), &why)) << why;
    const Program& p = m->program;
    const int last = p.codeSize - 1;

    struct Case {
        int index;
        Cell* cell;
        int32_t n;
        int32_t target;
    };
    const Case cases[] = {
        {0, &m->scratch, 151, last},          // command code: plain
        {1, &m->cells[3000], 13000, last},    // integer variable
        {2, &m->cells[9000], 19000, last},    // integer constant
        {4, &m->cells[5000], 15000, last},    // real variable
        {7, &m->cells[7001], 17001, last},    // string variable
        {13, &m->scratch, 3, last},           // DATA position 3
        {15, &m->scratch, 37000, 0},          // code position 0 (37000 is the first word)
        {16, &m->scratch, 35004, last},       // an unresolved label stays a plain number
        {17, &m->scratch, -7, last},          // negative word
        {18, &m->scratch, 9999, last},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(p.code[c.index].cell, c.cell);
        EXPECT_EQ(p.code[c.index].n, c.n);
        EXPECT_EQ(p.code[c.index].target, c.target);
    }
    EXPECT_EQ(p.rawCode[13], 25003);
    EXPECT_EQ(m->cells[9000].i, 123456);
    EXPECT_EQ(m->cells[11000].f, -0.25f);
    EXPECT_STREQ(m->cells[13000].s, "text");
    EXPECT_STREQ(m->cells[13001].s, "");
    EXPECT_EQ(m->cells[15000].i, -5);
    EXPECT_EQ(m->cells[15001].f, 2.5f);
    EXPECT_STREQ(m->cells[15002].s, "");
    EXPECT_STREQ(m->cells[15003].s, "abc");
    EXPECT_STREQ(m->cells[15004].s, "hello world");
    EXPECT_EQ(p.owners[0], (std::vector<int16_t>{0, 0, 1}));
    EXPECT_EQ(p.owners[1], (std::vector<int16_t>{3}));
    // Guard words past the code read as the final 0 so that operand reads at the end stay inside.
    ASSERT_EQ(p.code.size(), size_t(p.codeSize + kCodeGuardWords));
    EXPECT_EQ(p.code.back().n, 0);
    EXPECT_EQ(p.code.back().cell, &m->scratch);
    EXPECT_EQ(p.code.back().target, last);
}

TEST(ImageLoader, NoDataStillHasOneTypeMapWordBeforeTheOwnerTables) {
    Assembler a;
    std::vector<uint8_t> image = a.build();  // only the final 0 word
    EXPECT_EQ(readWord(image, 5) + 1, readWord(image, 7) - readWord(image, 11));
    auto m = createMachine();
    ASSERT_TRUE(loadImage(*m, image.data(), image.size()));
    EXPECT_EQ(m->program.codeSize, 1);
    EXPECT_EQ(m->program.dataCount, 0);
}

TEST(ImageLoader, CutsOverlongStoredStringsTo255Characters) {
    Assembler a;
    a.dataString(std::string(300, 'd'));
    a.op(1, {strConst(std::string(400, 'c'))});
    std::vector<uint8_t> image = a.build();
    auto m = createMachine();
    ASSERT_TRUE(loadImage(*m, image.data(), image.size()));
    EXPECT_EQ(std::strlen(m->cells[13000].s), 255u);
    EXPECT_EQ(std::strlen(m->cells[15000].s), 255u);
}

TEST(ImageLoader, RefusesMalformedImages) {
    const std::vector<uint8_t> good = richImage();
    const int32_t codeWords = (static_cast<int32_t>(good.size() / 4) - readWord(good, 7)) / 2;
    using Mutation = std::function<void(std::vector<uint8_t>&)>;
    auto setWord = [](size_t index, int32_t value) -> Mutation {
        return [=](std::vector<uint8_t>& b) { writeWord(b, index, value); };
    };
    auto fillBytes = [](std::function<size_t(const std::vector<uint8_t>&)> from,
                        std::function<size_t(const std::vector<uint8_t>&)> to) -> Mutation {
        return [=](std::vector<uint8_t>& b) {
            for (size_t k = from(b); k < to(b); ++k) b[k] = 'x';
        };
    };
    auto wordByte = [](size_t headerWord, int extra = 0) {
        return [=](const std::vector<uint8_t>& b) { return size_t(readWord(b, headerWord) + extra) * 4; };
    };
    auto ownerStart = [](const std::vector<uint8_t>& b) { return size_t(readWord(b, 7) - readWord(b, 11)); };
    struct Case {
        const char* name;
        Mutation mutate;
    };
    const Case cases[] = {
        {"empty file", [](auto& b) { b.clear(); }},
        {"three bytes", [](auto& b) { b.resize(3); }},
        {"format 2", setWord(0, 2)},
        {"format 0", setWord(0, 0)},
        {"header only", [](auto& b) { b.resize(4096); }},
        {"truncated in the middle", [](auto& b) { b.resize(b.size() / 2 / 4 * 4); }},
        {"not whole words", [](auto& b) { b.push_back(0); }},
        {"odd code area", [](auto& b) { b.resize(b.size() - 4); }},
        {"integer constants not after the header", setWord(1, 1000)},
        {"real constants offset backwards", setWord(2, 1000)},
        {"too many integer constants", setWord(2, 1024 + 2001)},
        {"string constant offset backwards", [](auto& b) { writeWord(b, 3, readWord(b, 2) - 1); }},
        {"negative string count", setWord(4, -1)},
        {"too many string constants", setWord(4, 2001)},
        {"more strings than the area holds", setWord(4, 40)},
        {"unterminated string constant", fillBytes(wordByte(3), wordByte(5))},
        {"string area runs backwards", [](auto& b) { writeWord(b, 5, readWord(b, 3)); }},
        {"negative DATA count", setWord(6, -1)},
        {"too many DATA items", setWord(6, 10001)},
        {"DATA count past the owner tables", setWord(6, 9000)},
        {"unknown DATA type", [](auto& b) { b[size_t(readWord(b, 5)) * 4 + 1] = 'q'; }},
        {"unterminated DATA string", fillBytes(wordByte(5, 2), [&](auto& b) { return ownerStart(b) * 4; })},
        {"negative string variable count", setWord(10, -1)},
        {"too many string variables", setWord(10, 2001)},
        {"owner words too few", setWord(11, 2)},
        {"owner words negative", setWord(11, -5)},
        {"owner words past the file start", setWord(11, 0x7fffffff)},
        {"owner count larger than its table", [&](auto& b) { writeWord(b, ownerStart(b), 500); }},
        {"owner count beyond the cells", [&](auto& b) { writeWord(b, ownerStart(b), 2001); }},
        {"code offset past the end", [](auto& b) { writeWord(b, 7, static_cast<int32_t>(b.size() / 4)); }},
        {"code offset negative", setWord(7, -1)},
        {"code position past the code",
         [&](auto& b) { writeWord(b, size_t(readWord(b, 7)) + 16, 37000 + codeWords); }},
        {"code position far past the code", [&](auto& b) { writeWord(b, size_t(readWord(b, 7)) + 16, 0x7fffffff); }},
    };
    auto m = createMachine();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A good program loaded first must not survive a refused load.
        ASSERT_TRUE(loadImage(*m, good.data(), good.size()));
        std::vector<uint8_t> bad = good;
        c.mutate(bad);
        std::string why;
        EXPECT_FALSE(loadImage(*m, bad.data(), bad.size(), &why));
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(m->program.loaded);
        EXPECT_EQ(m->pc, nullptr);
        EXPECT_EQ(m->cells[13000].s, nullptr);
        EXPECT_EQ(m->cells[9000].i, 0);
    }
}

TEST(ImageLoader, LoadsFromFileAndReportsMissingFiles) {
    auto path = std::filesystem::temp_directory_path() / ("zv_image_" + std::to_string(std::random_device{}()) + ".img");
    std::vector<uint8_t> image = richImage();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    auto m = createMachine();
    std::string why;
    EXPECT_TRUE(loadImageFile(*m, path.string(), &why)) << why;
    EXPECT_STREQ(m->cells[15004].s, "hello world");
    std::filesystem::remove(path);
    EXPECT_FALSE(loadImageFile(*m, path.string(), &why));
    EXPECT_NE(why.find(path.string()), std::string::npos);
    EXPECT_FALSE(m->program.loaded);
    EXPECT_FALSE(loadImageFile(*m, std::filesystem::temp_directory_path().string(), &why)) << "a folder";
    EXPECT_FALSE(m->program.loaded);
}

TEST(ImageLoader, UnloadFreesStringsAndArrays) {
    auto m = createMachine();
    std::vector<uint8_t> image = richImage();
    ASSERT_TRUE(loadImage(*m, image.data(), image.size()));
    // What the program could not have written itself is noted, as every writer outside it must.
    noteCellsUsed(*m, 2005, 1);
    noteCellsUsed(*m, kIntVarBase, 1);
    noteCellsUsed(*m, kStringVarBase, 1);
    setString(m->cells[2005], "temporary");
    ArrayEntry& names = m->arrays[kStringVarBase - kIntVarBase];
    names.kind = ArrayKind::String;
    names.total = 3;
    names.storage = std::calloc(3, sizeof(char*));
    static_cast<char**>(names.storage)[1] = newString("x", 1);
    ArrayEntry& numbers = m->arrays[0];
    numbers.kind = ArrayKind::Int;
    numbers.total = 4;
    numbers.storage = std::calloc(4, sizeof(int32_t));
    unloadProgram(*m);  // the sanitizer build reports anything left behind
    EXPECT_EQ(m->cells[2005].s, nullptr);
    EXPECT_EQ(names.storage, nullptr);
    EXPECT_EQ(numbers.kind, ArrayKind::None);
    EXPECT_FALSE(m->program.loaded);
    EXPECT_EQ(sourceLine(*m, nullptr), 0);
}
