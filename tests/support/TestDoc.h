#pragma once
// The environment of a document for tests and benchmarks: it reads and writes
// no settings file and starts nothing; its paths lie in strDir (settings.ini,
// log/), which need not exist.
#include <string>

#include "document/HalvexDoc.h"

inline DocEnvironment DetachedDocEnvironment(IDocUi& ui, const IClock& clock, const std::string& strDir,
                                             wavein::IWaveIn* pWaveIn = nullptr)
{
    DocEnvironment env;
    env.pUi = &ui;
    env.pWaveIn = pWaveIn;
    env.pClock = &clock;
    env.strSettingsPath = strDir + "/settings.ini";
    env.strProgramDir = strDir + "/";
    env.strDefaultLogDir = strDir + "/log/";
    env.bLoadSettings = false;
    env.bSaveSettings = false;
    return env;
}
