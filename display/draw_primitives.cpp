#include "display/draw_primitives.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace display {
namespace {

bool inside(const Surface& s, const Rect& r) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= s.width && r.bottom <= s.height;
}

// One row of `count` identical packed pixels, written with the widest stores the depth allows.
void fillRow(uint8_t* p, int count, int bytesPerPixel, uint32_t packed) {
  switch (bytesPerPixel) {
    case 2: {
      auto* q = reinterpret_cast<uint16_t*>(p);
      const uint16_t v = uint16_t(packed);
      for (int i = 0; i < count; ++i) q[i] = v;
      break;
    }
    case 4: {
      auto* q = reinterpret_cast<uint32_t*>(p);
      for (int i = 0; i < count; ++i) q[i] = packed;
      break;
    }
    default:
      for (int i = 0; i < count; ++i, p += 3) p[0] = uint8_t(packed), p[1] = uint8_t(packed >> 8), p[2] = uint8_t(packed >> 16);
      break;
  }
}

}  // namespace

bool fillRect(Surface& surface, const Rect& r, uint32_t packed) {
  if (!inside(surface, r)) return false;
  const size_t rowBytes = size_t(r.width()) * surface.bytesPerPixel;
  uint8_t* first = surface.row(r.top) + size_t(r.left) * surface.bytesPerPixel;
  fillRow(first, r.width(), surface.bytesPerPixel, packed);
  for (int y = r.top + 1; y < r.bottom; ++y) std::memcpy(surface.row(y) + size_t(r.left) * surface.bytesPerPixel, first, rowBytes);
  return true;
}

void drawLine(Surface& surface, double x1, double y1, double x2, double y2, uint32_t packed) {
  const double dx = x2 - x1, dy = y2 - y1;
  const double length = std::sqrt(dx * dx + dy * dy);
  const double stepX = length > 0 ? dx / length : 0, stepY = length > 0 ? dy / length : 0;
  double x = x1, y = y1;
  for (double t = 0; t <= length; t += 1) {
    // Truncation, as the one-pixel fill takes its corner; the range is checked on the real
    // values first, so far-away points never reach the conversion.
    if (!(x > -1.0 && y > -1.0 && x < surface.width && y < surface.height)) return;
    const int px = int(x), py = int(y);
    surface.setPixel(px, py, packed);
    x += stepX;
    y += stepY;
  }
}

void drawEllipse(Surface& surface, float cx, float cy, float rx, float ry, uint32_t packed) {
  double px = std::cos(0.0) * rx + cx + 0.5, py = std::sin(0.0) * ry + cy + 0.5;
  for (int i = 0;; ++i) {
    const double a = -0.06 + 0.0628 * i;
    if (a > 6.33) break;
    const double nx = std::cos(a) * rx + cx + 0.5, ny = std::sin(a) * ry + cy + 0.5;
    drawLine(surface, px, py, nx, ny, packed);
    px = nx;
    py = ny;
  }
}

bool copyRect(const Surface& source, const Rect& from, Surface& destination, const Rect& to, bool keyed) {
  if (!inside(source, from) || !inside(destination, to)) return false;
  const bool sameLayout = source.bytesPerPixel == destination.bytesPerPixel && source.layout == destination.layout;
  const bool useKey = keyed && source.colourKey.has_value();
  const uint32_t key = useKey ? *source.colourKey : 0;
  const int bpp = source.bytesPerPixel;
  const bool scaled = from.width() != to.width() || from.height() != to.height();
  // Overlapping copies within one surface go through a copy of the source.
  if (&source == &destination) {
    const Surface snapshot = source;
    return copyRect(snapshot, from, destination, to, keyed);
  }
  if (sameLayout && !scaled && !useKey) {
    const size_t bytes = size_t(from.width()) * bpp;
    for (int y = 0; y < from.height(); ++y)
      std::memcpy(destination.row(to.top + y) + size_t(to.left) * bpp, source.row(from.top + y) + size_t(from.left) * bpp, bytes);
    return true;
  }
  if (sameLayout && bpp == 2 && !scaled) {  // the colour-keyed copy of sprites and images
    const uint16_t k = uint16_t(key);
    for (int y = 0; y < from.height(); ++y) {
      const auto* s = reinterpret_cast<const uint16_t*>(source.row(from.top + y)) + from.left;
      auto* d = reinterpret_cast<uint16_t*>(destination.row(to.top + y)) + to.left;
      // A select rather than a branch: the compiler turns it into vector blends.
      for (int x = 0; x < from.width(); ++x) d[x] = s[x] != k ? s[x] : d[x];
    }
    return true;
  }
  if (sameLayout && bpp == 4 && !scaled) {
    for (int y = 0; y < from.height(); ++y) {
      const auto* s = reinterpret_cast<const uint32_t*>(source.row(from.top + y)) + from.left;
      auto* d = reinterpret_cast<uint32_t*>(destination.row(to.top + y)) + to.left;
      for (int x = 0; x < from.width(); ++x) d[x] = s[x] != key ? s[x] : d[x];
    }
    return true;
  }
  // General path: nearest-pixel scaling (source position = destination offset * size ratio),
  // layout conversion through 0xRRGGBB.
  std::vector<int> columns(size_t(to.width()));
  for (int x = 0; x < to.width(); ++x) columns[size_t(x)] = from.left + int(int64_t(x) * from.width() / to.width());
  for (int y = 0; y < to.height(); ++y) {
    const int sy = from.top + int(int64_t(y) * from.height() / to.height());
    if (sameLayout && bpp == 2) {
      const auto* s = reinterpret_cast<const uint16_t*>(source.row(sy));
      auto* d = reinterpret_cast<uint16_t*>(destination.row(to.top + y)) + to.left;
      for (int x = 0; x < to.width(); ++x) {
        const uint16_t v = s[columns[size_t(x)]];
        if (!useKey || v != uint16_t(key)) d[x] = v;
      }
      continue;
    }
    for (int x = 0; x < to.width(); ++x) {
      const uint32_t v = source.pixel(columns[size_t(x)], sy);
      if (useKey && v == key) continue;
      destination.setPixel(to.left + x, to.top + y, sameLayout ? v : destination.layout.pack(source.layout.unpack(v)));
    }
  }
  return true;
}

void mirrorSurface(Surface& s) {
  for (int y = 0; y < s.height; ++y)
    for (int i = 0; i < s.width / 2; ++i) {
      const uint32_t a = s.pixel(i, y), b = s.pixel(s.width - 1 - i, y);
      s.setPixel(i, y, b);
      s.setPixel(s.width - 1 - i, y, a);
    }
}

void flipSurface(Surface& s) {
  std::vector<uint8_t> scratch(size_t(s.pitch));
  for (int i = 0; i < s.height / 2; ++i) {
    uint8_t* a = s.row(i);
    uint8_t* b = s.row(s.height - 1 - i);
    std::memcpy(scratch.data(), a, size_t(s.pitch));
    std::memcpy(a, b, size_t(s.pitch));
    std::memcpy(b, scratch.data(), size_t(s.pitch));
  }
}

void blurSurface(Surface& s, int amount) {
  const int a = amount + 1, lo = -(a / 2), hi = a - a / 2 - 1;
  const Surface source = s;
  const PixelLayout& L = s.layout;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      uint32_t r = 0, g = 0, b = 0, n = 0;
      for (int j = lo; j <= hi; ++j)
        for (int i = lo; i <= hi; ++i) {
          if (!source.contains(x + i, y + j)) continue;
          const uint32_t v = source.pixel(x + i, y + j);
          r += (v >> L.redShift) & L.redMax, g += (v >> L.greenShift) & L.greenMax, b += v & L.blueMax, ++n;
        }
      s.setPixel(x, y, (b / n) | ((r / n) << L.redShift) | ((g / n) << L.greenShift));
    }
}

void fadeSurface(Surface& s, int percent) {
  const PixelLayout& L = s.layout;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const uint32_t v = s.pixel(x, y);
      const uint32_t r = ((v >> L.redShift) & L.redMax) * uint32_t(percent) / 100;
      const uint32_t g = ((v >> L.greenShift) & L.greenMax) * uint32_t(percent) / 100;
      const uint32_t b = (v & L.blueMax) * uint32_t(percent) / 100;
      s.setPixel(x, y, b | (r << L.redShift) | (g << L.greenShift));
    }
}

}  // namespace display
