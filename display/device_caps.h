// What the 3D device can do, derived once per device creation and read by the 3D engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace display {

// Blend factors a device can offer as source or destination factor of a triangle.
enum BlendCap : uint32_t {
    kBlendZero = 1u << 0,
    kBlendOne = 1u << 1,
    kBlendSrcColour = 1u << 2,
    kBlendInvSrcColour = 1u << 3,
    kBlendDestColour = 1u << 4,
    kBlendInvDestColour = 1u << 5,
};

struct GhostBlend {
    int mode = 0; // 0 to 9
    int pair = 0; // 0, 5, 6 or 7
};

// The ghost blend mode from the source and destination blend caps: the tests run in a fixed order
// and a later match overrides an earlier one.
constexpr GhostBlend ghostBlendFor(uint32_t source, uint32_t destination) {
    struct Test {
        uint32_t s, d;
        int mode, pair;
    };
    constexpr Test tests[] = {
        {kBlendZero, kBlendInvSrcColour, 9, 0}, {kBlendInvDestColour, kBlendInvSrcColour, 8, 0},
        {kBlendDestColour, kBlendZero, 6, 6},   {kBlendDestColour, kBlendSrcColour, 5, 5},
        {kBlendZero, kBlendSrcColour, 7, 7},    {kBlendDestColour, kBlendOne, 4, 0},
        {kBlendOne, kBlendOne, 3, 0},           {kBlendInvDestColour, kBlendOne, 2, 0},
        {kBlendOne, kBlendInvSrcColour, 1, 0},
    };
    GhostBlend result;
    for (const Test &t : tests) {
        if ((source & t.s) && (destination & t.d)) {
            result.mode = t.mode;
            if (t.pair)
                result.pair = t.pair;
        }
    }
    return result;
}

struct DeviceCaps {
    bool transformedVerticesInSystemMemory = false;
    bool texturesInVideoMemory = false;
    int ghostBlendMode = 0;
    int ghostBlendPair = 0;
    int textureFilterMode = 0; // 1 linear, 2 anisotropic
    bool fogAvailable = false;
    bool wBuffer = false;
    bool vertexFog = false;
    bool tableFog = false;
    bool mipmapping = false;
    bool addressWrap = false, addressMirror = false, addressClamp = false;
    bool compressedTextures = false;
    std::vector<std::string> textureFormats; // at most 99
};

} // namespace display
