#include "WindowTestSupport.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>

#include <wx/app.h>
#include <wx/dirdlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "gui/AboutDlg.h"
#include "gui/HomeLocationDlg.h"
#include "synth/FrameBuilder.h"
#include "synth/Modulator.h"

void PumpEvents(int ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return pred();
        wxTheApp->Yield(true);
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        wxMilliSleep(5);
    }
}

int CModalScript::Count(const std::string& strClass) const
{
    int n = 0;
    for (const Seen& s : m_seen)
        n += s.strClass == strClass ? 1 : 0;
    return n;
}

int CModalScript::Enter(wxDialog* pDialog)
{
    Seen seen;
    seen.strClass = std::string(wxString(pDialog->GetClassInfo()->GetClassName()).utf8_str());
    seen.strTitle = std::string(pDialog->GetTitle().utf8_str());
    if (dynamic_cast<CHomeLocationDlg*>(pDialog))
        seen.strClass = "CHomeLocationDlg";
    else if (dynamic_cast<CAboutDlg*>(pDialog))
        seen.strClass = "CAboutDlg";
    if (auto* pDir = dynamic_cast<wxDirDialogBase*>(pDialog))
        seen.strTitle = std::string(pDir->GetMessage().utf8_str());  // the chooser's title
    if (auto* pBox = dynamic_cast<wxMessageDialogBase*>(pDialog)) {
        seen.strClass = "wxMessageDialog";
        seen.strMessage = std::string(pBox->GetMessage().utf8_str());
    }
    m_seen.push_back(seen);
    if (m_answer)
        return m_answer(pDialog);
    return seen.strClass == "wxMessageDialog" ? wxID_OK : wxID_CANCEL;
}

std::vector<uint8_t> MakeTestRecording(std::vector<std::vector<uint8_t>>& frames)
{
    BulletinFields fields;
    fields.nCode = 8;
    frames = {BuildOrbitBulletin(fields), BuildDateTimeStamp(2009, 60, 12, 34, 56, 789)};
    ModulatorOptions options;
    options.dNoise = 3.0;
    CModulator modulator(options);
    modulator.AppendSilence(24000);
    for (const std::vector<uint8_t>& frame : frames) {
        modulator.AppendFlags(4);
        modulator.AppendFrame(frame);
        modulator.AppendFlags(4);
        modulator.AppendSilence(48000);
    }
    return modulator.TakeSamples();
}

std::vector<std::string> ReadLines(const std::string& strPath)
{
    std::vector<std::string> lines;
    std::ifstream in(strPath, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
