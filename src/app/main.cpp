// halvex3: the desktop program. The command line is read before the toolkit
// starts, so that --help, --version and the automation switches need no
// display.
#include <cstdio>
#include <string>
#include <vector>

#include <wx/app.h>

#include "app/CommandLine.h"
#include "app/HalvexApp.h"
#include "app/HeadlessRunner.h"
#include "document/StationNetwork.h"

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
        std::puts("Halvex3 version 2.1");
        return 0;
    }
    int nStatus = 0;
    if (options.bHeadless) {
        nStatus = RunHeadless(options);
    } else {
        auto* pApp = new CHalvexApp;
        pApp->SetStartOptions(options);
        wxApp::SetInstance(pApp);
        nStatus = wxEntry(argc, argv);
    }
    // The window is gone: frames still queued for the broker get their last
    // seconds here.
    WaitForStationNetwork();
    return nStatus;
}
