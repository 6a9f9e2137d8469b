#pragma once
// A main window over a document with a scriptable sound card and a shell
// that only records, in a temporary directory of its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "WindowTestSupport.h"
#include "document/CommandIds.h"
#include "document/HalvexDoc.h"
#include "gui/CommandMap.h"
#include "gui/HalvexApp.h"
#include "gui/HalvexViewWx.h"
#include "gui/MainFrame.h"
#include "platform/Shell.h"
#include "support/FakeWaveIn.h"
#include "support/RecordingShell.h"

class MainWindowTest : public ::testing::Test
{
protected:
    static CHalvexApp& App() { return *static_cast<CHalvexApp*>(wxTheApp); }

    AppOptions Options() const
    {
        AppOptions o;
        o.strSettings = m_dir.Str() + "settings.reg";
        o.strLogDir = m_dir.Str() + "logs/";
        return o;
    }

    // Opens the main window; the wave-in device defaults to a fake with the
    // given device names.
    void Open(const AppOptions& options, std::unique_ptr<wavein::IWaveIn> pWaveIn = nullptr,
              std::vector<std::string> devices = {"Card A", "USB Audio"})
    {
        if (!pWaveIn) {
            auto pFake = std::make_unique<FakeWaveIn>(devices);
            m_pFake = pFake.get();
            pWaveIn = std::move(pFake);
        }
        ASSERT_TRUE(App().CreateMainWindow(options, std::move(pWaveIn),
                                           std::make_unique<RecordingShell>(&m_shellCalls, &m_bShellFails)));
        ASSERT_NE(App().MainFrame(), nullptr);
        PumpEvents(20);
    }
    void Open() { Open(Options()); }

    void TearDown() override { CloseMain(); }

    void CloseMain()
    {
        if (App().MainFrame())
            App().MainFrame()->Close(true);
        App().DestroyDocument();
        PumpEvents(10);
        m_pFake = nullptr;
    }

    CMainFrame* Frame() const { return App().MainFrame(); }
    CHalvexDoc& Doc() const { return *App().Document(); }
    CHalvexView* View() const { return Frame()->View(); }

    wxMenuItem* Item(int nResourceId) const
    {
        return Frame()->GetMenuBar()->FindItem(WxIdOfResource(nResourceId));
    }
    // Runs the update handlers of the menus and the toolbar, as opening a
    // menu or idle time would.
    void UpdateUi() const
    {
        Frame()->DoMenuUpdates();
        Frame()->GetToolBar()->UpdateWindowUI(wxUPDATE_UI_NONE);
    }
    // Chooses a command as the menu or a toolbar button would.
    void Choose(int nResourceId) const
    {
        wxCommandEvent event(wxEVT_MENU, WxIdOfResource(nResourceId));
        event.SetEventObject(Frame());
        Frame()->ProcessWindowEvent(event);
    }
    bool ToolEnabled(int nResourceId) const
    {
        return Frame()->GetToolBar()->GetToolEnabled(WxIdOfResource(nResourceId));
    }
    bool ToolChecked(int nResourceId) const
    {
        return Frame()->GetToolBar()->GetToolState(WxIdOfResource(nResourceId));
    }
    std::string Title() const { return std::string(Frame()->GetTitle().utf8_str()); }

    CTempDir m_dir;
    FakeWaveIn* m_pFake = nullptr;
    std::vector<RecordingShell::Call> m_shellCalls;
    bool m_bShellFails = false;
};
