// The drawing hot paths on a 640 x 480 16-bit screen: full-screen clear, 64 x 64 colour-keyed
// copies, a stretched copy, lines and filled boxes; and the colour-keyed copy against SDL2's
// SDL_BlitSurface with a colour key on the same pixels in the same run (counter ratio_to_sdl).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>

#include "display/draw_primitives.h"

namespace {

using display::Rect;
using display::Surface;

constexpr int kWidth = 640, kHeight = 480;

// A 64 x 64 sprite: a filled disc of colours on black, so about a fifth of it is transparent.
Surface makeSprite() {
  Surface s(64, 64, 16);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (std::hypot(x - 31.5, y - 31.5) < 32) s.setColour(x, y, uint32_t(0x100000 * (x / 4) + 0x1000 * (y * 4) + 0x80));
  s.setBlackKey();
  return s;
}

// Where the copies land: a walk over the screen, so every copy touches other rows.
int spriteX(int i) { return (i * 97) % (kWidth - 64); }
int spriteY(int i) { return (i * 61) % (kHeight - 64); }

void BM_ClearScreen(benchmark::State& state) {
  Surface screen(kWidth, kHeight, 16);
  const uint32_t blue = screen.layout.pack(0x0000FF);
  for (auto _ : state) {
    display::fillRect(screen, Rect{0, 0, kWidth, kHeight}, blue);
    benchmark::DoNotOptimize(screen.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ClearScreen);

void BM_KeyedCopy64(benchmark::State& state) {
  Surface screen(kWidth, kHeight, 16);
  const Surface sprite = makeSprite();
  int i = 0;
  for (auto _ : state) {
    display::copyRect(sprite, Rect{0, 0, 64, 64}, screen, Rect{spriteX(i), spriteY(i), spriteX(i) + 64, spriteY(i) + 64}, true);
    ++i;
    benchmark::DoNotOptimize(screen.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * 64 * 64);
}
BENCHMARK(BM_KeyedCopy64);

void BM_SdlKeyedBlit64(benchmark::State& state) {
  SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 16, SDL_PIXELFORMAT_RGB565);
  const Surface ours = makeSprite();
  for (int y = 0; y < 64; ++y) std::memcpy(static_cast<uint8_t*>(sprite->pixels) + y * sprite->pitch, ours.row(y), 128);
  SDL_SetColorKey(sprite, SDL_TRUE, 0);
  int i = 0;
  for (auto _ : state) {
    SDL_Rect to{spriteX(i), spriteY(i), 64, 64};
    SDL_BlitSurface(sprite, nullptr, screen, &to);
    ++i;
    benchmark::DoNotOptimize(screen->pixels);
  }
  state.SetItemsProcessed(state.iterations() * 64 * 64);
  SDL_FreeSurface(sprite);
  SDL_FreeSurface(screen);
}
BENCHMARK(BM_SdlKeyedBlit64);

// Both copies timed back to back on the same pixels; ratio_to_sdl = ours / SDL's time.
void BM_KeyedCopyRatioToSdl(benchmark::State& state) {
  Surface screen(kWidth, kHeight, 16);
  const Surface sprite = makeSprite();
  SDL_Surface* sdlScreen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* sdlSprite = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 16, SDL_PIXELFORMAT_RGB565);
  for (int y = 0; y < 64; ++y) std::memcpy(static_cast<uint8_t*>(sdlSprite->pixels) + y * sdlSprite->pitch, sprite.row(y), 128);
  SDL_SetColorKey(sdlSprite, SDL_TRUE, 0);
  constexpr int kCopies = 2000;
  double oursSeconds = 0, sdlSeconds = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kCopies; ++i)
      display::copyRect(sprite, Rect{0, 0, 64, 64}, screen, Rect{spriteX(i), spriteY(i), spriteX(i) + 64, spriteY(i) + 64}, true);
    auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < kCopies; ++i) {
      SDL_Rect to{spriteX(i), spriteY(i), 64, 64};
      SDL_BlitSurface(sdlSprite, nullptr, sdlScreen, &to);
    }
    auto t2 = std::chrono::steady_clock::now();
    oursSeconds += std::chrono::duration<double>(t1 - t0).count();
    sdlSeconds += std::chrono::duration<double>(t2 - t1).count();
    benchmark::DoNotOptimize(screen.pixels.data());
    benchmark::DoNotOptimize(sdlScreen->pixels);
  }
  state.counters["ratio_to_sdl"] = oursSeconds / sdlSeconds;
  // Same pixels on both sides, or the ratio compares different work.
  bool same = true;
  for (int y = 0; y < kHeight && same; ++y)
    same = std::memcmp(screen.row(y), static_cast<uint8_t*>(sdlScreen->pixels) + y * sdlScreen->pitch, kWidth * 2) == 0;
  if (!same) state.SkipWithError("the two copies drew different pixels");
  SDL_FreeSurface(sdlSprite);
  SDL_FreeSurface(sdlScreen);
}
BENCHMARK(BM_KeyedCopyRatioToSdl)->Unit(benchmark::kMillisecond);

void BM_StretchedCopy(benchmark::State& state) {
  Surface screen(kWidth, kHeight, 16);
  Surface picture(320, 240, 16);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) picture.setColour(x, y, uint32_t(x * 0x10000 / 2 + y));
  for (auto _ : state) {
    display::copyRect(picture, Rect{0, 0, 320, 240}, screen, Rect{0, 0, kWidth, kHeight}, false);
    benchmark::DoNotOptimize(screen.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_StretchedCopy);

void BM_Line(benchmark::State& state) {
  Surface screen(kWidth, kHeight, 16);
  const uint32_t ink = screen.layout.pack(0xFFFFFF);
  int i = 0;
  for (auto _ : state) {
    display::drawLine(screen, 0, i % kHeight, kWidth - 1, kHeight - 1 - i % kHeight, ink);
    ++i;
    benchmark::DoNotOptimize(screen.pixels.data());
  }
}
BENCHMARK(BM_Line);

void BM_FilledBox(benchmark::State& state) {
  Surface screen(kWidth, kHeight, 16);
  const uint32_t ink = screen.layout.pack(0xFF8000);
  int i = 0;
  for (auto _ : state) {
    const int x = (i * 37) % 440, y = (i * 23) % 280;
    display::fillRect(screen, Rect{x, y, x + 200, y + 200}, ink);
    ++i;
    benchmark::DoNotOptimize(screen.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * 200 * 200);
}
BENCHMARK(BM_FilledBox);

}  // namespace

BENCHMARK_MAIN();
