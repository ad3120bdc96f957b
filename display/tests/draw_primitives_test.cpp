// Pixel results of the drawing primitives and the DrawQueue's bookkeeping.
#include "display/draw_primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "display/draw_queue.h"

namespace display {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// The set pixels of a surface cleared to black, as (x, y) pairs.
std::set<std::pair<int, int>> litPixels(const Surface& s) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (s.pixel(x, y) != 0) out.insert({x, y});
  return out;
}

TEST(DrawPrimitives, BoxesOutsideOrReversedDrawNothing) {
  struct Case {
    Rect rect;
    bool drawn;
  } cases[] = {
      {{2, 2, 5, 4}, true},   {{0, 0, 10, 10}, true}, {{5, 2, 2, 4}, false}, {{2, 4, 5, 2}, false},
      {{-1, 0, 3, 3}, false}, {{8, 8, 11, 9}, false}, {{3, 3, 3, 4}, false},
  };
  for (const auto& c : cases) {
    Surface s(10, 10, 16);
    EXPECT_EQ(fillRect(s, c.rect, 0xFFFF), c.drawn);
    const auto lit = litPixels(s);
    EXPECT_EQ(lit.size(), c.drawn ? size_t(c.rect.width() * c.rect.height()) : 0u)
        << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
  }
}

TEST(DrawPrimitives, LinesStepOnePixelAtATime) {
  Surface s(10, 10, 32);
  const uint32_t ink = s.layout.pack(kWhite);
  drawLine(s, 4, 4, 4, 4, ink);  // both ends the same: the single pixel
  EXPECT_EQ(litPixels(s), (std::set<std::pair<int, int>>{{4, 4}}));

  s.fill(0);
  drawLine(s, 0, 0, 3, 0, ink);
  EXPECT_EQ(litPixels(s), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));

  s.fill(0);
  drawLine(s, 0, 0, 3, 3, ink);  // length 4.24: t = 0..4, at 0.707 steps
  EXPECT_EQ(litPixels(s), (std::set<std::pair<int, int>>{{0, 0}, {0, 0}, {1, 1}, {2, 2}}));

  s.fill(0);
  drawLine(s, 8, 5, 12, 5, ink);  // stops at the first pixel outside
  EXPECT_EQ(litPixels(s), (std::set<std::pair<int, int>>{{8, 5}, {9, 5}}));

  s.fill(0);
  drawLine(s, -2, 5, 3, 5, ink);  // starts outside: nothing at all
  EXPECT_TRUE(litPixels(s).empty());
}

TEST(DrawPrimitives, CirclesAreClosedRingsAndRadiusZeroIsTheCentre) {
  Surface s(40, 40, 16);
  const uint32_t ink = s.layout.pack(kWhite);
  drawEllipse(s, 20, 20, 0, 0, ink);
  EXPECT_EQ(litPixels(s), (std::set<std::pair<int, int>>{{20, 20}}));

  s.fill(0);
  drawEllipse(s, 20, 20, 10, 10, ink);
  const auto ring = litPixels(s);
  for (auto [x, y] : ring) {
    const double r = std::hypot(x + 0.0 - 20, y + 0.0 - 20);
    EXPECT_NEAR(r, 10, 1.5) << x << "," << y;
  }
  // The four extreme points are on the ring (+0.5 rounds the centre offsets).
  for (auto p : {std::pair{30, 20}, std::pair{20, 30}, std::pair{10, 20}, std::pair{20, 10}})
    EXPECT_TRUE(ring.count(p)) << p.first << "," << p.second;

  s.fill(0);
  drawEllipse(s, 20, 20, 15, 5, ink);
  int minY = 40, maxY = 0, minX = 40, maxX = 0;
  for (auto [x, y] : litPixels(s))
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  EXPECT_EQ(maxX - minX, 30);
  EXPECT_EQ(maxY - minY, 10);
}

TEST(DrawPrimitives, CopiesScaleConvertAndKeepTransparentBlack) {
  Surface source(4, 2, 16);
  source.setColour(0, 0, 0xFF0000);
  source.setColour(3, 1, 0x00FF00);  // (1..2, 0..1) stay black
  source.setBlackKey();
  Surface destination(8, 4, 16);
  destination.fillColour(0x0000FF);

  ASSERT_TRUE(copyRect(source, {0, 0, 4, 2}, destination, {0, 0, 8, 4}, false));  // doubled
  EXPECT_EQ(destination.colour(1, 1), 0xFF0000u);
  EXPECT_EQ(destination.colour(7, 3), 0x00FF00u);
  EXPECT_EQ(destination.colour(3, 0), 0u);

  destination.fillColour(0x0000FF);
  ASSERT_TRUE(copyRect(source, {0, 0, 4, 2}, destination, {2, 1, 6, 3}, true));  // keyed 1:1
  EXPECT_EQ(destination.colour(2, 1), 0xFF0000u);
  EXPECT_EQ(destination.colour(3, 1), 0x0000FFu);  // black left out
  EXPECT_EQ(destination.colour(5, 2), 0x00FF00u);

  Surface wide(4, 2, 32);  // 16 to 32 bits through the colours
  ASSERT_TRUE(copyRect(source, {0, 0, 4, 2}, wide, {0, 0, 4, 2}, false));
  EXPECT_EQ(wide.colour(0, 0), 0xFF0000u);

  EXPECT_FALSE(copyRect(source, {0, 0, 5, 2}, destination, {0, 0, 5, 2}, false));
  EXPECT_FALSE(copyRect(source, {0, 0, 4, 2}, destination, {6, 0, 10, 2}, false));
}

TEST(DrawPrimitives, MirrorFlipBlurAndFade) {
  Surface s(3, 2, 32);
  s.setColour(0, 0, 0x102030);
  mirrorSurface(s);
  EXPECT_EQ(s.colour(2, 0), 0x102030u);
  EXPECT_EQ(s.colour(0, 0), 0u);
  flipSurface(s);
  EXPECT_EQ(s.colour(2, 1), 0x102030u);
  EXPECT_EQ(s.colour(2, 0), 0u);

  fadeSurface(s, 50);
  EXPECT_EQ(s.colour(2, 1), 0x081018u);

  // Blur amount 1: a 2 x 2 box from (x - 1, y - 1) to (x, y), averaged over the samples inside.
  Surface b(2, 2, 32);
  b.setColour(0, 0, 0x808080);
  blurSurface(b, 1);
  EXPECT_EQ(b.colour(0, 0), 0x808080u);  // alone inside its box
  EXPECT_EQ(b.colour(1, 0), 0x404040u);  // 0x80 / 2
  EXPECT_EQ(b.colour(1, 1), 0x202020u);  // 0x80 / 4
}

TEST(DrawQueueTest, GrowsKeepsOrderAndReplays) {
  DrawQueue q;
  EXPECT_EQ(q.capacity(), 2);
  for (int i = 0; i < 100; ++i) q.queue(1).x = i;
  EXPECT_EQ(q.count(), 100);
  EXPECT_GE(q.capacity(), 104);
  int expected = 0;
  for (const DrawItem* item : q.items()) EXPECT_EQ(item->x, expected++);

  // Items with replay count 2 run on two frames; the others once.
  q.drop();
  EXPECT_EQ(q.count(), 0);
  q.queue(1).replayCount = 2;
  q.queue(2).replayCount = 1;
  std::vector<int> ran;
  q.execute([&](DrawItem& item) { ran.push_back(item.kind); });
  EXPECT_EQ(q.count(), 1);
  q.execute([&](DrawItem& item) { ran.push_back(item.kind); });
  q.execute([&](DrawItem& item) { ran.push_back(item.kind); });
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(q.count(), 0);

  // Freed records are reused before the pool grows again.
  const int capacity = q.capacity();
  for (int round = 0; round < 10; ++round) {
    for (int i = 0; i < 50; ++i) q.queue(3);
    q.execute([](DrawItem&) {});
  }
  EXPECT_EQ(q.capacity(), capacity);
}

}  // namespace
}  // namespace display
