#include "display/pointer_art.h"

namespace display {
namespace {

// A classic arrow with its tip at the top-left: '#' the outline, 'o' the fill, '.' transparent.
// The outline is a very dark grey rather than black, which would be transparent, so that the white
// arrow still shows on a white background.
constexpr const char *kArrow[kPointerArtHeight] = {
    "#...................", //
    "##..................", //
    "#o#.................", //
    "#oo#................", //
    "#ooo#...............", //
    "#oooo#..............", //
    "#ooooo#.............", //
    "#oooooo#............", //
    "#ooooooo#...........", //
    "#oooooooo#..........", //
    "#ooooooooo#.........", //
    "#oooooo#####........", //
    "#ooo#oo#............", //
    "#oo##oo#............", //
    "#o#..#oo#...........", //
    "##...#oo#...........", //
    "#.....#oo#..........", //
    "......#oo#..........", //
    ".......#oo#.........", //
    ".......#oo#.........", //
    "........##..........", //
    "....................", //
};

constexpr uint32_t kOutline = 0x101010;
constexpr uint32_t kFill = 0xFFFFFF;

} // namespace

uint32_t pointerArtColour(int x, int y) {
    if (x < 0 || y < 0 || x >= kPointerArtWidth || y >= kPointerArtHeight)
        return 0;
    switch (kArrow[y][x]) {
    case '#':
        return kOutline;
    case 'o':
        return kFill;
    default:
        return 0;
    }
}

} // namespace display
