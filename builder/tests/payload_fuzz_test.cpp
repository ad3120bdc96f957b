// Mutates a valid game for a few seconds: the reader must refuse it or hold a table whose every
// entry lies inside the bytes, never crash or read outside them (the sanitizer build checks that).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "builder/payload.h"

using namespace builder;

namespace {

std::vector<uint8_t> seedGame() {
    PayloadWriter writer;
    writer.addFile("C:\\TEMP\\_exefile.dat", std::vector<uint8_t>(64, 1));
    writer.addFile("gfx\\a.bmp", std::vector<uint8_t>(13, 2));
    writer.addFile("", {});
    writer.addFile("x", std::vector<uint8_t>(3, 3));
    // Built in memory through a file so that the writer's own layout is what is mutated.
    std::string path = testing::TempDir() + "zv_payload_fuzz_seed";
    EXPECT_TRUE(writer.writeWithRuntime(std::vector<uint8_t>(40, 0x90), path));
    PayloadReader reader;
    EXPECT_EQ(reader.read(path), PayloadReader::Status::Ok);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<uint8_t> bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    std::remove(path.c_str());
    return bytes;
}

void setWord(std::vector<uint8_t>& b, size_t at, uint32_t value) {
    for (int k = 0; k < 4 && at + k < b.size(); ++k) b[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

}  // namespace

TEST(PayloadFuzz, MutatedGamesAreRefusedOrReadSafely) {
    const std::vector<uint8_t> seed = seedGame();
    ASSERT_GT(seed.size(), 40u);
    std::mt19937 rng(1211);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int accepted = 0, refused = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        std::vector<uint8_t> game = seed;
        for (int steps = 1 + rng() % 3; steps > 0; --steps) {
            const uint32_t values[] = {0, 1, 4, 40, 0xffffffffu, 0x7fffffffu, static_cast<uint32_t>(game.size()),
                                       static_cast<uint32_t>(game.size() - 8), static_cast<uint32_t>(rng())};
            switch (rng() % 4) {
                case 0: setWord(game, rng() % game.size(), values[rng() % std::size(values)]); break;
                case 1: game[rng() % game.size()] = static_cast<uint8_t>(rng()); break;
                case 2: game.resize(rng() % game.size() + 1); break;
                case 3: setWord(game, game.size() - 4, values[rng() % std::size(values)]); break;
            }
        }
        PayloadReader reader;
        if (reader.readBytes(game.data(), game.size()) != PayloadReader::Status::Ok) {
            ++refused;
            ASSERT_TRUE(reader.entries().empty());
            continue;
        }
        ++accepted;
        for (const PayloadEntry& e : reader.entries()) {
            ASSERT_LE(e.offset + e.size, game.size());
            ASSERT_LE(e.name.size(), 255u);
        }
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}
