// The desktop program at start-up with a settings file it could not use: the
// user is told in a message box, once the window is up.
#include <gtest/gtest.h>

#include <fstream>

#include "MainWindowFixture.h"

TEST_F(MainWindowTest, ADamagedSettingsFileIsToldInABoxAtStartUp)
{
    const std::string path = Options().strSettings;
    std::ofstream(path) << "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norq\\Halvex3\n";
    CModalScript script;
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !script.m_seen.empty(); }, 3000)) << "no box";
    ASSERT_EQ(script.m_seen.size(), 1u);
    const std::string& text = script.m_seen[0].strMessage;
    EXPECT_EQ(text.rfind("settings file " + path + ": not a settings file (line 2: bad key line)", 0), 0u)
        << text;
    EXPECT_NE(text.find("it is kept as " + path + ".bad."), std::string::npos) << text;
    CloseMain();

    // Read well the next time: no box.
    CModalScript quiet;
    Open();
    PumpEvents(200);
    EXPECT_TRUE(quiet.m_seen.empty()) << quiet.m_seen[0].strMessage;
}
