#include "run/config.h"

#include "run/inputs.h"
#include "run/plan.h"
#include "run/selection.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace zalor {
namespace {

// The input list as its entries' texts.
std::vector<std::string> Texts(const std::vector<InputEntry>& entries)
{
    std::vector<std::string> out;
    for (const InputEntry& e : entries) out.push_back(EntryText(e));
    return out;
}

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

RunSettings Fresh() { return RunSettings("/prog/", "/cur/"); }

std::map<std::string, std::string> AllValues(const RunSettings& s)
{
    std::map<std::string, std::string> values;
    for (const auto& def : SettingTable()) values[def.key] = s.Get(def.key);
    return values;
}

// Loads `text` as a configuration file into `s` and `state`.
ConfigLoad LoadText(RunSettings& s, ConfigurationState& state, const std::string& text,
                    const std::string& name = "load.cfg")
{
    std::string path = TempDir("config-load") + name;
    WriteFile(path, text);
    return LoadConfiguration(s, state, path);
}

ConfigLoad LoadText(RunSettings& s, const std::string& text)
{
    ConfigurationState state("/cur/");
    return LoadText(s, state, text);
}

TEST(ConfigFile, OnlyAnOutputLineChangesTheRootAndEmptiesTheLists)
{
    RunSettings s = Fresh();
    s.SetBox("CbB3", true);
    s.SetText("Hsuf", "WATERWAYS");
    s.SetRadio("RbF1");
    s.SetText("DIG", "4");
    s.inputs = {{"/data/TGR01001.ZIP", 1234}};
    s.memo = {"a comment"};
    auto before = AllValues(s);

    ASSERT_EQ(LoadText(s, "Output=/new/root/\r\n"), ConfigLoad::Loaded);

    EXPECT_EQ(s.Text("Output"), "/new/root/");
    EXPECT_TRUE(s.inputs.empty());
    EXPECT_TRUE(s.memo.empty());
    before["Output"] = "/new/root/";
    EXPECT_EQ(AllValues(s), before);
    EXPECT_EQ(s.Precision(), 4);
}

TEST(ConfigFile, MissingFileChangesNothingAndUnreadableFileFails)
{
    RunSettings s = Fresh();
    ConfigurationState state("/cur/");
    s.inputs = {{"/data/TGR01001.ZIP", -1}};
    s.memo = {"kept"};
    std::string dir = TempDir("config-missing");
    EXPECT_EQ(LoadConfiguration(s, state, dir + "nothing.cfg"), ConfigLoad::Missing);
    EXPECT_EQ(LoadConfiguration(s, state, dir + "no/such/dir.cfg"), ConfigLoad::Missing);
    std::string error;
    EXPECT_EQ(LoadConfiguration(s, state, dir, &error), ConfigLoad::Failed);
    EXPECT_NE(error.find(dir), std::string::npos);
    EXPECT_EQ(s.inputs.size(), 1u);
    EXPECT_EQ(s.memo.size(), 1u);
}

// Gives every saved setting a value other than its default: texts with
// spaces, "=" and several hundred characters.
void SetEverything(RunSettings& s, const std::string& inputDir)
{
    std::map<std::string, bool> groupDone;
    const std::string longTail(400, 'x');
    for (const auto& def : SettingTable()) {
        switch (def.kind) {
        case SettingKind::Box:
            s.SetBox(def.key, def.defaultValue != "1");
            break;
        case SettingKind::Radio:
            if (def.defaultValue == "0" && !groupDone[def.group]) {
                s.SetRadio(def.key);
                groupDone[def.group] = true;
            }
            break;
        case SettingKind::Text:
            // A path is absolute (a relative one is read from the file's directory).
            s.SetText(def.key, (def.path ? "/" : " ") + def.key + " = value=" + longTail + " ");
            break;
        case SettingKind::Number:
            break;
        }
    }
    s.SetText("Input", inputDir);
    s.SetText("DIG", "3");
    s.SetText("TOL", "250");
}

TEST(ConfigFile, SaveThenLoadRestoresEverySavedSetting)
{
    std::string dir = TempDir("config round trip");
    WriteFile(dir + "TGR01001.ZIP", "12345");
    RunSettings s = Fresh();
    SetEverything(s, dir);
    AddInput(s, dir + "TGR01001.ZIP");
    AddInput(s, dir + "TGR99999.RT1"); // missing: still listed
    s.memo = {"first = line", "", "  indented  ", std::string(700, 'm') + "=end"};
    ConfigurationState state(dir);
    state.lastName = dir + "LAST NAME.CFG";
    for (const char* r : {"/r/one.cfg", "/r/two.cfg", "/r/three.cfg"}) AddRecentConfiguration(state, r);

    ASSERT_TRUE(SaveConfiguration(s, state, dir + "ALL.CFG"));

    RunSettings back = Fresh();
    ConfigurationState backState("/elsewhere/");
    ASSERT_EQ(LoadConfiguration(back, backState, dir + "ALL.CFG"), ConfigLoad::Loaded);

    auto want = AllValues(s);
    auto got = AllValues(back);
    for (const auto& def : SettingTable()) {
        if (!def.saved) continue;
        EXPECT_EQ(got[def.key], want[def.key]) << def.key;
    }
    EXPECT_TRUE(back.Box("CbAt10"));
    EXPECT_FALSE(s.LogsDisabled());
    EXPECT_TRUE(back.LogsDisabled()); // "Disable Logs" is not saved
    EXPECT_EQ(back.Precision(), 3);
    EXPECT_EQ(back.Tolerance(), 250);
    EXPECT_EQ(back.Text("Asuf"), " Asuf = value=" + std::string(400, 'x') + " ");
    EXPECT_EQ(back.inputs, s.inputs);
    EXPECT_EQ(EntryText(back.inputs[0]), dir + "TGR01001.ZIP|5");
    EXPECT_EQ(back.memo, s.memo);
    EXPECT_EQ(backState.lastName, state.lastName);
    // Each recent line read goes on top, so the list comes back reversed.
    EXPECT_EQ(backState.Recent(), (std::vector<std::string>{"/r/one.cfg", "/r/two.cfg", "/r/three.cfg"}));

    // Without recent files a second save is byte for byte the first.
    ConfigurationState plain(dir);
    ASSERT_TRUE(SaveConfiguration(s, plain, dir + "A.CFG"));
    RunSettings again = Fresh();
    ASSERT_EQ(LoadConfiguration(again, plain, dir + "A.CFG"), ConfigLoad::Loaded);
    ASSERT_TRUE(SaveConfiguration(again, plain, dir + "B.CFG"));
    EXPECT_EQ(ReadFile(dir + "A.CFG"), ReadFile(dir + "B.CFG"));
}

TEST(ConfigFile, TheGeoPackageChoiceIsSavedAndLoadedLikeTheOtherFormats)
{
    const std::string dir = TempDir("config-gpkg");
    RunSettings s = Fresh();
    s.SetRadio("RbF3");
    ConfigurationState state(dir);
    ASSERT_TRUE(SaveConfiguration(s, state, dir + "G.CFG"));
    EXPECT_NE(test::ReadFile(dir + "G.CFG").find("\r\nRbF3=1\r\n"), std::string::npos);
    RunSettings back = Fresh();
    back.SetRadio("RbF1");
    ASSERT_EQ(LoadConfiguration(back, state, dir + "G.CFG"), ConfigLoad::Loaded);
    EXPECT_EQ(back.Choice("RbF"), "RbF3");
    EXPECT_TRUE(back.Box("RbF3"));
}

TEST(ConfigFile, LayoutOfTheDefaults)
{
    RunSettings s = Fresh();
    ConfigurationState state("/cur/");
    s.inputs = {{"/d/TGR01001.ZIP", 1000}, {"/d/TGR01003.RT1", -1}};
    s.memo = {"note"};
    std::string text = ConfigurationText(s, state);

    EXPECT_EQ(text.rfind("[Main]\r\nInput=/cur/\r\nOutput=/prog/\r\nLog=/prog/ZALOR.LOG\r\n[Features]\r\nAsuf=A\r\n"
                         "CbA1=0\r\n",
                         0),
              0u);
    for (const char* seq : {"CbA8=0\r\nBsuf=B\r\nCbB1=0\r\n", "CbX0=0\r\nYsuf=ALL\r\nCbY0=0\r\nCbAr1=0\r\n",
                            "CbAr21=0\r\nCbAr22=0\r\nCbAr23=0\r\nCbAr24=0\r\nCbAr25=0\r\nCbAr26=0\r\nCbAt1=0\r\n", "CbAt9=0\r\nCbAt10=0\r\nCbAs2=0\r\n",
                            "CbAs8=0\r\nCbQ01=1\r\nCbQ02=1\r\n", "CbQ49=1\r\nWsuf=W\r\nCbW1=0\r\nWsuf2=WLND\r\nCbW2=0\r\n"
                            "Dsuf2=DP\r\nCbP0=0\r\n",
                            "CbP9=0\r\nCbD0=0\r\n", "CbD9=0\r\nCbD10=0\r\nCbCn1=0\r\n"}) {
        EXPECT_NE(text.find(seq), std::string::npos) << seq;
    }
    const std::string tail = "CbCn5=0\r\n[Options]\r\nRbP0=1\r\nRbO1=1\r\nRbD3=1\r\nRbE1=1\r\nRbF0=1\r\n"
                             "LAM=6370997,-100,45\r\nNAD83=0\r\nDIG=6\r\nTOL=0\r\nDLOG=1\r\nBEEP=0\r\nLCFG=Default.cfg\r\nZIP=0\r\n"
                             "[Files]\r\nFile2=/d/TGR01001.ZIP\r\nFile2=/d/TGR01003.RT1\r\n[Comment]\r\nMemo=note\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // The landmark-area boxes come twice; every line ends in CR LF.
    EXPECT_NE(text.find("CbD5=0"), text.rfind("CbD5=0"));
    EXPECT_EQ(text.find("DisableLogs"), std::string::npos);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') { EXPECT_EQ(text[i - 1], '\r') << i; }
    EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
}

TEST(ConfigFile, PrecisionAndToleranceAreBroughtIntoRange)
{
    RunSettings s = Fresh();
    ASSERT_EQ(LoadText(s, "DIG=9\r\nTOL=-5\r\n"), ConfigLoad::Loaded);
    EXPECT_EQ(s.Precision(), 6);
    EXPECT_EQ(s.Text("DIG"), "6");
    EXPECT_EQ(s.Tolerance(), 0);
    EXPECT_EQ(s.Text("TOL"), "0");
    ASSERT_EQ(LoadText(s, "DIG=0\r\nTOL=2500\r\n"), ConfigLoad::Loaded);
    EXPECT_EQ(s.Precision(), 1);
    EXPECT_EQ(s.Tolerance(), 1000);
    ASSERT_EQ(LoadText(s, "DIG=two\r\nTOL=\r\n"), ConfigLoad::Loaded);
    EXPECT_EQ(s.Text("DIG"), "6");
    EXPECT_EQ(s.Text("TOL"), "0");
}

TEST(ConfigFile, DisabledBoxesStayCleared)
{
    RunSettings s = Fresh();
    ASSERT_EQ(LoadText(s, "CbAr16=1\r\nCbAr17=1\r\nCbAr18=1\r\nCbAr15=1\r\nCbAr19=1\r\n"), ConfigLoad::Loaded);
    EXPECT_FALSE(s.Box("CbAr16"));
    EXPECT_FALSE(s.Box("CbAr17"));
    EXPECT_FALSE(s.Box("CbAr18"));
    EXPECT_TRUE(s.Box("CbAr15"));
    EXPECT_TRUE(s.Box("CbAr19"));
}

TEST(ConfigFile, LegacyFileLinesJoinDirectoryAndName)
{
    std::string dir = TempDir("config-legacy");
    WriteFile(dir + "TGR06075.ZIP", std::string(1500, 'z'));
    RunSettings s = Fresh();
    ASSERT_EQ(LoadText(s, "File=/data/|TGR01001.ZIP\r\nFile=" + dir + "|TGR06075.ZIP\r\nFile2=/x/TGR02|1.RT1\r\n"),
              ConfigLoad::Loaded);
    std::vector<std::string> want{dir + "TGR06075.ZIP|1,500", "/data/TGR01001.ZIP|-1", "/x/TGR02|1.RT1|-1"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Texts(s.inputs), want);
}

// Relative paths are taken from the configuration's own directory, however
// the file itself is named; absolute and empty ones stay as they are, and
// the texts that are no paths are left alone.
TEST(ConfigFile, RelativePathsAreTakenFromTheFilesDirectory)
{
    const std::string dir = TempDir("config-relative");
    std::filesystem::create_directories(dir + "sub");
    WriteFile(dir + "sub/TGR01001.ZIP", std::string(10, 'z'));
    WriteFile(dir + "TGR01003.RT1", "x");
    WriteFile(dir + "sub/REL.CFG", "Input=./\r\nOutput=../out/\r\nLog=logs/ZALOR.LOG\r\nAsuf=sub/A\r\n"
                                   "File2=TGR01001.ZIP\r\nFile2=./../TGR01003.RT1\r\nFile=sub/|TGR09.ZIP\r\n"
                                   "File2=/abs/TGR05.ZIP\r\n");
    RunSettings s = Fresh();
    ConfigurationState state("/cur/");
    ASSERT_EQ(LoadConfiguration(s, state, dir + "sub/REL.CFG"), ConfigLoad::Loaded);
    EXPECT_EQ(s.Text("Input"), dir + "sub/");
    EXPECT_EQ(s.Text("Output"), dir + "sub/../out/");
    EXPECT_EQ(s.Text("Log"), dir + "sub/logs/ZALOR.LOG");
    EXPECT_EQ(s.Text("Asuf"), "sub/A");
    std::vector<std::string> want{dir + "sub/TGR01001.ZIP|10", dir + "sub/../TGR01003.RT1|1",
                                  dir + "sub/sub/TGR09.ZIP|-1", "/abs/TGR05.ZIP|-1"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Texts(s.inputs), want);

    // A file named by a relative path: its entries stay relative to the
    // current directory through it, as the command line names them.
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
    RunSettings r = Fresh();
    const ConfigLoad loaded = LoadConfiguration(r, state, "sub/REL.CFG");
    std::filesystem::current_path(cwd);
    ASSERT_EQ(loaded, ConfigLoad::Loaded);
    EXPECT_EQ(r.Text("Input"), "sub/");
    ASSERT_EQ(r.inputs.size(), 4u);
    EXPECT_EQ(EntryText(r.inputs[2]), "sub/TGR01001.ZIP|10");
    // An empty output root stays the current directory.
    ASSERT_EQ(LoadText(r, "Output=\r\n"), ConfigLoad::Loaded);
    EXPECT_EQ(r.Text("Output"), "");
}

TEST(ConfigFile, InputListIsSortedUniqueAndEmptyPathsSkipped)
{
    RunSettings s = Fresh();
    ASSERT_EQ(LoadText(s, "File2=/b/TGR2.ZIP\r\nFile2=/a/TGR1.ZIP\r\nFile2=/b/TGR2.ZIP\r\nFile2=\r\nFile=|\r\n"),
              ConfigLoad::Loaded);
    EXPECT_EQ(Texts(s.inputs), (std::vector<std::string>{"/a/TGR1.ZIP|-1", "/b/TGR2.ZIP|-1"}));
}

TEST(ConfigFile, LinesInAnyOrderUnknownKeysIgnoredAndPrefixRules)
{
    std::string dir = TempDir("config-rules");
    RunSettings s = Fresh();
    ConfigurationState state("/cur/");
    const std::string text = "Memo=one\n"
                             "[Options]\n"
                             "RbF1=1\n"
                             "Unknown=7\n"
                             "CbZZ9=1\n"      // no such box
                             "ChM1=1\n"       // a prefix without a box here
                             "DisableLogs=0\n" // never read
                             "CbA3\n"         // no "=": nothing
                             "=CbA4\n"
                             "[Features]\n"
                             "Asuf2=ROADS\n"  // the first four characters name the suffix
                             "Dsuf2=POINTS\n"
                             "DIGITS=2\n"
                             "LAMBERT=6370997,-90,40\n"
                             "Memo2=two\n"
                             "RbO3=0\n"       // a zero leaves the choice alone
                             "RbD1=yes\n"     // any non-zero value sets
                             "CbB2= 1 \n"
                             "CbQ01=0\n"
                             "Input=" + dir + "\n"
                             "Input=/no/such/directory/\n"
                             "ZIP=1\nBEEP=1\nDLOG=0\n"
                             "[Main]\n"
                             "Output=/out/put = root/\n";
    ASSERT_EQ(LoadText(s, state, text), ConfigLoad::Loaded);
    EXPECT_EQ(s.Choice("RbF"), "RbF1");
    EXPECT_FALSE(s.Box("RbF0"));
    EXPECT_TRUE(s.LogsDisabled());
    EXPECT_FALSE(s.Box("CbA3"));
    EXPECT_FALSE(s.Box("CbA4"));
    EXPECT_EQ(s.Text("Asuf"), "ROADS");
    EXPECT_EQ(s.Text("Dsuf2"), "POINTS");
    EXPECT_EQ(s.Text("Dsuf"), "D");
    EXPECT_EQ(s.Precision(), 2);
    EXPECT_EQ(s.Text("LAM"), "6370997,-90,40");
    EXPECT_EQ(s.memo, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(s.Choice("RbO"), "RbO1");
    EXPECT_EQ(s.Choice("RbD"), "RbD1");
    EXPECT_TRUE(s.Box("CbB2"));
    EXPECT_FALSE(s.Box("CbQ01"));
    EXPECT_EQ(s.Text("Input"), dir);
    EXPECT_TRUE(s.Box("ZIP"));
    EXPECT_TRUE(s.Box("BEEP"));
    EXPECT_FALSE(s.Box("DLOG"));
    EXPECT_EQ(s.Text("Output"), "/out/put = root/");
}

TEST(ConfigFile, AnyLineEndAndLongLines)
{
    // CR alone, LF alone, CR LF, a line of 200,000 characters that spans
    // the read buffer, and a last line without a line end.
    std::string huge(200000, 'h');
    RunSettings s = Fresh();
    ASSERT_EQ(LoadText(s, "\xEF\xBB\xBF" "Asuf=R\rBsuf=T\nCsuf=O\r\nMemo=" + huge + "\r\nEsuf=P\r\n\r\nFsuf=N"),
              ConfigLoad::Loaded);
    EXPECT_EQ(s.Text("Asuf"), "R");
    EXPECT_EQ(s.Text("Bsuf"), "T");
    EXPECT_EQ(s.Text("Csuf"), "O");
    ASSERT_EQ(s.memo.size(), 1u);
    EXPECT_EQ(s.memo[0], huge);
    EXPECT_EQ(s.Text("Esuf"), "P");
    EXPECT_EQ(s.Text("Fsuf"), "N");

    // A CR LF split by the end of the read buffer is one line end.
    std::string text = "Memo=" + std::string((1 << 16) - 6, 'a') + "\r\nMemo=b\r\n";
    ASSERT_EQ(text[(1 << 16) - 1], '\r');
    ASSERT_EQ(LoadText(s, text), ConfigLoad::Loaded);
    ASSERT_EQ(s.memo.size(), 2u);
    EXPECT_EQ(s.memo[1], "b");
}

TEST(ConfigFile, ControlCharactersNeverBreakTheFile)
{
    std::string dir = TempDir("config-control");
    RunSettings s = Fresh();
    s.SetText("Asuf", "A\r\nB\tC");
    EXPECT_EQ(s.Text("Asuf"), "A  B C");
    s.memo = {"line one\r\nline two\nline three"};
    s.inputs = {{"/odd\npath/TGR01001.ZIP", -1}};
    ConfigurationState state(dir);
    state.lastName = "/cfg/last\r\nCbA1=1";
    ASSERT_TRUE(SaveConfiguration(s, state, dir + "C.CFG"));

    RunSettings back = Fresh();
    ConfigurationState backState(dir);
    ASSERT_EQ(LoadConfiguration(back, backState, dir + "C.CFG"), ConfigLoad::Loaded);
    EXPECT_EQ(back.Text("Asuf"), "A  B C");
    EXPECT_EQ(back.memo, (std::vector<std::string>{"line one", "line two", "line three"}));
    EXPECT_EQ(Texts(back.inputs), (std::vector<std::string>{"/odd path/TGR01001.ZIP|-1"}));
    EXPECT_EQ(backState.lastName, "/cfg/last  CbA1=1");
    EXPECT_FALSE(back.Box("CbA1"));
}

TEST(ConfigFile, NulBytesAndBarsSurviveARoundTrip)
{
    std::string dir = TempDir("config-nul");
    RunSettings s = Fresh();
    s.SetText("Bsuf", std::string("B\0x", 3));
    s.memo = {std::string("memo\0with a NUL", 15)};
    s.inputs = {{"/data|2006/TGR01001.ZIP", -1}};
    ConfigurationState state(dir);
    ASSERT_TRUE(SaveConfiguration(s, state, dir + "N.CFG"));
    RunSettings back = Fresh();
    ConfigurationState backState(dir);
    ASSERT_EQ(LoadConfiguration(back, backState, dir + "N.CFG"), ConfigLoad::Loaded);
    EXPECT_EQ(back.Text("Bsuf"), "B x");
    EXPECT_EQ(back.memo, s.memo);
    EXPECT_EQ(back.inputs, s.inputs);
    // Saving again gives the same file.
    ASSERT_TRUE(SaveConfiguration(back, backState, dir + "M.CFG"));
    EXPECT_EQ(ReadFile(dir + "M.CFG"), ReadFile(dir + "N.CFG"));
}

TEST(ConfigFile, SaveReportsFailure)
{
    RunSettings s = Fresh();
    ConfigurationState state("/cur/");
    std::string error;
    EXPECT_FALSE(SaveConfiguration(s, state, TempDir("config-fail") + "no/dir/X.CFG", &error));
    EXPECT_NE(error.find("Unable to Create"), std::string::npos);
}

TEST(RecentConfigurations, MoveToFrontKeepsFourNewestFirst)
{
    ConfigurationState st("/cur");
    EXPECT_EQ(st.DefaultPath(), "/cur/ZALOR.CFG");
    for (const char* p : {"D", "C", "B", "A"}) AddRecentConfiguration(st, p);
    using V = std::vector<std::string>;
    EXPECT_EQ(st.Recent(), (V{"A", "B", "C", "D"}));
    AddRecentConfiguration(st, "A");
    EXPECT_EQ(st.Recent(), (V{"A", "B", "C", "D"}));
    AddRecentConfiguration(st, "B");
    EXPECT_EQ(st.Recent(), (V{"B", "A", "C", "D"}));
    AddRecentConfiguration(st, "D");
    EXPECT_EQ(st.Recent(), (V{"D", "B", "A", "C"}));
    AddRecentConfiguration(st, "E");
    EXPECT_EQ(st.Recent(), (V{"E", "D", "B", "A"}));
    AddRecentConfiguration(st, "e"); // compared exactly
    EXPECT_EQ(st.Recent(), (V{"e", "E", "D", "B"}));
}

TEST(RecentConfigurations, LoadingTheThirdEntryPutsItOnTop)
{
    std::string dir = TempDir("config-recent");
    WriteFile(dir + "C.CFG", "CbA5=1\r\n");
    RunSettings s = Fresh();
    ConfigurationState st(dir);
    for (std::string p : {"D", "C", "B", "A"}) AddRecentConfiguration(st, p == "C" ? dir + "C.CFG" : p);
    ASSERT_EQ(LoadRecentConfiguration(s, st, dir + "C.CFG"), ConfigLoad::Loaded);
    EXPECT_TRUE(s.Box("CbA5"));
    EXPECT_EQ(st.Recent(), (std::vector<std::string>{dir + "C.CFG", "A", "B", "D"}));
}

TEST(RecentConfigurations, LoadCommandPutsTheFileBelowItsOwnRecentLines)
{
    std::string dir = TempDir("config-load-cmd");
    const std::string p = dir + "P.CFG";
    WriteFile(p, "HIST=A\r\nHIST=B\r\nHIST=C\r\nLCFG=/saved/name.cfg\r\n");
    RunSettings s = Fresh();
    ConfigurationState st(dir);
    ASSERT_EQ(LoadChosenConfiguration(s, st, p), ConfigLoad::Loaded);
    EXPECT_EQ(st.Recent(), (std::vector<std::string>{"C", "B", "A", p}));
    EXPECT_EQ(st.lastName, "/saved/name.cfg");

    // Without an LCFG line the loaded path stays the last name.
    WriteFile(p, "HIST=\r\n");
    ASSERT_EQ(LoadChosenConfiguration(s, st, p), ConfigLoad::Loaded);
    EXPECT_EQ(st.lastName, p);
    EXPECT_EQ(st.Recent(), (std::vector<std::string>{p, "C", "B", "A"}));
}

TEST(ConfigCommands, SaveAsUpperCasesTheFileNameAndAddsTheExtension)
{
    EXPECT_EQ(ConfigurationSaveName("/tmp/cfg/myset"), "/tmp/cfg/MYSET.CFG");
    EXPECT_EQ(ConfigurationSaveName("/tmp/cfg/my.set"), "/tmp/cfg/MY.SET");
    EXPECT_EQ(ConfigurationSaveName("myset"), "MYSET.CFG");

    std::string dir = TempDir("config-saveas");
    RunSettings s = Fresh();
    ConfigurationState st(dir);
    std::string written = SaveConfigurationAs(s, st, dir + "myset");
    EXPECT_EQ(written, dir + "MYSET.CFG");
    EXPECT_EQ(st.lastName, written);
    EXPECT_NE(ReadFile(written).find("\r\nLCFG=" + written + "\r\n"), std::string::npos);
    EXPECT_TRUE(st.Recent().empty());
    EXPECT_EQ(SaveConfigurationAs(s, st, dir + "missing/dir/x"), "");
}

// Whatever was chosen before, "New" gives the one selection the manual
// describes; what is no selection is kept.
TEST(ConfigCommands, NewGivesOneSelection)
{
    RunSettings s = Fresh();
    s.SetText("Output", "/somewhere/");
    s.inputs = {{"/d/TGR01001.ZIP", -1}};
    s.memo = {"kept"};
    for (const SettingDef& def : SettingTable())
        if (def.kind == SettingKind::Box) s.SetBox(def.key, true);
    s.SetBox("CbQ01", false);
    s.SetRadio("RbF1");
    s.SetText("Asuf", "ROADS");
    s.SetText("DIG", "3");

    NewConfiguration(s);
    EXPECT_EQ(s.Text("Output"), "/prog/");
    EXPECT_TRUE(s.inputs.empty());
    EXPECT_EQ(s.memo, (std::vector<std::string>{"kept"}));
    const std::set<std::string> chosen{"CbA1", "CbA2", "CbA3", "CbA4", "CbAr1", "CbAr2", "CbAr3", "CbQ01", "CbQ02"};
    for (const SettingDef& def : SettingTable())
        if (def.place == SettingPlace::FeatureDialog && def.kind == SettingKind::Box)
            EXPECT_EQ(s.Box(def.key), chosen.count(def.key) == 1) << def.key;
    // The options, suffixes and log settings stay.
    EXPECT_EQ(s.Choice("RbF"), "RbF1");
    EXPECT_EQ(s.Text("Asuf"), "ROADS");
    EXPECT_EQ(s.Precision(), 3);
    EXPECT_TRUE(s.Box("BEEP") && s.Box("DisableLogs"));
}

TEST(ConfigCommands, FirstStartSelectsRoadsAndTracts)
{
    RunSettings s = Fresh();
    EXPECT_FALSE(AnythingSelected(s));
    FirstStartSelection(s);
    const ConversionPlan plan = BuildConversionPlan(s);
    EXPECT_TRUE(plan.refusal.empty());
    ASSERT_EQ(plan.lineGroups.size(), 1u);
    EXPECT_EQ(plan.lineGroups[0].name, "A");
    EXPECT_FALSE(plan.lineGroups[0].codes.Contains("A51")); // vehicular trails are not
    ASSERT_EQ(plan.areas.size(), 1u);
    EXPECT_EQ(plan.areas[0].name, "CTBNA00");
    EXPECT_FALSE(plan.points);
}

} // namespace
} // namespace zalor
