// What the GL device reported last time, remembered between runs. Making a context costs 100 ms or
// more (the software rasteriser loads a compiler), while a headless run that never draws in 3D only
// needs the renderer's description to answer the card and capability queries. The description is
// kept with a fingerprint of everything that decides which renderer a new context would get (the
// GL libraries and driver folders, the GPU device nodes, the environment variables the GL loaders
// and SDL read); a run whose fingerprint differs makes a real context and remembers it afresh.
#pragma once

#include <optional>
#include <string>

#include "platform/gl_device.h"

namespace platform {

// The fingerprint of the renderer a new offscreen context would get on this machine, now.
std::string glFingerprint();

// The file the description is kept in: $XDG_CACHE_HOME/zorvane/gl-device, default
// ~/.cache/zorvane/gl-device.
std::string glInfoCachePath();

// The file for one set-up: glInfoCachePath() followed by "-" and the fingerprint's hash. Each set-up
// keeps its own, so runs that alternate between two environments (a test run's driver variables
// and a plain run) both find theirs instead of replacing each other's.
std::string glInfoCacheFile(const std::string &fingerprint);

// The remembered description when `path` holds one made under `fingerprint`; nothing when the file
// is missing, damaged or from another fingerprint.
std::optional<GlDeviceInfo> readGlInfo(const std::string &path, const std::string &fingerprint);

// Remembers `info` under `fingerprint` (through a temporary file and a rename); false when the file
// cannot be written, which only costs the next run its shortcut.
bool writeGlInfo(const std::string &path, const std::string &fingerprint, const GlDeviceInfo &info);

} // namespace platform
