// Mutates valid program images for a few seconds and loads each result: a damaged or hostile image
// must be refused or loaded, never crash or read outside its bytes (the sanitizer build checks the
// latter). Images that load are run for a few slices with the real core instructions.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "vm/assembler.h"
#include "vm/machine.h"

using namespace vm;
using namespace vm::assembly;

namespace {

std::vector<std::vector<uint8_t>> seedImages() {
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(Assembler().build());
    Assembler data;
    data.dataInt(1).dataReal(2.5f).dataString("").dataString("four").dataString("a longer DATA string");
    data.owner(VarKind::Int, 3, 1).owner(VarKind::String, 1, 2).variables(4, 2, 2);
    data.line(1).op(151, {intVar(0), intConst(3)});
    data.line(2).label("top").op(91, {intVar(0), intVar(0), intConst(1)});
    data.op(111, {intTemp(0), intVar(0), intConst(0)});
    data.op(1, {intTemp(0), codePos("done")}).op(87, {strVar(0), strVar(0), strConst("ab")});
    data.op(6, {codePos("top")}).label("done").op(32, {dataPos(2)});
    data.op(153, {strVar(1), strConst("")}).op(152, {realVar(0), realConst(1.25f)});
    seeds.push_back(data.build());
    return seeds;
}

// Values that sit on the edges of the checks.
int32_t interestingWord(std::mt19937& rng, size_t fileWords) {
    const int32_t values[] = {0, 1, -1, 2, 3, 4, 1023, 1024, 1025, 2000, 2001, 10000, 10001, 9999, 24999, 25000,
                              34999, 35000, 37000, 37001, 0x7fffffff, static_cast<int32_t>(0x80000000),
                              static_cast<int32_t>(fileWords), static_cast<int32_t>(fileWords) - 1,
                              static_cast<int32_t>(fileWords) + 1, 's' | 'l' << 8 | 'f' << 16};
    return values[rng() % std::size(values)];
}

void mutate(std::vector<uint8_t>& image, std::mt19937& rng) {
    int steps = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < steps; ++k) {
        size_t words = image.size() / 4;
        switch (rng() % 7) {
            case 0:  // a header word
                if (words > 12) writeWord(image, rng() % 12, interestingWord(rng, words));
                break;
            case 1:  // any word
                if (words) writeWord(image, rng() % words, interestingWord(rng, words));
                break;
            case 2:  // a random byte
                if (!image.empty()) image[rng() % image.size()] = static_cast<uint8_t>(rng());
                break;
            case 3:  // cut the end
                if (!image.empty()) image.resize(rng() % image.size());
                break;
            case 4:  // grow by a few bytes
                image.resize(image.size() + 1 + rng() % 16, static_cast<uint8_t>(rng()));
                break;
            case 5:  // a code word past the header area
                if (words > 1030) writeWord(image, words - 1 - rng() % 24, interestingWord(rng, words));
                break;
            case 6:  // flip a bit in the header
                if (image.size() > 48) image[rng() % 48] ^= static_cast<uint8_t>(1u << (rng() % 8));
                break;
        }
    }
}

}  // namespace

TEST(ImageFuzz, MutatedImagesAreRefusedOrLoadedSafely) {
    const auto seeds = seedImages();
    std::mt19937 rng(20261211);
    auto m = createMachine();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int loaded = 0, refused = 0;
    for (int round = 0; std::chrono::steady_clock::now() < deadline; ++round) {
        std::vector<uint8_t> image = seeds[round % seeds.size()];
        mutate(image, rng);
        std::string why;
        if (!loadImage(*m, image.data(), image.size(), &why)) {
            ++refused;
            ASSERT_FALSE(m->program.loaded);
            continue;
        }
        ++loaded;
        const Program& p = m->program;
        for (const Op& op : p.code) {
            ASSERT_TRUE(op.cell == &m->scratch || (op.cell >= m->cells && op.cell < m->cells + kCellCount));
            ASSERT_GE(op.target, 0);
            ASSERT_LT(op.target, p.codeSize);
        }
        resetForRun(*m);
        for (int slice = 0; slice < 4 && !m->quitPosted; ++slice) runSlice(*m);
    }
    unloadProgram(*m);
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
    RecordProperty("loaded", loaded);
    RecordProperty("refused", refused);
}

TEST(ImageFuzz, RandomBytesAreRefused) {
    std::mt19937 rng(7);
    auto m = createMachine();
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes(rng() % 9000);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        if (round % 2 && bytes.size() >= 4) writeWord(bytes, 0, 1);  // get past the format check
        EXPECT_FALSE(loadImage(*m, bytes.data(), bytes.size()));
    }
}
