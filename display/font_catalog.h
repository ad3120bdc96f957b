// Finding font files by the names programs use. Programs name fonts as the system's users know
// them ("Arial", "Times New Roman", "Courier New", "system"); the catalog maps those names onto
// metric-compatible families installed here and asks fontconfig for the file of the wanted
// weight and slant. A name that matches nothing falls back to the default family, DejaVu Sans.
#pragma once

#include <string>
#include <vector>

namespace display {

inline constexpr const char* kDefaultFontFamily = "DejaVu Sans";

struct FontFile {
    std::string path;   // empty: no font could be found at all
    int index = 0;      // face index inside the file
    std::string family; // the family found
    bool bold = false;  // the file itself is bold (otherwise bold is made by thickening)
    bool italic = false; // the file itself is italic or oblique (otherwise slanted by hand)
};

// The family a program's font name stands for here ("Arial" -> "Liberation Sans"); the name
// itself when it has no stand-in.
std::string standInFamily(const std::string& name);

// The file of exactly this family (case-insensitive) in the nearest weight and slant; an empty
// path when the family is not installed.
FontFile findFamily(const std::string& family, bool bold, bool italic);

// The file a program's font name resolves to: the family itself when installed, its stand-in,
// the default family, and finally whatever fontconfig offers.
FontFile resolveFont(const std::string& name, bool bold, bool italic);

// The installed scalable font families, each once, sorted without regard to case.
std::vector<std::string> installedFamilies();

} // namespace display
