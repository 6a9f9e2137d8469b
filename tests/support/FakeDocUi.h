#pragma once
// A user interface for tests: records what the document shows and asks, and
// answers its dialogs from a script. Header-only so any test binary can use it.
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "document/DocUi.h"

class FakeDocUi : public IDocUi
{
public:
    struct HomeAnswer
    {
        bool bOk = false;
        std::string strLatitude;
        std::string strLongitude;
    };
    struct FolderAnswer
    {
        bool bOk = false;
        std::string strPath;
    };
    struct TimerCall
    {
        unsigned id;
        unsigned periodMs;
    };

    // --- What the document did ---------------------------------------------
    std::vector<std::string> messages;
    std::vector<std::string> titles;
    std::vector<TimerCall> timersSet;
    std::vector<unsigned> timersKilled;
    std::map<unsigned, unsigned> activeTimers;  // id -> period
    int nUpdateAllViews = 0;
    // Presets the Home location dialog was opened with, one pair per call.
    std::vector<std::pair<std::string, std::string>> homeDialogPresets;
    struct FolderRequest
    {
        std::string strTitle;
        std::string strStart;
    };
    std::vector<FolderRequest> folderRequests;

    // Presets the Station network dialog was opened with (URL, station).
    std::vector<std::pair<std::string, std::string>> stationDialogPresets;

    // --- Scripted answers (an empty script cancels) ----------------------------
    std::deque<HomeAnswer> homeAnswers;
    std::deque<FolderAnswer> folderAnswers;
    std::deque<std::pair<std::string, std::string>> stationAnswers;  // OK with URL, station
    // When set, SetViewTimer fails (returns 0) for this id.
    unsigned nFailTimerId = 0;

    void AnswerHomeDialog(const std::string& lat, const std::string& lon)
    {
        homeAnswers.push_back({true, lat, lon});
    }
    void CancelHomeDialog() { homeAnswers.push_back({false, {}, {}}); }
    void AnswerFolder(const std::string& path) { folderAnswers.push_back({true, path}); }
    void CancelFolder() { folderAnswers.push_back({false, {}}); }

    std::string LastTitle() const { return titles.empty() ? std::string() : titles.back(); }

    // --- IDocUi ------------------------------------------------------------
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    bool RunHomeLocationDialog(std::string& strLatitude, std::string& strLongitude) override
    {
        homeDialogPresets.emplace_back(strLatitude, strLongitude);
        if (homeAnswers.empty())
            return false;
        HomeAnswer answer = homeAnswers.front();
        homeAnswers.pop_front();
        if (!answer.bOk)
            return false;
        strLatitude = answer.strLatitude;
        strLongitude = answer.strLongitude;
        return true;
    }

    bool BrowseForFolder(const std::string& title, const std::string& startPath,
                         std::string& chosenPath) override
    {
        folderRequests.push_back({title, startPath});
        if (folderAnswers.empty())
            return false;
        FolderAnswer answer = folderAnswers.front();
        folderAnswers.pop_front();
        if (!answer.bOk)
            return false;
        chosenPath = answer.strPath;
        return true;
    }

    bool RunStationNetworkDialog(std::string& strUrl, std::string& strStation) override
    {
        stationDialogPresets.emplace_back(strUrl, strStation);
        if (stationAnswers.empty())
            return false;
        std::tie(strUrl, strStation) = stationAnswers.front();
        stationAnswers.pop_front();
        return true;
    }

    void SetMainWindowTitle(const std::string& title) override { titles.push_back(title); }

    unsigned SetViewTimer(unsigned id, unsigned periodMs) override
    {
        timersSet.push_back({id, periodMs});
        if (id == nFailTimerId && id != 0)
            return 0;
        activeTimers[id] = periodMs;
        return id;
    }

    void KillViewTimer(unsigned id) override
    {
        timersKilled.push_back(id);
        activeTimers.erase(id);
    }

    void UpdateAllViews() override { ++nUpdateAllViews; }
};

// The command-state object of one menu item, recording what the update rule did.
class FakeCmdUI : public ICmdUI
{
public:
    bool bEnableCalled = false;
    bool bEnabled = true;
    bool bCheckCalled = false;
    int nCheck = 0;
    bool bTextCalled = false;
    std::string strText;
    int nCalls = 0;

    void Enable(bool bOn) override
    {
        bEnableCalled = true;
        bEnabled = bOn;
        ++nCalls;
    }
    void SetCheck(int check) override
    {
        bCheckCalled = true;
        nCheck = check;
        ++nCalls;
    }
    void SetText(const std::string& text) override
    {
        bTextCalled = true;
        strText = text;
        ++nCalls;
    }
};
