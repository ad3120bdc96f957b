// The parts under the sprite commands: the clip-and-scale computation, the scaled, mirrored,
// flipped, colour-keyed copy, the SlotPool and the image table's slots.
#include <gtest/gtest.h>

#include <set>

#include "display/image_table.h"
#include "display/render_items.h"
#include "display/sprite_blit.h"

namespace display {
namespace {

TEST(ClipAndScale, CutsTheSourceBySourcePixelsFromTheRightSide) {
  struct Case {
    const char* name;
    int x, y;
    float sx, sy;
    bool mirrored, flipped;
    Rect source, destination;
  } cases[] = {
      // A 10 x 10 picture on a 100 x 50 target.
      {"inside", 20, 10, 1, 1, false, false, {0, 0, 10, 10}, {20, 10, 30, 20}},
      {"scaled inside", 20, 10, 2, 3, false, false, {0, 0, 10, 10}, {20, 10, 40, 40}},
      {"left at scale 2: half the screen cut", -6, 0, 2, 1, false, false, {3, 0, 10, 10}, {0, 0, 14, 10}},
      {"left, mirrored: cut from the right", -6, 0, 2, 1, true, false, {0, 0, 7, 10}, {0, 0, 14, 10}},
      {"top, flipped: cut from the bottom", 0, -4, 1, 1, false, true, {0, 0, 10, 6}, {0, 0, 10, 6}},
      {"right edge", 95, 0, 1, 1, false, false, {0, 0, 5, 10}, {95, 0, 100, 10}},
      {"right edge, mirrored", 95, 0, 1, 1, true, false, {5, 0, 10, 10}, {95, 0, 100, 10}},
      {"bottom edge at scale 2", 0, 40, 1, 2, false, false, {0, 0, 10, 5}, {0, 40, 10, 50}},
      {"bottom edge, flipped", 0, 45, 1, 1, false, true, {0, 5, 10, 10}, {0, 45, 10, 50}},
  };
  for (const auto& c : cases) {
    ClipRequest r;
    r.targetWidth = 100, r.targetHeight = 50;
    r.source = Rect{0, 0, 10, 10};
    r.x = c.x, r.y = c.y, r.width = 10, r.height = 10;
    r.scaleX = c.sx, r.scaleY = c.sy, r.mirrored = c.mirrored, r.flipped = c.flipped;
    Rect s, d;
    ASSERT_TRUE(clipAndScale(r, s, d)) << c.name;
    EXPECT_EQ((std::vector<int>{s.left, s.top, s.right, s.bottom}),
              (std::vector<int>{c.source.left, c.source.top, c.source.right, c.source.bottom}))
        << c.name;
    EXPECT_EQ((std::vector<int>{d.left, d.top, d.right, d.bottom}),
              (std::vector<int>{c.destination.left, c.destination.top, c.destination.right, c.destination.bottom}))
        << c.name;
  }
}

TEST(ClipAndScale, NothingIsDrawnOutsideOrAtZeroSize) {
  struct Case {
    int x, y;
    float sx, sy;
  } cases[] = {{-10, 0, 1, 1}, {100, 0, 1, 1}, {0, 50, 1, 1}, {0, -10, 1, 1}, {10, 10, 0, 1}, {10, 10, 0.05f, 1},
               {-2000000000, 0, 1, 1}, {10, 10, 1e30f, 1}};
  for (const auto& c : cases) {
    ClipRequest r;
    r.targetWidth = 100, r.targetHeight = 50;
    r.source = Rect{0, 0, 10, 10};
    r.x = c.x, r.y = c.y, r.width = 10, r.height = 10, r.scaleX = c.sx, r.scaleY = c.sy;
    Rect s, d;
    EXPECT_FALSE(clipAndScale(r, s, d)) << c.x << "," << c.y << " scale " << c.sx;
  }
}

// A 3 x 2 picture: red, green, black (transparent) over blue, white, red.
Surface picture() {
  Surface s(3, 2, 16);
  const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x000000, 0x0000FF, 0xFFFFFF, 0xFF0000};
  for (int i = 0; i < 6; ++i) s.setColour(i % 3, i / 3, colours[i]);
  s.setBlackKey();
  return s;
}

std::vector<uint32_t> colours(const Surface& s) {
  std::vector<uint32_t> out;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) out.push_back(s.colour(x, y));
  return out;
}

TEST(BlitSprite, MirrorsFlipsScalesAndLeavesOutTheKey) {
  const uint32_t Y = 0xFFFF00, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF, K = 0x000000;
  struct Case {
    const char* name;
    bool mirrored, flipped, keyed;
    int width, height;  // destination size at (0, 0)
    std::vector<uint32_t> expected;
  } cases[] = {
      {"plain keyed", false, false, true, 3, 2, {R, G, Y, B, W, R}},
      {"plain opaque", false, false, false, 3, 2, {R, G, K, B, W, R}},
      {"mirrored", true, false, true, 3, 2, {Y, G, R, R, W, B}},
      {"flipped", false, true, true, 3, 2, {B, W, R, R, G, Y}},
      {"both", true, true, false, 3, 2, {R, W, B, K, G, R}},
      {"doubled", false, false, true, 6, 2, {R, R, G, G, Y, Y, B, B, W, W, R, R}},
      {"doubled, mirrored", true, false, true, 6, 2, {Y, Y, G, G, R, R, R, R, W, W, B, B}},
  };
  const Surface from = picture();
  for (const auto& c : cases) {
    Surface onto(c.width, c.height, 16);
    onto.fillColour(Y);
    ASSERT_TRUE(blitSprite(from, Rect{0, 0, 3, 2}, onto, Rect{0, 0, c.width, c.height}, c.mirrored, c.flipped, c.keyed)) << c.name;
    EXPECT_EQ(colours(onto), c.expected) << c.name;
  }
  Surface wide(3, 2, 32);
  ASSERT_TRUE(blitSprite(from, Rect{0, 0, 3, 2}, wide, Rect{0, 0, 3, 2}, true, false, false));
  EXPECT_EQ(colours(wide), (std::vector<uint32_t>{K, G, R, R, W, B})) << "16 to 32 bits converts";
  Surface small(2, 2, 16);
  EXPECT_FALSE(blitSprite(from, Rect{0, 0, 3, 2}, small, Rect{0, 0, 3, 2}, false, false, false)) << "outside the target";
}

struct Record {
  int32_t next = -1, prev = -1;
  int value = 0;
};

TEST(SlotPool, GrowsBeforeItIsFullAndKeepsIndexesAndOrder) {
  SlotPool<Record> pool(2, 4);
  std::vector<int32_t> taken;
  for (int i = 0; i < 40; ++i) {
    const int32_t index = pool.allocate();
    ASSERT_GE(index, 0);
    EXPECT_EQ(pool[index].value, 0) << "a new record is zeroed";
    pool[index].value = i;
    taken.push_back(index);
    EXPECT_LE(pool.count() + 4, pool.capacity() + 1) << "room kept after " << i;
  }
  EXPECT_EQ(std::set<int32_t>(taken.begin(), taken.end()).size(), taken.size());
  for (int i = 0; i < 40; ++i) EXPECT_EQ(pool[taken[size_t(i)]].value, i) << "records survive growth";
  // Free every other record; the rest stay linked in allocation order.
  for (int i = 0; i < 40; i += 2) pool.free(taken[size_t(i)]);
  pool.free(taken[0]);  // twice: harmless
  EXPECT_EQ(pool.count(), 20);
  std::vector<int> order;
  for (int32_t i = pool.head(); i >= 0; i = pool[i].next) order.push_back(pool[i].value);
  ASSERT_EQ(order.size(), 20u);
  for (size_t k = 0; k < order.size(); ++k) EXPECT_EQ(order[k], int(2 * k + 1));
  // Freed records are handed out again before the table grows.
  const int capacity = pool.capacity();
  const int32_t reused = pool.allocate();
  EXPECT_EQ(reused, taken[38]);
  EXPECT_EQ(pool.capacity(), capacity);
  EXPECT_EQ(pool[pool.tail()].value, 0) << "appended at the tail";
}

TEST(ImageTable, SlotsAreReusedPreparedAndFreedTwoFramesAfterDeletion) {
  ImageTable images;
  EXPECT_EQ(images.capacity(), 16);
  const int32_t slot = images.allocate();
  ASSERT_GT(slot, 0) << "slot 0 is never handed out";
  ASSERT_TRUE(images.prepare(slot, 8, 4, 16));
  const Surface* surface = images[slot].surface.get();
  EXPECT_EQ(images[slot].surface->colourKey, 0u);
  ASSERT_TRUE(images.prepare(slot, 8, 4, 16));
  EXPECT_EQ(images[slot].surface.get(), surface) << "same size: the surface is reused";
  EXPECT_FALSE(images.prepare(slot, 0, 4, 16));
  EXPECT_FALSE(images[slot].inUse);
  EXPECT_EQ(images[slot].surface, nullptr) << "a failed preparation empties the slot";
  ASSERT_TRUE(images.prepare(slot, 2, 2, 16));
  images.map(7, slot);
  const uint32_t generation = images[slot].generation;
  images.deleteLater(7);
  EXPECT_EQ(images.slotOf(7), 0) << "unmapped at once";
  images.countDown();
  EXPECT_NE(images.picture(slot, generation), nullptr) << "kept for the other page";
  images.countDown();
  EXPECT_EQ(images.picture(slot, generation), nullptr);
  const int32_t again = images.allocate();
  EXPECT_EQ(again, slot);
  EXPECT_NE(images[again].generation, generation) << "a reused slot is not the old picture";
  // Growth: doubled 12 records before full.
  for (int i = 0; i < 10; ++i) images.allocate();
  EXPECT_EQ(images.capacity(), 32);
}

}  // namespace
}  // namespace display
