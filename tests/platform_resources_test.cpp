// Resources built into the executable, and the overrides tests put in their place.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/resources.h"

namespace {

class Resources : public ::testing::Test {
  protected:
    void TearDown() override { resource_clear_overrides(); }
};

TEST_F(Resources, EmbeddedFontIsFoundWhole) {
    ResourceData font;
    ASSERT_TRUE(find_resource("FONT", "DEJAVU_SANS", &font));
    ASSERT_GT(font.size, 1000u);
    const uint8_t truetype[4] = {0, 1, 0, 0};
    EXPECT_EQ(memcmp(font.data, truetype, 4), 0);
    ResourceData again;
    ASSERT_TRUE(find_resource("font", "dejavu_sans", &again)) << "names match without case";
    EXPECT_EQ(again.data, font.data);
}

TEST_F(Resources, MissingResourceGivesNothing) {
    ResourceData data{reinterpret_cast<const uint8_t*>("x"), 1};
    EXPECT_FALSE(find_resource("FONT", "NO_SUCH", &data));
    EXPECT_EQ(data.data, nullptr);
    EXPECT_EQ(data.size, 0u);
    EXPECT_FALSE(find_resource("BITMAP", "DEJAVU_SANS", &data)) << "the type must match too";
    EXPECT_FALSE(find_resource(nullptr, "DEJAVU_SANS", &data));
}

TEST_F(Resources, OverridesAddReplaceAndHide) {
    static const uint8_t picture[3] = {1, 2, 3};
    static const uint8_t other[2] = {9, 9};
    resource_override("TESTONLY", "147", picture, sizeof picture);
    ResourceData data;
    ASSERT_TRUE(find_resource("TESTONLY", 147, &data));
    EXPECT_EQ(data.data, picture);
    EXPECT_EQ(data.size, 3u);
    resource_override("testonly", "147", other, sizeof other);
    ASSERT_TRUE(find_resource("TESTONLY", "147", &data));
    EXPECT_EQ(data.data, other);
    resource_override("FONT", "DEJAVU_SANS", nullptr, 0);
    EXPECT_FALSE(find_resource("FONT", "DEJAVU_SANS", &data));
    resource_clear_overrides();
    EXPECT_TRUE(find_resource("FONT", "DEJAVU_SANS", &data));
    EXPECT_FALSE(find_resource("TESTONLY", 147, &data));
}

}  // namespace
