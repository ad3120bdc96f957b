// Bitmap commands: load, save, create, delete, copy, mirror, flip, blur, fade, the current bitmap
// and the bitmap queries. Handlers check what they can and queue; the item kinds below do the
// surface work when the queue runs at the start of the next frame.
#include <filesystem>
#include <memory>

#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/draw_primitives.h"
#include "display/drawing.h"
#include "vm/machine.h"

namespace display {
namespace {

enum Error {
  kCopyFailed = 1000,
  kBadNumber = 1001,
  kNotInUse = 1002,
  kUnreadable = 1003,
  kSaveFailed = 1004,
  kCreateFailed = 1005,
  kDeleteScreen = 1006,
  kCopyOntoItself = 1007,
  kTooSmall = 1008,
  kCreateScreen = 1009,
  kBadRectangle = 1010,
  kReversedRectangle = 1011,
  kBadBlur = 1012,
  kBadFade = 1013,
  kFileMissing = 105,
};

enum Kind { kCheckCurrent = 1, kLoad = 2, kSave = 3, kCreate = 4, kDelete = 5, kCopy = 6, kMirror = 8, kFlip = 9, kBlur = 10, kFade = 11 };

bool validNumber(int n) { return n >= 0 && n < kBitmapCount; }

int32_t operand(vm::Machine& m, int k) { return m.pc[k].cell->i; }
std::string textOperand(vm::Machine& m, int k) { return vm::text(*m.pc[k].cell); }

// The checks most kinds share: 1001 for a bad number, 1002 for a bitmap above 0 not in use.
bool checkBitmap(Drawing& d, int n) {
  if (!validNumber(n)) {
    vm::raise(d.machine, kBadNumber);
    return false;
  }
  if (!d.inUse(n)) {
    vm::raise(d.machine, kNotInUse);
    return false;
  }
  return true;
}

// ---- item kinds ----------------------------------------------------------------------------------

void runCheckCurrent(Drawing& d, DrawItem& item) {
  if (checkBitmap(d, item.number)) d.queueCurrentBitmap = item.number;
}

// Copies a freshly read picture onto an existing surface: the whole picture into
// (0, 0, smaller width, smaller height), so a larger picture is scaled down to fit.
bool copyLoadedPicture(const Surface& picture, Surface& onto) {
  const Rect from{0, 0, picture.width, picture.height};
  const Rect to{0, 0, std::min(picture.width, onto.width), std::min(picture.height, onto.height)};
  return copyRect(picture, from, onto, to, false);
}

void runLoad(Drawing& d, DrawItem& item) {
  const int n = item.number;
  if (!validNumber(n)) return vm::raise(d.machine, kBadNumber);
  // A standalone game's packed media first; the ending of the given name keeps choosing the format.
  const std::string path = d.resolveMedia ? d.resolveMedia(item.text) : item.text;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return vm::raise(d.machine, kFileMissing);
  d.queueCurrentBitmap = n;
  const int depth = d.device.backBuffer().bitsPerPixel();
  auto picture = d.codec.read(path, depth);
  if (!picture) {
    // With a flip chain the item runs once per page; only its last run reports the failure.
    if (item.replayCount == 0) {
      d.device.recordEngineError(d.codec.lastError());
      vm::raiseRecoverable(d.machine, kUnreadable);
    }
    return;
  }
  Surface* existing = d.surfaceOf(n);
  if (n == 0 || existing) {
    if (!existing || !copyLoadedPicture(*picture, *existing)) return vm::raise(d.machine, kCopyFailed);
  } else {
    if (imageFormatForName(item.text) != ImageFormat::kDds) picture->setBlackKey();
    d.setSlot(n, std::make_unique<Surface>(std::move(*picture)));
  }
  d.recordSize(n);
  d.currentBitmap = n;
}

void runSave(Drawing& d, DrawItem& item) {
  const int n = item.number;
  if (!checkBitmap(d, n)) return;
  // Unlike the delete-then-write of old, the old file stays until the new one is complete, and a
  // name the codec cannot write (or a failed write) is reported instead of passing in silence.
  if (!d.codec.write(*d.surfaceOf(n), item.text)) {
    d.device.recordEngineError("Could not save the bitmap: " + d.codec.lastError());
    vm::raise(d.machine, kSaveFailed);
  }
}

void runCreate(Drawing& d, DrawItem& item) {
  const int n = item.number;
  if (n == 0) return vm::raise(d.machine, kCreateScreen);
  if (!validNumber(n)) return vm::raise(d.machine, kBadNumber);
  d.releaseSlot(n);
  if (!codecs::sizeAllowed(item.x2, item.y2)) return vm::raise(d.machine, kCreateFailed);
  d.setSlot(n, std::make_unique<Surface>(item.x2, item.y2, d.device.backBuffer().bitsPerPixel()));
  d.currentBitmap = n;
}

void runDelete(Drawing& d, DrawItem& item) {
  const int n = item.number;
  if (!validNumber(n)) return vm::raise(d.machine, kBadNumber);
  if (n < 1) return vm::raise(d.machine, kDeleteScreen);
  if (!d.inUse(n)) return vm::raise(d.machine, kNotInUse);
  d.releaseSlot(n);
  if (d.queueCurrentBitmap == n) d.queueCurrentBitmap = 0;
}

// Rectangle given as left, top, right, bottom (both corners inside): 1010 when it leaves the
// bitmap, 1011 when its corners are not in order.
bool checkRectangle(Drawing& d, const Surface& s, int left, int top, int right, int bottom, Rect& out) {
  if (left < 0 || top < 0 || int64_t(s.width) < int64_t(right) + 1 || int64_t(s.height) < int64_t(bottom) + 1) {
    vm::raise(d.machine, kBadRectangle);
    return false;
  }
  if (!(left < right && top < bottom)) {
    vm::raise(d.machine, kReversedRectangle);
    return false;
  }
  out = Rect{left, top, right + 1, bottom + 1};
  return true;
}

void runCopy(Drawing& d, DrawItem& item) {
  const int s = item.number, t = item.p[0];
  const bool rectangles = item.p[1] == 1;
  if (!validNumber(s) || !validNumber(t)) return vm::raise(d.machine, kBadNumber);
  if (!rectangles && s == t) return vm::raise(d.machine, kCopyOntoItself);
  if (!d.inUse(s) || !d.inUse(t)) return vm::raise(d.machine, kNotInUse);
  Surface& source = *d.surfaceOf(s);
  Surface& destination = *d.surfaceOf(t);
  Rect from{0, 0, source.width, source.height}, to = from;
  if (!rectangles) {
    if (destination.width < source.width || destination.height < source.height) return vm::raise(d.machine, kTooSmall);
  } else if (!checkRectangle(d, source, item.x, item.y, item.x2, item.y2, from) ||
             !checkRectangle(d, destination, item.p[2], item.p[3], item.p[4], item.p[5], to)) {
    return;
  }
  if (copyRect(source, from, destination, to, false)) return;
  // A copy that cannot be made as asked is retried as the whole source scaled to the whole target.
  if (!copyRect(source, Rect{0, 0, source.width, source.height}, destination, Rect{0, 0, destination.width, destination.height}, false))
    vm::raise(d.machine, kCopyFailed);
}

template <void (*Effect)(Surface&)>
void runSurfaceEffect(Drawing& d, DrawItem& item) {
  if (checkBitmap(d, item.number)) Effect(*d.surfaceOf(item.number));
}

void runBlur(Drawing& d, DrawItem& item) {
  if (!checkBitmap(d, item.number)) return;
  if (item.x < 1 || item.x > 8) return vm::raise(d.machine, kBadBlur);
  blurSurface(*d.surfaceOf(item.number), item.x);
}

void runFade(Drawing& d, DrawItem& item) {
  if (!checkBitmap(d, item.number)) return;
  if (item.x < 0 || item.x > 100) return vm::raise(d.machine, kBadFade);
  fadeSurface(*d.surfaceOf(item.number), item.x);
}

// ---- handlers ------------------------------------------------------------------------------------

// Handlers without a display consume their operands and do nothing.
Drawing* drawingFor(vm::Machine& m, int operands) {
  Drawing* d = drawingOf(m);
  if (!d) m.pc += operands;
  return d;
}

DrawItem& queueFor(Drawing& d, int kind, int bitmap, bool draws) {
  DrawItem& item = d.queueItem(kind, draws);
  item.number = bitmap;
  // Work on a bitmap other than the current one still replays on both pages when it is the screen.
  if (draws && bitmap == 0) item.replayCount = uint8_t(std::max(1, d.device.replayCount));
  else if (bitmap != 0) item.replayCount = 1;
  return item;
}

// 1001 file: load into the screen; 1002 file, bitmap: load into a bitmap.
template <bool kIntoScreen>
void loadBitmap(vm::Machine& m) {
  constexpr int kOperands = kIntoScreen ? 1 : 2;
  Drawing* d = drawingFor(m, kOperands);
  if (!d) return;
  const int n = kIntoScreen ? 0 : operand(m, 1);
  DrawItem& item = queueFor(*d, kLoad, n, true);
  item.text = textOperand(m, 0);
  m.pc += kOperands;
  m.endSlice = true;
}

// 1003 file: save the visible screen after the next presentation.
void saveScreen(vm::Machine& m) {
  Drawing* d = drawingFor(m, 1);
  if (!d) return;
  d->pendingScreenSave = textOperand(m, 0);
  m.pc += 1;
  m.endSlice = true;
}

// 1004 file, bitmap: bitmap 0 is the screen save; other bitmaps are saved when the item runs.
void saveBitmap(vm::Machine& m) {
  Drawing* d = drawingFor(m, 2);
  if (!d) return;
  const std::string name = textOperand(m, 0);
  const int n = operand(m, 1);
  m.pc += 2;
  m.endSlice = true;
  if (n == 0) {
    d->pendingScreenSave = name;
    return;
  }
  queueFor(*d, kSave, n, false).text = name;
}

// 1005 bitmap, width, height.
void createBitmap(vm::Machine& m) {
  Drawing* d = drawingFor(m, 3);
  if (!d) return;
  DrawItem& item = queueFor(*d, kCreate, operand(m, 0), false);
  item.x2 = operand(m, 1);
  item.y2 = operand(m, 2);
  m.pc += 3;
  m.endSlice = true;
}

// 1006 bitmap: current at once for later drawing; the item checks it.
void setCurrentBitmap(vm::Machine& m) {
  Drawing* d = drawingFor(m, 1);
  if (!d) return;
  const int n = operand(m, 0);
  m.pc += 1;
  if (validNumber(n)) d->currentBitmap = n;
  queueFor(*d, kCheckCurrent, n, false);
  if (m.autoRefresh) m.endSlice = true;
}

// 1007 source, destination: the whole bitmap to the top-left, 1:1.
void copyBitmap(vm::Machine& m) {
  Drawing* d = drawingFor(m, 2);
  if (!d) return;
  const int t = operand(m, 1);
  DrawItem& item = queueFor(*d, kCopy, operand(m, 0), t == 0);
  item.p[0] = t;
  item.bitmap = validNumber(t) ? t : 0;
  m.pc += 2;
  if (t == 0 && m.autoRefresh) m.endSlice = true;
}

// 1008 source, l, t, r, b, destination, l, t, r, b: a rectangle into a rectangle, scaled.
void copyBitmapRectangle(vm::Machine& m) {
  Drawing* d = drawingFor(m, 10);
  if (!d) return;
  const int t = operand(m, 5);
  DrawItem& item = queueFor(*d, kCopy, operand(m, 0), t == 0);
  item.x = operand(m, 1), item.y = operand(m, 2), item.x2 = operand(m, 3), item.y2 = operand(m, 4);
  item.p[0] = t;
  item.p[1] = 1;
  for (int k = 0; k < 4; ++k) item.p[2 + k] = operand(m, 6 + k);
  item.bitmap = validNumber(t) ? t : 0;
  m.pc += 10;
  if (t == 0 && m.autoRefresh) m.endSlice = true;
}

// 1009 bitmap.
void deleteBitmap(vm::Machine& m) {
  Drawing* d = drawingFor(m, 1);
  if (!d) return;
  const int n = operand(m, 0);
  m.pc += 1;
  if (n == d->currentBitmap) d->currentBitmap = 0;
  queueFor(*d, kDelete, n, false);
  m.endSlice = true;
}

// 1010 and 1011 bitmap: the flag toggles at once, the surface when the item runs.
template <int kKind>
void mirrorOrFlip(vm::Machine& m) {
  Drawing* d = drawingFor(m, 1);
  if (!d) return;
  const int n = operand(m, 0);
  m.pc += 1;
  if (validNumber(n)) {
    int& flag = kKind == kMirror ? d->slots[size_t(n)].mirrored : d->slots[size_t(n)].flipped;
    flag ^= 1;
  }
  queueFor(*d, kKind, n, n == 0);
  if (n == 0) m.endSlice = true;
}

// 1012 bitmap, amount and 1013 bitmap, percent.
template <int kKind>
void bitmapEffect(vm::Machine& m) {
  Drawing* d = drawingFor(m, 2);
  if (!d) return;
  const int n = operand(m, 0);
  queueFor(*d, kKind, n, n == 0).x = operand(m, 1);
  m.pc += 2;
  if (n == 0) m.endSlice = true;
}

// 1051 result, bitmap: 1 when the bitmap is 0 or in use.
void bitmapExists(vm::Machine& m) {
  Drawing* d = drawingOf(m);
  const int n = operand(m, 1);
  vm::Cell* result = m.pc[0].cell;
  m.pc += 2;
  if (!validNumber(n)) return vm::raise(m, kBadNumber);
  result->i = d && d->inUse(n) ? 1 : 0;
}

// 1052 result: the current bitmap.
void currentBitmapQuery(vm::Machine& m) {
  Drawing* d = drawingOf(m);
  m.pc[0].cell->i = d ? d->currentBitmap : 0;
  m.pc += 1;
}

enum class Field { kWidth, kHeight, kDepth, kMirrored, kFlipped };

int fieldOf(Drawing& d, int n, Field f) {
  const BitmapSlot& slot = d.slots[size_t(n)];
  const Surface* s = d.surfaceOf(n);
  switch (f) {
    case Field::kWidth: return n == 0 && s ? s->width : slot.width;
    case Field::kHeight: return n == 0 && s ? s->height : slot.height;
    case Field::kDepth: return n == 0 && s ? s->bitsPerPixel() : slot.depth;
    case Field::kMirrored: return slot.mirrored;
    case Field::kFlipped: return slot.flipped;
  }
  return 0;
}

// 1053 to 1057 result: a field of the current bitmap.
template <Field kField>
void currentBitmapField(vm::Machine& m) {
  Drawing* d = drawingOf(m);
  vm::Cell* result = m.pc[0].cell;
  m.pc += 1;
  if (!d) return;
  if (!d->inUse(d->currentBitmap)) return vm::raise(m, kNotInUse);
  result->i = fieldOf(*d, d->currentBitmap, kField);
}

// 1058 to 1062 result, bitmap: a field of the bitmap.
template <Field kField>
void bitmapField(vm::Machine& m) {
  Drawing* d = drawingOf(m);
  vm::Cell* result = m.pc[0].cell;
  const int n = operand(m, 1);
  m.pc += 2;
  if (!validNumber(n)) return vm::raise(m, kBadNumber);
  if (!d) return;
  if (!d->inUse(n)) return vm::raise(m, kNotInUse);
  result->i = fieldOf(*d, n, kField);
}

constexpr vm::CommandEntry kBitmapCommands[] = {
    {1001, &loadBitmap<true>, "load a picture file into the screen"},
    {1002, &loadBitmap<false>, "load a picture file into a bitmap"},
    {1003, &saveScreen, "save the screen to a picture file after the next frame"},
    {1004, &saveBitmap, "save a bitmap (0 = the screen) to a picture file"},
    {1005, &createBitmap, "create an empty bitmap"},
    {1006, &setCurrentBitmap, "make a bitmap the drawing target"},
    {1007, &copyBitmap, "copy a whole bitmap to the top-left of another"},
    {1008, &copyBitmapRectangle, "copy a rectangle of a bitmap to a rectangle of another, scaled"},
    {1009, &deleteBitmap, "delete a bitmap"},
    {1010, &mirrorOrFlip<kMirror>, "mirror a bitmap (left and right)"},
    {1011, &mirrorOrFlip<kFlip>, "flip a bitmap (top and bottom)"},
    {1012, &bitmapEffect<kBlur>, "blur a bitmap"},
    {1013, &bitmapEffect<kFade>, "fade a bitmap towards black"},
    {1051, &bitmapExists, "1 when the bitmap exists"},
    {1052, &currentBitmapQuery, "the current bitmap"},
    {1053, &currentBitmapField<Field::kWidth>, "width of the current bitmap"},
    {1054, &currentBitmapField<Field::kHeight>, "height of the current bitmap"},
    {1055, &currentBitmapField<Field::kDepth>, "depth of the current bitmap"},
    {1056, &currentBitmapField<Field::kMirrored>, "1 when the current bitmap is mirrored"},
    {1057, &currentBitmapField<Field::kFlipped>, "1 when the current bitmap is flipped"},
    {1058, &bitmapField<Field::kWidth>, "width of a bitmap"},
    {1059, &bitmapField<Field::kHeight>, "height of a bitmap"},
    {1060, &bitmapField<Field::kDepth>, "depth of a bitmap"},
    {1061, &bitmapField<Field::kMirrored>, "1 when a bitmap is mirrored"},
    {1062, &bitmapField<Field::kFlipped>, "1 when a bitmap is flipped"},
};

}  // namespace

void registerBitmapCommands(vm::Machine& m) {
  vm::registerCommands(m, kBitmapCommands);
  Drawing::registerKind(kCheckCurrent, &runCheckCurrent);
  Drawing::registerKind(kLoad, &runLoad);
  Drawing::registerKind(kSave, &runSave);
  Drawing::registerKind(kCreate, &runCreate);
  Drawing::registerKind(kDelete, &runDelete);
  Drawing::registerKind(kCopy, &runCopy);
  Drawing::registerKind(kMirror, &runSurfaceEffect<&mirrorSurface>);
  Drawing::registerKind(kFlip, &runSurfaceEffect<&flipSurface>);
  Drawing::registerKind(kBlur, &runBlur);
  Drawing::registerKind(kFade, &runFade);
}

}  // namespace display
