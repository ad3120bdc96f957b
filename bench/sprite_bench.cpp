// Whole sprite frames at 640 x 480 in 16 bits: 1,000 moving 32 x 32 colour-keyed sprites over a
// patterned backdrop with background save and restore on a flip chain, and a collision test of
// one sprite against every other sprite in each frame. One iteration is one frame: the pre-frame
// step (background restore, the empty DrawQueue), the moves, the collision tests, and the
// post-frame step (background save, sprite drawing, presentation).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "display/display_device.h"
#include "display/drawing.h"
#include "display/sprite_scene.h"
#include "vm/machine.h"

namespace {

using namespace display;

constexpr int kSprites = 1000;
constexpr int kSize = 32;

struct Scene {
  std::unique_ptr<vm::Machine> machine = vm::createMachine();
  std::unique_ptr<DisplayDevice> device;
  SpriteScene* sprites = nullptr;
  std::vector<int> vx, vy;

  explicit Scene(bool flipChain) {
    DisplayEnvironment env;
    env.want3d = false;
    env.blitFlipMode = !flipChain;
    env.adapters = {Adapter{"Bench card", false, true, true, 256u << 20, 256u << 20, false, false}};
    device = std::make_unique<DisplayDevice>(env);
    device->machine = machine.get();
    if (device->createAtStartUp() != 0) return;
    attachDrawing(*machine, *device);
    attachSprites(*machine, *device);
    sprites = spritesOf(*machine);
    // Backdrop: vertical colour bands on both pages.
    for (int page = 0; page < 2; ++page) {
      Surface& screen = device->backBuffer();
      for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x) screen.setColour(x, y, uint32_t((x * 255 / 640) << 16 | (y * 255 / 480)));
      device->present();
    }
    // Image 1: a filled disc of colours on black, so about a fifth of it is transparent.
    const int32_t slot = sprites->images.allocate();
    sprites->images.prepare(slot, kSize, kSize, 16);
    sprites->images.map(1, slot);
    Surface& picture = *sprites->images[slot].surface;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        if (std::hypot(x - 15.5, y - 15.5) < 16) picture.setColour(x, y, uint32_t(0x080000 * x + 0x0800 * y + 0x80));
    for (int i = 1; i <= kSprites; ++i) {
      RenderItem& s = sprites->items.pool[sprites->setUpSprite(i)];
      s.x = (i * 97) % (640 - kSize);
      s.y = (i * 61) % (480 - kSize);
      sprites->setSpriteImage(s, 1);
      vx.push_back(1 + i % 3);
      vy.push_back(1 + i % 2);
    }
  }

  // One frame; returns the collisions found so the work cannot be dropped.
  int frame() {
    device->preFrame(*machine);
    for (int i = 1; i <= kSprites; ++i) {
      RenderItem& s = sprites->items.pool[sprites->itemOf(i)];
      int& dx = vx[size_t(i - 1)];
      int& dy = vy[size_t(i - 1)];
      if (s.x + dx < 0 || s.x + dx > 640 - kSize) dx = -dx;
      if (s.y + dy < 0 || s.y + dy > 480 - kSize) dy = -dy;
      s.x += dx;
      s.y += dy;
    }
    int hits = 0;
    const int32_t first = sprites->itemOf(1);
    for (int i = 2; i <= kSprites; ++i) hits += sprites->collide(first, sprites->itemOf(i)) ? 1 : 0;
    device->postFrame(*machine);
    return hits;
  }
};

void BM_SpriteFrame(benchmark::State& state) {
  Scene scene(state.range(0) != 0);
  if (!scene.sprites) {
    state.SkipWithError("no display");
    return;
  }
  int hits = 0;
  for (auto _ : state) hits += scene.frame();
  benchmark::DoNotOptimize(hits);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpriteFrame)->Arg(1)->Arg(0)->ArgName("flip_chain")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
