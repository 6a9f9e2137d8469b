#pragma once
// What the document needs from the user interface. The desktop program
// implements it with windows; tests and the command-line programs fake it.
// All texts are code page 1252.
#include <string>

class IDocUi
{
public:
    virtual ~IDocUi() = default;

    // A message box with an OK button, captioned with the application's title.
    virtual void ShowMessage(const std::string& text) = 0;
    // The Home location dialog, its two fields preset; true when closed with OK
    // (the fields then hold what the user typed).
    virtual bool RunHomeLocationDialog(std::string& strLatitude, std::string& strLongitude) = 0;
    // The folder chooser, opened at startPath; true and the chosen path on OK.
    virtual bool BrowseForFolder(const std::string& title, const std::string& startPath,
                                 std::string& chosenPath) = 0;
    // The Station network dialog, its broker URL and station name preset; true
    // when closed with OK. Without one (no windows) it is cancelled.
    virtual bool RunStationNetworkDialog(std::string& /*strUrl*/, std::string& /*strStation*/)
    {
        return false;
    }
    virtual void SetMainWindowTitle(const std::string& title) = 0;
    // Window timers on the first view; SetViewTimer returns the timer's id
    // (0 when it could not be set).
    virtual unsigned SetViewTimer(unsigned id, unsigned periodMs) = 0;
    virtual void KillViewTimer(unsigned id) = 0;
    // Invalidate every view (the redraw comes at the next paint).
    virtual void UpdateAllViews() = 0;
};

// Command-state object handed to update handlers: they only enable, check or
// rename their item.
class ICmdUI
{
public:
    virtual ~ICmdUI() = default;
    virtual void Enable(bool bOn) = 0;
    virtual void SetCheck(int nCheck) = 0;
    virtual void SetText(const std::string& text) = 0;
};
