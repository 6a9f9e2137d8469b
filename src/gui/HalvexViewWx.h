#pragma once
// The program's only view: a child window filling the main frame's client
// area. Every paint draws the whole picture of the current mode into an
// off-screen bitmap and copies it to the window in one block; redraw requests
// only invalidate, without erasing, so the periodic redraws do not flicker.
// It also carries the window timers that a capture run sets.
#include <map>
#include <memory>
#include <string>

#include <wx/bitmap.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "view/PassesView.h"
#include "view/WorldChart.h"

class CHalvexDoc;

class CHalvexView : public wxWindow
{
public:
    static const wxColour& BackgroundColour();

    // Reads the land mask from strGlobePath; a file that cannot be opened is
    // reported once, in a message box, and the chart shows only sea.
    CHalvexView(wxWindow* pParent, CHalvexDoc& doc, const std::string& strGlobePath);
    ~CHalvexView() override;

    // The picture of the current mode at the given size, as the window shows
    // it (printing uses it too). An empty size gives an invalid bitmap.
    wxBitmap RenderPicture(const wxSize& size);

    // A redraw request: invalidate everything, erase nothing.
    void OnUpdate();

    // Window timers; SetViewTimer returns id, or 0 when the timer could not
    // be started. Setting an id that runs restarts it with the new period.
    unsigned SetViewTimer(unsigned id, unsigned periodMs);
    void KillViewTimer(unsigned id);
    bool HasViewTimer(unsigned id) const;
    int ViewTimerInterval(unsigned id) const;  // -1 when there is no such timer

    // The timer dispatch: the refresh timer redraws, the poll timer polls the
    // capture; both tests are made on every tick, any other id does nothing.
    void OnTimerId(unsigned id);

    CWorldChart& Chart() { return *m_pChart; }
    CPassSchedule& PassSchedule() { return *m_pPasses; }
    bool GlobeLoaded() const { return m_bGlobeLoaded; }
    CHalvexDoc& Document() { return m_doc; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);

    CHalvexDoc& m_doc;
    std::unique_ptr<CWorldChart> m_pChart;     // about 2 MB: kept off the stack
    std::unique_ptr<CPassSchedule> m_pPasses;  // the passes mode's list, kept between drawings
    bool m_bGlobeLoaded = false;
    std::map<unsigned, std::unique_ptr<wxTimer>> m_timers;
};
