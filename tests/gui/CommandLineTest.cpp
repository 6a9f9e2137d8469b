// The desktop program's command line and where it finds its files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "WindowTestSupport.h"
#include "gui/AppPaths.h"
#include "gui/CommandLine.h"

TEST(CommandLineTest, AutomationSwitchesRunWithoutAWindowInAnyCase)
{
    for (const char* a :
         {"-Embedding", "-Automation", "/Embedding", "/Automation", "/embedding", "-AUTOMATION"}) {
        AppOptions o = ParseCommandLine({a});
        EXPECT_TRUE(o.bHeadless) << a;
        EXPECT_EQ(o.strError, "") << a;
    }
    EXPECT_FALSE(ParseCommandLine({}).bHeadless);
    EXPECT_NE(ParseCommandLine({"-Embed"}).strError, "");
    EXPECT_NE(ParseCommandLine({"Embedding"}).strError, "");
}

TEST(CommandLineTest, OptionsWithValuesInBothSpellings)
{
    AppOptions o = ParseCommandLine(
        {"--input", "rec.wav", "--start", "--view=chart", "--settings", "s.reg", "--log-dir=/tmp/logs"});
    EXPECT_EQ(o.strError, "");
    EXPECT_EQ(o.strInput, "rec.wav");
    EXPECT_TRUE(o.bStart);
    EXPECT_EQ(o.nViewMode, 3);
    EXPECT_EQ(o.strSettings, "s.reg");
    EXPECT_EQ(o.strLogDir, "/tmp/logs/");
    const char* const views[] = {"signal", "messages", "satellites", "chart", "passes"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ParseCommandLine({"--view", views[i]}).nViewMode, i);
    EXPECT_EQ(ParseCommandLine({}).nViewMode, -1);
    EXPECT_TRUE(ParseCommandLine({"--help"}).bHelp);
    EXPECT_TRUE(ParseCommandLine({"--version"}).bVersion);
    EXPECT_FALSE(o.bWeakSignals);
    EXPECT_TRUE(ParseCommandLine({"--weak-signals"}).bWeakSignals);
    EXPECT_NE(ParseCommandLine({"--weak-signals=1"}).strError, "");
}

TEST(CommandLineTest, BadCommandLinesAreRefusedWithAReason)
{
    EXPECT_NE(ParseCommandLine({"--view", "map"}).strError.find("map"), std::string::npos);
    EXPECT_NE(ParseCommandLine({"--input"}).strError.find("--input"), std::string::npos);
    EXPECT_NE(ParseCommandLine({"--settings="}).strError, "");
    EXPECT_NE(ParseCommandLine({"--start=now"}).strError, "");
    EXPECT_NE(ParseCommandLine({"file.txt"}).strError.find("file.txt"), std::string::npos);
    EXPECT_NE(CommandLineHelp("halvex3").find("--log-dir DIR"), std::string::npos);
}

TEST(AppPathsTest, AMissingDataFileNamesBothPlacesLookedAt)
{
    CTempDir exe, data;
    const std::string report = MissingDataFileReport("globe.dat", exe.Str(), data.Str());
    EXPECT_EQ(report, "halvex3: globe.dat not found; looked for " + exe.Str() + "globe.dat and " +
                          data.Str() + "globe.dat");
    std::ofstream(data.Path() / "globe.dat") << "x";
    EXPECT_EQ(MissingDataFileReport("globe.dat", exe.Str(), data.Str()), "");
}

TEST(AppPathsTest, DataBesideTheExecutableComesFirst)
{
    CTempDir exe, data;
    std::filesystem::create_directories(data.Path() / "manual");
    std::ofstream(data.Path() / "globe.dat") << "x";
    std::ofstream(data.Path() / "manual" / "index.html") << "x";
    EXPECT_EQ(FindDataFile("globe.dat", exe.Str(), data.Str()), data.Str() + "globe.dat");
    EXPECT_EQ(FindDataFile("manual/index.html", exe.Str(), data.Str()), data.Str() + "manual/index.html");
    std::ofstream(exe.Path() / "globe.dat") << "y";
    EXPECT_EQ(FindDataFile("globe.dat", exe.Str(), data.Str()), exe.Str() + "globe.dat");
    // In neither place: the failure names the place looked at first.
    EXPECT_EQ(FindDataFile("other.dat", exe.Str(), data.Str()), exe.Str() + "other.dat");
    // A directory of that name is not the file.
    std::filesystem::create_directories(exe.Path() / "manual" / "index.html");
    EXPECT_EQ(FindDataFile("manual/index.html", exe.Str(), data.Str()), data.Str() + "manual/index.html");
}
