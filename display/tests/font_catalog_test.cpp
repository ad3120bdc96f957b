// The print font's file found without fontconfig is the file fontconfig itself would choose.
#include <gtest/gtest.h>

#include "display/font_catalog.h"

namespace display {
namespace {

TEST(FontCatalogShortcut, SystemFontIsTheFileFontconfigChooses) {
    if (findFamily(kDefaultFontFamily, false, false).path.empty())
        GTEST_SKIP() << "the font family DejaVu Sans is not installed (package fonts-dejavu-core)";
    for (const char* name : {"system", "SYSTEM"}) {
        for (int style = 0; style < 4; ++style) {
            const bool bold = style & 2, italic = style & 1;
            const FontFile shortcut = resolveFont(name, bold, italic);
            const FontFile asked = findFamily(kDefaultFontFamily, bold, italic);
            EXPECT_EQ(shortcut.path, asked.path) << name << " style " << style;
            EXPECT_EQ(shortcut.index, asked.index) << name << " style " << style;
            EXPECT_EQ(shortcut.family, asked.family) << name << " style " << style;
            EXPECT_EQ(shortcut.bold, asked.bold) << name << " style " << style;
            EXPECT_EQ(shortcut.italic, asked.italic) << name << " style " << style;
        }
    }
}

} // namespace
} // namespace display
