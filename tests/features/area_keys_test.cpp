#include "features/area_keys.h"

#include <gtest/gtest.h>

namespace zalor {
namespace {

TEST(AreaKeys, BlockSuffixLettersRoundTrip)
{
    EXPECT_EQ(EncodeAreaKey("1001A"), 1001001);
    EXPECT_EQ(DecodeAreaKey(1001001), "1001A");
    EXPECT_EQ(EncodeAreaKey(" 2017Z "), 26002017);
    EXPECT_EQ(DecodeAreaKey(26002017), "2017Z");
    EXPECT_EQ(EncodeAreaKey("A"), 1000000);
    EXPECT_EQ(DecodeAreaKey(1000000), "1000000");
    EXPECT_EQ(EncodeAreaKey("010100"), 10100);
    EXPECT_EQ(DecodeAreaKey(10100), "10100");
    EXPECT_EQ(EncodeAreaKey("   "), 0);
    EXPECT_EQ(DecodeAreaKey(0), "0");
}

TEST(AreaKeys, NumbersAboveAMillionStayNumbersWithoutLetters)
{
    // Polygon and feature numbers are plain numbers.
    EXPECT_EQ(DecodeAreaKey(1234567, false), "1234567");
    EXPECT_EQ(DecodeAreaKey(87654321), "87654321"); // no letter beyond Z
    EXPECT_TRUE(HasKeyLetter("1001A "));
    EXPECT_FALSE(HasKeyLetter("1001"));
}

TEST(AreaKeys, ZctaBase37RoundTrip)
{
    for (const char* z : {"60614", "606HH", "606XX", "00601", "99999", "ZZZZZ"}) {
        int32_t k = EncodeZctaKey(z);
        EXPECT_GT(k, 0) << z;
        EXPECT_EQ(DecodeZctaKey(k), z) << z;
    }
    EXPECT_EQ(EncodeZctaKey("0"), 1);
    EXPECT_EQ(EncodeZctaKey("10"), 2 * 37 + 1);
    EXPECT_EQ(EncodeZctaKey(""), 0);
    EXPECT_EQ(DecodeZctaKey(0), "");
    EXPECT_NE(EncodeZctaKey("606HH"), EncodeZctaKey("606XX"));
}

TEST(AreaKeys, LabelsAndEntityTypes)
{
    EXPECT_EQ(LayerLabel("FMCD90"), "Minor Civil Divisions");
    EXPECT_EQ(LayerLabel("CD106"), "Congressional District Number,");
    EXPECT_EQ(LayerLabel("CDCU"), "Congressional District Number,");
    EXPECT_EQ(LayerLabel("BGP00"), "Block Groups");
    EXPECT_EQ(LayerLabel("AIR90"), "American Indian/Alaska Native Area");
    EXPECT_EQ(LayerLabel("FAIR"), "American Indian/Alaska Native Area");
    EXPECT_EQ(LayerLabel("TRUST"), "American Indian Trust Land Flag");
    EXPECT_EQ(LayerLabel("CTBNA00"), "CTBNA00");

    EXPECT_EQ(EntityTypeOf("FMCD"), 'M');
    EXPECT_EQ(EntityTypeOf("FMCD90"), '0');
    EXPECT_EQ(EntityTypeOf("FPL"), 'P');
    EXPECT_EQ(EntityTypeOf("VTD00"), 'V');
    EXPECT_EQ(EntityTypeOf("CMSAMSA"), 'A');
    EXPECT_EQ(EntityTypeOf("PMSA"), 'A');
    EXPECT_EQ(EntityTypeOf("SDUNI"), '3');
    EXPECT_EQ(EntityTypeOf("SDSEC"), '4');
    EXPECT_EQ(EntityTypeOf("SDELM"), '5');
    EXPECT_EQ(EntityTypeOf("UA"), 'U');
    EXPECT_EQ(EntityTypeOf("CNTY"), 'C');
    EXPECT_EQ(EntityTypeOf("TAZ"), '0');
    EXPECT_EQ(EntityTypeOf("FAIR"), 'F');
}

} // namespace
} // namespace zalor
