#pragma once
// The desktop program's command line. Kept free of window code so that the
// switches that run without a window can be honoured before any display is
// opened.
#include <string>
#include <vector>

struct AppOptions
{
    bool bHeadless = false;     // -Embedding, -Automation, /Embedding, /Automation
    std::string strInput;       // --input FILE: a WAV file instead of the sound cards
    bool bStart = false;        // --start: Process > Start once the program is up
    int nViewMode = -1;         // --view: 0..3, -1 leaves the stored mode
    std::string strSettings;    // --settings FILE
    std::string strLogDir;      // --log-dir DIR, as if chosen under Options > Directories
    std::string strMqttUrl;     // --mqtt URL, as if set under Options > Station network
    std::string strStation;     // --station NAME, likewise
    bool bWeakSignals = false;  // --weak-signals, as if chosen under Options > Decoder
    bool bHelp = false;
    bool bVersion = false;
    std::string strError;  // not empty: the command line was refused
};

// args excludes the program name.
AppOptions ParseCommandLine(const std::vector<std::string>& args);
// The --help text, for the given program name.
std::string CommandLineHelp(const std::string& strProgram);
