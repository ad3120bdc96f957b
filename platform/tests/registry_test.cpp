#include "platform/registry.h"

#include <gtest/gtest.h>

#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

TEST(Registry, IntegersSurviveAReopenAndKeyPathsMatchWithoutCase) {
    testing::TempFolder dir;
    std::string file = dir.file("cfg/registry.ini");
    {
        Registry r(file);
        ASSERT_TRUE(r.setInteger("Software\\MyGame\\Scores", "Best", 1234));
        ASSERT_TRUE(r.setInteger("Software/MyGame/Scores/", "Worst", -5));
        ASSERT_TRUE(r.setText("Software\\MyGame", "Name", "text"));
    }
    Registry r(file);
    int32_t value = 0;
    EXPECT_TRUE(r.integer("SOFTWARE\\mygame\\scores", "best", value));
    EXPECT_EQ(value, 1234);
    EXPECT_TRUE(r.integer("\\Software\\\\MyGame\\Scores", "Worst", value));
    EXPECT_EQ(value, -5);
    value = 77;
    EXPECT_FALSE(r.integer("Software\\MyGame", "Name", value)); // a text value is no integer
    EXPECT_FALSE(r.integer("Software\\Other", "Best", value));
    EXPECT_EQ(value, 77);
}

} // namespace
} // namespace platform
