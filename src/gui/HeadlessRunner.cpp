#include "gui/HeadlessRunner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "document/CommandIds.h"
#include "document/DocUi.h"
#include "document/HalvexDoc.h"
#include "gui/AppServices.h"
#include "platform/Cp1252.h"
#include "platform/Shell.h"
#include "platform/WaveIn.h"

namespace {

using Clock = std::chrono::steady_clock;

// Messages go to the standard error; dialogs are answered with Cancel; the
// "window timers" are kept here and run by the loop below.
class CHeadlessDocUi : public IDocUi
{
public:
    struct Timer
    {
        Clock::duration period;
        Clock::time_point due;
    };

    void ShowMessage(const std::string& text) override
    {
        std::fprintf(stderr, "halvex3: %s\n", Cp1252ToUtf8(text).c_str());
    }
    bool RunHomeLocationDialog(std::string&, std::string&) override { return false; }
    bool BrowseForFolder(const std::string&, const std::string&, std::string&) override { return false; }
    void SetMainWindowTitle(const std::string& title) override { m_strTitle = title; }
    unsigned SetViewTimer(unsigned id, unsigned periodMs) override
    {
        if (id == 0 || periodMs == 0)
            return 0;
        const auto period = std::chrono::milliseconds(periodMs);
        m_timers[id] = Timer{period, Clock::now() + period};
        return id;
    }
    void KillViewTimer(unsigned id) override { m_timers.erase(id); }
    void UpdateAllViews() override {}

    std::map<unsigned, Timer> m_timers;
    std::string m_strTitle;
};

}  // namespace

int RunHeadless(const AppOptions& options)
{
    InstallStopSignals();
    std::unique_ptr<wavein::IWaveIn> pWaveIn = MakeWaveIn(options.strInput);
    std::unique_ptr<IShell> pShell = MakeShell();
    CHeadlessDocUi ui;
    {
        CHalvexDoc doc(MakeDocEnvironment(&ui, pWaveIn.get(), pShell.get(), options.strSettings));
        ApplyDocOptions(doc, options.nViewMode, options.strLogDir, options.bWeakSignals);
        ApplyStationOptions(doc, options.strMqttUrl, options.strStation);
        if (options.bStart) {
            doc.OnCommand(ID_PROCESS_START);
            // Nobody is there to choose Start again: a station that cannot
            // capture says so in its exit status, so that whatever started it
            // (a service manager) can try again later.
            if (!doc.m_bRunning) {
                std::fprintf(stderr, "halvex3: capture did not start; ending\n");
                doc.OnCloseDocument();
                return 1;
            }
        }

        while (!StopSignalRaised()) {
            const Clock::time_point now = Clock::now();
            std::vector<unsigned> due;
            for (const auto& [id, timer] : ui.m_timers)
                if (timer.due <= now)
                    due.push_back(id);
            for (unsigned id : due) {
                auto it = ui.m_timers.find(id);
                if (it == ui.m_timers.end())
                    continue;  // killed by an earlier tick of this round
                // Late ticks are merged into one, as window timers are.
                it->second.due = std::max(it->second.due + it->second.period, now);
                if (id == doc.m_nRefreshTimer)
                    doc.UpdateAllViews();
                if (id == doc.m_nPollTimer)
                    doc.PollCapture();
            }
            Clock::time_point wake = Clock::now() + std::chrono::milliseconds(100);
            for (const auto& entry : ui.m_timers)
                wake = std::min(wake, entry.second.due);
            std::this_thread::sleep_until(wake);
        }
        doc.OnCloseDocument();
    }
    return 0;
}
