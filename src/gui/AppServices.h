#pragma once
// The real devices behind the document's interfaces, chosen by the options.
#include <memory>
#include <string>

#include "document/HalvexDoc.h"

class IShell;
namespace wavein {
class IWaveIn;
}

// The WAV-file device playing strInput in real time, or the sound cards when
// strInput is empty.
std::unique_ptr<wavein::IWaveIn> MakeWaveIn(const std::string& strInput);
std::unique_ptr<IShell> MakeShell();

// The document's environment for the desktop program.
DocEnvironment MakeDocEnvironment(IDocUi* pUi, wavein::IWaveIn* pWaveIn, IShell* pShell,
                                  const std::string& strSettingsPath);
// Applies the options that change the document after it has read its
// settings: --view and --log-dir.
void ApplyDocOptions(CHalvexDoc& doc, int nViewMode, const std::string& strLogDir, bool bWeakSignals = false);
// Applies --mqtt and --station (each when given) over the stored station
// network settings, then starts publishing when there is a broker URL; false
// when it cannot start (said through the document's user interface).
bool ApplyStationOptions(CHalvexDoc& doc, const std::string& strMqttUrl, const std::string& strStation);

// SIGTERM and SIGINT only raise a flag, read by whoever runs the loop.
void InstallStopSignals();
bool StopSignalRaised();
