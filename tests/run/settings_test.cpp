#include "run/settings.h"

#include "run/setting_checks.h"

#include <gtest/gtest.h>

namespace zalor {
namespace {

TEST(Settings, Defaults)
{
    RunSettings s("/opt/zalor", "/home/u");
    EXPECT_EQ(s.Text("Output"), "/opt/zalor/");
    EXPECT_EQ(s.Text("Input"), "/home/u/");
    EXPECT_EQ(s.Text("Log"), "/opt/zalor/ZALOR.LOG");
    EXPECT_EQ(s.Choice("RbD"), "RbD3");
    EXPECT_EQ(s.Choice("RbF"), "RbF0");
    EXPECT_EQ(s.Choice("RbO"), "RbO1");
    EXPECT_EQ(s.Choice("RbP"), "RbP0");
    EXPECT_EQ(s.Choice("RbE"), "RbE1");
    EXPECT_EQ(s.Text("LAM"), "6370997,-100,45");
    EXPECT_EQ(s.Precision(), 6);
    EXPECT_EQ(s.Tolerance(), 0);
    EXPECT_EQ(s.Text("Zsuf"), "DL");
    EXPECT_EQ(s.Text("Ysuf"), "ALL");
    EXPECT_EQ(s.Text("Wsuf2"), "WLND");
    EXPECT_EQ(s.Text("Dsuf2"), "DP");
    EXPECT_TRUE(s.Box("CbQ01") && s.Box("CbQ41") && s.Box("CbQ49"));
    EXPECT_FALSE(s.Box("CbQ05") || s.Box("CbQ18") || s.Box("CbQ42"));
    EXPECT_TRUE(s.Box("DLOG"));
    EXPECT_TRUE(s.LogsDisabled());
    EXPECT_FALSE(s.Box("CbA1"));
}

TEST(Settings, ChoicesAndDisabledBoxes)
{
    RunSettings s;
    s.SetRadio("RbF1");
    EXPECT_EQ(s.ChoiceValue("RbF"), 1);
    EXPECT_FALSE(s.Box("RbF0"));
    EXPECT_TRUE(s.Set("RbF2", "1"));
    EXPECT_EQ(s.Choice("RbF"), "RbF2");
    EXPECT_EQ(s.ChoiceValue("RbF"), 2);
    EXPECT_FALSE(s.Box("RbF1"));
    // Setting a button of one choice leaves the other choices alone.
    s.SetRadio("RbD0");
    EXPECT_EQ(s.Choice("RbF"), "RbF2");

    s.Set("CbAr16", "1");
    s.SetBox("CbAr18", true);
    EXPECT_FALSE(s.Box("CbAr16"));
    EXPECT_FALSE(s.Box("CbAr18"));
    EXPECT_TRUE(s.Set("CbAr15", "1"));
    EXPECT_TRUE(s.Box("CbAr15"));
    EXPECT_FALSE(s.Set("NoSuchKey", "1"));
    EXPECT_FALSE(s.Has("NoSuchKey"));
}

TEST(Settings, NumbersAreBroughtIntoRange)
{
    RunSettings s;
    struct {
        const char* text;
        int dig;
        int tol;
    } cases[] = {{"9", 6, 9}, {"0", 1, 0}, {"-3", 1, 0}, {"2500", 6, 1000}, {"x", 6, 0}, {"", 6, 0}, {"4", 4, 4}};
    for (const auto& c : cases) {
        s.SetText("DIG", c.text);
        s.SetText("TOL", c.text);
        EXPECT_EQ(s.Precision(), c.dig) << c.text;
        EXPECT_EQ(s.Text("DIG"), std::to_string(c.dig)) << c.text;
        EXPECT_EQ(s.Tolerance(), c.tol) << c.text;
        EXPECT_EQ(s.Text("TOL"), std::to_string(c.tol)) << c.text;
    }
}

TEST(Settings, BoxValuesUseTheFieldConversion)
{
    RunSettings s;
    s.Set("CbA1", " 1 ");
    EXPECT_TRUE(s.Box("CbA1"));
    s.Set("CbA1", "0");
    EXPECT_FALSE(s.Box("CbA1"));
    s.Set("CbA1", "yes"); // a code, never 0
    EXPECT_TRUE(s.Box("CbA1"));
    s.Set("CbA1", "");
    EXPECT_FALSE(s.Box("CbA1"));
    s.Set("Asuf", " ROADS =x");
    EXPECT_EQ(s.Text("Asuf"), " ROADS =x");
    EXPECT_EQ(s.Get("CbQ01"), "1");
}

// The fields are checked as they are typed, and named by their captions.
TEST(SettingChecks, SuffixesAndLambertParameters)
{
    const SettingDef& roads = *FindSetting("Asuf");
    EXPECT_EQ(FieldCaption(roads), "Roads File Suffix");
    EXPECT_EQ(FieldCaption(*FindSetting("Wsuf2")), "Landmark Water File Suffix");
    EXPECT_EQ(FieldCaption(*FindSetting("Dsuf2")), "Landmark Points File Suffix");
    EXPECT_EQ(FieldCaption(*FindSetting("DIG")), "Precision Digits");
    const SettingDef& lam = *FindSetting("LAM");
    EXPECT_EQ(FieldCaption(lam), "Lambert Parameters");

    for (const char* good : {"A", "MY ROADS", "A.1", "-"}) EXPECT_EQ(ValueProblem(roads, good), "") << good;
    EXPECT_EQ(ValueProblem(roads, ""), "may not be empty");
    for (const char* bad : {"../x", "a/b", "a\\b", ".."})
        EXPECT_EQ(ValueProblem(roads, bad), "may not hold a directory separator or \"..\"") << bad;

    for (const char* good : {"6370997,-100,45", " 6378137 , 180 , -90 ", "1,-180,90", "6.37e6,0,0"})
        EXPECT_EQ(ValueProblem(lam, good), "") << good;
    for (const char* bad : {"abc", "", "6370997,-100", "6370997,-100,45,1", "6370997,x,45"})
        EXPECT_NE(ValueProblem(lam, bad).find("three numbers"), std::string::npos) << bad;
    EXPECT_EQ(ValueProblem(lam, "0,-100,45"), "wants a radius above 0");
    EXPECT_EQ(ValueProblem(lam, "-1,-100,45"), "wants a radius above 0");
    EXPECT_EQ(ValueProblem(lam, "6370997,-180.5,45"), "wants a central longitude from -180 to 180");
    EXPECT_EQ(ValueProblem(lam, "6370997,-100,90.01"), "wants a central latitude from -90 to 90");
    EXPECT_EQ(ValueProblem(*FindSetting("Output"), ""), "");
    EXPECT_EQ(ValueProblemMessage(lam, "abc", "wants x"), "Lambert Parameters \"abc\": wants x");
}

} // namespace
} // namespace zalor
