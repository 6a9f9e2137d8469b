// Help and the audio mixer when nothing can be started: the user is told what
// is missing instead of the command passing without a word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/CommandIds.h"
#include "document/ReportingShell.h"
#include "platform/DesktopShell.h"
#include "support/DocTestSupport.h"

namespace {

// A shell that starts (pretends to) only what it is told to.
class ScriptedShell : public IShell
{
public:
    bool bStarts = true;
    std::string strFailure;
    int nCalls = 0;
    bool ShellExecute(const std::string&, const std::string&, const std::string&) override
    {
        ++nCalls;
        return bStarts;
    }
    std::string LastFailure() const override { return strFailure; }
};

}  // namespace

TEST_F(DocTest, MixerWithNoMixerProgramSaysWhichAreMissing)
{
    // A search path with nothing on it: none of the mixers is installed.
    CDesktopShell desktop(m_dir);
    CReportingShell shell(desktop, m_ui);
    DocEnvironment env = Env();
    env.pShell = &shell;
    CHalvexDoc doc(env);
    EXPECT_TRUE(doc.OnCommand(ID_OPTIONS_MIXER));
    ASSERT_EQ(m_ui.messages.size(), 1u);
    for (const char* name : {"pavucontrol", "gnome-control-center", "alsamixer"})
        EXPECT_NE(m_ui.messages[0].find(name), std::string::npos) << name;
}

TEST(ReportingShell, OnlyAFailureIsShownAndTheResultPassesThrough)
{
    FakeDocUi ui;
    ScriptedShell inner;
    CReportingShell shell(inner, ui);
    EXPECT_TRUE(shell.ShellExecute("open", "/usr/share/halvex3/manual/index.html", ""));
    EXPECT_TRUE(ui.messages.empty());

    inner.bStarts = false;
    inner.strFailure = "The program xdg-open was not found.";
    EXPECT_FALSE(shell.ShellExecute("open", "/m/index.html", ""));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], inner.strFailure);

    // A shell with nothing to add still gets a box that names the target.
    inner.strFailure.clear();
    EXPECT_FALSE(shell.ShellExecute("open", "/m/index.html", ""));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[1].find("/m/index.html"), std::string::npos);
    EXPECT_EQ(inner.nCalls, 3);
}
