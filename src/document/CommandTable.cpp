#include "document/CommandTable.h"

#include <cstring>

#include "document/CommandIds.h"
#include "document/DocUi.h"
#include "document/HalvexDoc.h"

namespace {

void SetViewMode(CHalvexDoc& doc, int nMode)
{
    doc.m_nViewMode = nMode;
    doc.UpdateAllViews();
}

// Source rule: an option with a device shows the device's name and is checked
// when chosen; one without is unchecked and greyed, keeping its menu text.
void UpdateSource(const CHalvexDoc& doc, ICmdUI& cmdUi, int k)
{
    if (!doc.m_strDeviceName[k].empty()) {
        cmdUi.Enable(true);
        cmdUi.SetText(doc.m_strDeviceName[k]);
        cmdUi.SetCheck(doc.m_nSoundcardOption == k ? 1 : 0);
    } else {
        cmdUi.SetCheck(0);
        cmdUi.Enable(false);
    }
}

template <int k>
void ChooseSource(CHalvexDoc& doc)
{
    doc.m_nSoundcardOption = k;
}

template <int k>
void UpdateSourceK(const CHalvexDoc& doc, ICmdUI& cmdUi)
{
    UpdateSource(doc, cmdUi, k);
}

template <int mode>
void ChooseView(CHalvexDoc& doc)
{
    SetViewMode(doc, mode);
}

template <int mode>
void UpdateView(const CHalvexDoc& doc, ICmdUI& cmdUi)
{
    cmdUi.SetCheck(doc.m_nViewMode == mode ? 1 : 0);
}

void AlwaysEnabled(const CHalvexDoc&, ICmdUI& cmdUi)
{
    cmdUi.Enable(true);
}

const DocCommand kCommands[] = {
    {ID_VIEW_SIGNAL, {"&View", "Signal"}, "View signal\nSignal", ChooseView<0>, UpdateView<0>},
    {ID_VIEW_MESSAGES,
     {"&View", "Messages"},
     "View decoded messages\nMessages",
     ChooseView<1>,
     UpdateView<1>},
    {ID_VIEW_SATELLITES,
     {"&View", "Satellites"},
     "View current satellite positions\nSats",
     ChooseView<2>,
     UpdateView<2>},
    {ID_VIEW_CHART,
     {"&View", "Chart"},
     "View current satellite positions on a chart\nChart",
     ChooseView<3>,
     UpdateView<3>},
    {ID_VIEW_PASSES,
     {"&View", "Passes"},
     "View the passes of the next 24 hours\nPasses",
     ChooseView<4>,
     UpdateView<4>},

    {ID_PROCESS_START,
     {"Process", "Start"},
     "Start processing\nStart",
     [](CHalvexDoc& doc) { doc.OnProcessStart(); },
     [](const CHalvexDoc& doc, ICmdUI& cmdUi) { cmdUi.Enable(doc.m_bRunning == 0); }},
    {ID_PROCESS_STOP,
     {"Process", "Stop"},
     "Stop processing\nStop",
     [](CHalvexDoc& doc) { doc.OnProcessStop(); },
     [](const CHalvexDoc& doc, ICmdUI& cmdUi) { cmdUi.Enable(doc.m_bRunning != 0); }},

    {ID_OPTIONS_MIXER,
     {"Options", "Audio", "Mixer"},
     "Open the audio mixer",
     [](CHalvexDoc& doc) { doc.OnOptionsMixer(); },
     AlwaysEnabled},
    {ID_SOURCE_AUTOMATIC,
     {"Options", "Audio", "Source", "Automatic"},
     "Use the default sound card",
     ChooseSource<0>,
     UpdateSourceK<0>},
    {ID_SOURCE_SOUNDCARD1,
     {"Options", "Audio", "Source", "Soundcard1"},
     "Use soundcard 1",
     ChooseSource<1>,
     UpdateSourceK<1>},
    {ID_SOURCE_SOUNDCARD2,
     {"Options", "Audio", "Source", "Soundcard2"},
     "Use soundcard 2",
     ChooseSource<2>,
     UpdateSourceK<2>},
    {ID_SOURCE_SOUNDCARD3,
     {"Options", "Audio", "Source", "Soundcard3"},
     "Use soundcard 3",
     ChooseSource<3>,
     UpdateSourceK<3>},
    {ID_SOURCE_SOUNDCARD4,
     {"Options", "Audio", "Source", "Soundcard4"},
     "Use soundcard 4",
     ChooseSource<4>,
     UpdateSourceK<4>},
    {ID_DIRECTORIES_LOGFILES,
     {"Options", "Directories", "Log files"},
     "Specify the directory for log files",
     [](CHalvexDoc& doc) { doc.OnDirectoriesLogFiles(); },
     AlwaysEnabled},
    {ID_DECODER_REQUIRECRC,
     {"Options", "Decoder", "Require CRC"},
     "Only display and log messages with a valid CRC",
     [](CHalvexDoc& doc) { doc.m_messages.m_bRequireCrc = !doc.m_messages.m_bRequireCrc; },
     [](const CHalvexDoc& doc, ICmdUI& cmdUi) { cmdUi.SetCheck(doc.m_messages.m_bRequireCrc != 0 ? 1 : 0); }},
    {ID_DECODER_EXPANDMESSAGES,
     {"Options", "Decoder", "Expand messages"},
     "Expand the decoded hex messages",
     [](CHalvexDoc& doc) { doc.m_messages.m_bExpandMsgs = !doc.m_messages.m_bExpandMsgs; },
     [](const CHalvexDoc& doc, ICmdUI& cmdUi) { cmdUi.SetCheck(doc.m_messages.m_bExpandMsgs != 0 ? 1 : 0); }},
    {ID_DECODER_WEAKSIGNALS,
     {"Options", "Decoder", "Weak signals"},
     "Also decode weak and drifting signals with a second receiver",
     [](CHalvexDoc& doc) { doc.m_bWeakSignals = !doc.m_bWeakSignals; },
     [](const CHalvexDoc& doc, ICmdUI& cmdUi) { cmdUi.SetCheck(doc.m_bWeakSignals != 0 ? 1 : 0); }},
    {ID_OPTIONS_HOMELOCATION,
     {"Options", "Home location"},
     "Specify your home location",
     [](CHalvexDoc& doc) { doc.OnOptionsHomeLocation(); },
     nullptr},
    {ID_OPTIONS_STATIONNETWORK,
     {"Options", "Station network..."},
     "Specify the broker and the station name for publishing the decoded messages",
     [](CHalvexDoc& doc) { doc.OnOptionsStationNetwork(); },
     nullptr},
};

}  // namespace

std::span<const DocCommand> DocCommands()
{
    return kCommands;
}

const DocCommand* FindDocCommand(int nId)
{
    for (const DocCommand& command : kCommands)
        if (command.nId == nId)
            return &command;
    return nullptr;
}

std::string PromptStatusText(const char* pszPrompt)
{
    const char* nl = std::strchr(pszPrompt, '\n');
    return nl ? std::string(pszPrompt, nl) : std::string(pszPrompt);
}

std::string PromptToolTip(const char* pszPrompt)
{
    const char* nl = std::strchr(pszPrompt, '\n');
    return nl ? std::string(nl + 1) : std::string();
}
