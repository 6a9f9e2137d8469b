// halvex3: the desktop program. The command line is read before the toolkit
// starts, so that --help, --version and the automation switches need no
// display.
#include <cstdio>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/log.h>

#include "HalvexVersion.h"
#include "document/StationNetwork.h"
#include "gui/CommandLine.h"
#include "gui/HalvexApp.h"
#include "gui/HeadlessRunner.h"
#include "platform/Registry.h"

namespace {

bool g_bNoDisplay = false;

// The application as started from the command line. Without a display the
// toolkit refuses to start and would then try to show that refusal in a
// window of its own, which ends in a trap; say it on the terminal instead.
class CDesktopApp final : public CHalvexApp
{
public:
    bool Initialize(int& nArgs, wxChar** ppArgs) override
    {
        const bool bWasLogging = wxLog::EnableLogging(false);
        const bool bOk = CHalvexApp::Initialize(nArgs, ppArgs);
        wxLog::EnableLogging(bWasLogging);
        if (!bOk) {
            g_bNoDisplay = true;
            std::fputs(
                "halvex3: no display could be opened (DISPLAY, WAYLAND_DISPLAY); run "
                "without a window with 'halvex3 -Embedding', or on a virtual display "
                "with 'xvfb-run -a halvex3'\n",
                stderr);
        }
        return bOk;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const AppOptions options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.strError.empty()) {
        std::fprintf(stderr, "halvex3: %s\nTry 'halvex3 --help'.\n", options.strError.c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(CommandLineHelp("halvex3").c_str(), stdout);
        return 0;
    }
    if (options.bVersion) {
        std::printf("halvex3 %s\n", HALVEX_VERSION);
        return 0;
    }
    std::string strWhy;
    if (!options.strSettings.empty() && reg::IsOtherThanSettingsFile(options.strSettings, strWhy)) {
        // Named by mistake (notes, a recording): refused, never replaced.
        std::fprintf(stderr, "halvex3: %s; it is left as it is\n", strWhy.c_str());
        return 2;
    }
    if (options.bHeadless) {
        const int nStatus = RunHeadless(options);
        WaitForStationNetwork();
        return nStatus;
    }

    auto* pApp = new CDesktopApp;
    pApp->SetStartOptions(options);
    wxApp::SetInstance(pApp);
    const int nExit = wxEntry(argc, argv);
    // The window is gone: frames still queued for the broker get their last
    // seconds here.
    WaitForStationNetwork();
    return g_bNoDisplay ? 1 : nExit;
}
