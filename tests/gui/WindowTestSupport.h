#pragma once
// Helpers of the window tests: running the event loop for a while or until
// something happens, answering modal dialogs from a script, temporary
// directories, and a synthetic recording written as a WAV file.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/modalhook.h>

#include "output/JsonOutput.h"
#include "support/TestFiles.h"

// Processes events (timers, paints, idle) for about ms milliseconds.
void PumpEvents(int ms);
// Processes events until pred() holds or timeoutMs has passed; pred()'s last value.
bool PumpUntil(const std::function<bool()>& pred, int timeoutMs);

// Answers every modal dialog without showing it: each one is recorded and
// handed to the answer function, whose result ShowModal returns. Without an
// answer function every dialog is closed with Cancel (message boxes with OK).
class CModalScript : public wxModalDialogHook
{
public:
    struct Seen
    {
        std::string strClass;  // the dialog's wx class name
        std::string strTitle;
        std::string strMessage;  // message boxes: their text (UTF-8)
    };

    CModalScript() { Register(); }
    ~CModalScript() override { Unregister(); }

    std::function<int(wxDialog*)> m_answer;
    std::vector<Seen> m_seen;

    int Count(const std::string& strClass) const;

protected:
    int Enter(wxDialog* pDialog) override;
    void Exit(wxDialog*) override {}
};

// A recording with one orbit bulletin (satellite code 8) and one date-time
// stamp, each followed by silence; frames are returned with their CRC.
std::vector<uint8_t> MakeTestRecording(std::vector<std::vector<uint8_t>>& frames);
// FrameHex(frame), the frame as upper-case hexadecimal as a message line
// begins, comes from output/JsonOutput.h.
// Lines of a text file (without line ends); empty when it cannot be read.
std::vector<std::string> ReadLines(const std::string& strPath);
