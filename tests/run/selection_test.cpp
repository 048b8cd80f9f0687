#include "run/selection.h"

#include <gtest/gtest.h>

#include <set>

namespace zalor {
namespace {

std::set<std::string> Codes(const RunSettings& s, int mask)
{
    TClist list;
    BuildCfccSelection(s, mask, list);
    std::set<std::string> out;
    for (std::size_t i = 0; i < list.Count(); ++i) out.insert(list.At(i));
    EXPECT_EQ(out.size(), list.Count());
    return out;
}

RunSettings Cleared()
{
    RunSettings s;
    // Defaults select nothing; be explicit anyway.
    for (const auto& def : SettingTable())
        if (def.kind == SettingKind::Box && def.key.rfind("CbQ", 0) != 0) s.SetBox(def.key, false);
    return s;
}

TEST(Selection, DefaultsSelectNothing)
{
    RunSettings s;
    EXPECT_TRUE(Codes(s, 0xFFFF).empty());
    EXPECT_FALSE(AnyAreaSelected(s));
    EXPECT_FALSE(AnythingSelected(s));
    EXPECT_EQ(LineGroupFlags(s), 0);
}

TEST(Selection, SingleBoxesGiveTheirCodes)
{
    RunSettings s = Cleared();
    s.SetBox("CbC2", true);
    EXPECT_EQ(Codes(s, 4), std::set<std::string>{"C20"});
    EXPECT_TRUE(Codes(s, 1).empty());

    s = Cleared();
    s.SetBox("CbA7", true);
    auto a7 = Codes(s, 1);
    EXPECT_EQ(a7.size(), 20u);
    EXPECT_TRUE(a7.count("A70") && a7.count("A79") && a7.count("P70") && a7.count("P79"));
    EXPECT_FALSE(a7.count("A69") || a7.count("A80"));
    s.SetBox("CbA1", true);
    auto a17 = Codes(s, 1);
    EXPECT_EQ(a17.size(), 40u);
    EXPECT_TRUE(a17.count("A10") && a17.count("P19") && a17.count("A75"));

    s = Cleared();
    s.SetBox("CbA8", true);
    EXPECT_EQ(Codes(s, 1).size(), 10u); // F80..F89
    s = Cleared();
    s.SetBox("CbF8", true);
    EXPECT_EQ(Codes(s, 32), std::set<std::string>{"F80"});
    s.SetBox("CbF0", true);
    EXPECT_EQ(Codes(s, 32).size(), 11u);

    s = Cleared();
    s.SetBox("CbB1", true);
    s.SetBox("CbB4", true);
    s.SetBox("CbB6", true);
    EXPECT_EQ(Codes(s, 2), (std::set<std::string>{"B01", "B02", "B03", "B31", "B32", "B33", "B50", "B51", "B52"}));

    s = Cleared();
    s.SetBox("CbH5", true);
    s.SetBox("CbH6", true);
    EXPECT_EQ(Codes(s, 64), (std::set<std::string>{"H50", "H51", "H52", "H53", "H60"}));
    EXPECT_EQ(Codes(s, 256), Codes(s, 64));
    EXPECT_EQ(Codes(s, 2048), Codes(s, 64));
}

TEST(Selection, LandmarkMasksUseTheirOwnBoxes)
{
    RunSettings s = Cleared();
    s.SetBox("CbZ3", true);
    s.SetBox("CbP4", true);
    s.SetBox("CbD5", true);
    EXPECT_EQ(*Codes(s, 8).begin(), "D30");
    EXPECT_EQ(*Codes(s, 512).begin(), "D40");
    EXPECT_EQ(*Codes(s, 1024).begin(), "D50");
    EXPECT_EQ(Codes(s, 1024).size(), 10u);
}

TEST(Selection, AllChainsFileForcesRoadsF80AndHydrography)
{
    RunSettings s = Cleared();
    s.SetBox("CbY0", true);
    // The all-chains box alone passes the check of "Go".
    EXPECT_TRUE(AnythingSelected(s));
    s.SetBox("CbB1", true);
    EXPECT_TRUE(AnythingSelected(s));
    auto all = Codes(s, 255);
    // 7 road boxes x 20 codes, F80-F89, 9 hydrography rows, B01-B03.
    std::size_t hydro = 3 + 4 + 3 + 3 + 3 + 4 + 1 + 6 + 2;
    EXPECT_EQ(all.size(), 140u + 10u + hydro + 3u);
    EXPECT_TRUE(all.count("A11") && all.count("P79") && all.count("F85") && all.count("H81") && all.count("B02"));
    EXPECT_FALSE(all.count("B11") || all.count("C00") || all.count("D10") || all.count("X00"));
    // Without the 255 mask nothing is forced.
    EXPECT_EQ(Codes(s, 0xFFFF), (std::set<std::string>{"B01", "B02", "B03"}));
}

TEST(Selection, GroupFlagsAndAreaChecks)
{
    RunSettings s = Cleared();
    s.SetBox("CbA8", true);
    s.SetBox("CbF8", true);
    s.SetBox("CbX0", true);
    EXPECT_EQ(LineGroupFlags(s), 1 | 32 | 128);

    s = Cleared();
    s.SetBox("CbAr20", true); // an option, not a layer
    s.SetBox("CbAt10", true);
    s.SetBox("CbCn3", true);
    EXPECT_FALSE(AnyAreaSelected(s));
    s.SetBox("CbAs7", true);
    EXPECT_TRUE(AnyAreaSelected(s));
    s = Cleared();
    s.SetBox("CbP9", true);
    EXPECT_TRUE(AnyPointLandmarkSelected(s));
    EXPECT_TRUE(AnyAreaSelected(s));
}

TEST(Selection, AreaSpecs)
{
    EXPECT_EQ(AreaSpecOf("CbAr1"), "CNTY|00605");
    EXPECT_EQ(AreaSpecOf("CbAr21"), "ZCTA5|11405");
    EXPECT_EQ(AreaSpecOf("CbAr20"), "");
    EXPECT_EQ(AreaSpecOf("CbAs3"), "FMCD90|03105");
    // The 1990 place code and the four-character American Indian area code.
    EXPECT_EQ(AreaSpecOf("CbAs4"), "FPL90|03605");
    EXPECT_EQ(AreaSpecOf("CbAr9"), "AIR|04004");
    EXPECT_EQ(AreaSpecOf("CbAt9"), "CTPP|08604");
    EXPECT_EQ(AreaSpecOf("CbAt10"), "");
    EXPECT_EQ(AreaSpecOf("CbQ01"), "");
}

} // namespace
} // namespace zalor
