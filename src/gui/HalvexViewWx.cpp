#include "gui/HalvexViewWx.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/msgdlg.h>
#include <wx/pen.h>

#include "document/HalvexDoc.h"
#include "gui/ModePaintersWx.h"

const wxColour& CHalvexView::BackgroundColour()
{
    static const wxColour colour(200, 200, 255);
    return colour;
}

CHalvexView::CHalvexView(wxWindow* pParent, CHalvexDoc& doc, const std::string& strGlobePath)
    : m_doc(doc), m_pChart(std::make_unique<CWorldChart>()), m_pPasses(std::make_unique<CPassSchedule>())
{
    // The paint covers every pixel, so the system must not erase first.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(pParent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE | wxWANTS_CHARS);
    SetBackgroundColour(BackgroundColour());

    Bind(wxEVT_PAINT, &CHalvexView::OnPaint, this);
    Bind(wxEVT_TIMER, &CHalvexView::OnTimer, this);

    m_bGlobeLoaded = m_pChart->LoadGlobe(strGlobePath);
    if (!m_bGlobeLoaded)
        wxMessageBox("The file globe.dat could not be opened", "Halvex", wxOK);
}

CHalvexView::~CHalvexView()
{
    for (auto& entry : m_timers)
        entry.second->Stop();
}

wxBitmap CHalvexView::RenderPicture(const wxSize& size)
{
    const int w = size.GetWidth();
    const int h = size.GetHeight();
    if (w <= 0 || h <= 0)
        return wxBitmap();

    wxBitmap bitmap(w, h, 24);
    {
        wxMemoryDC mem(bitmap);
        mem.SetBrush(wxBrush(BackgroundColour()));
        mem.SetPen(*wxTRANSPARENT_PEN);
        mem.DrawRectangle(0, 0, w, h);
        mem.SetBrush(*wxWHITE_BRUSH);
        mem.SetPen(*wxBLACK_PEN);
        // Text drawn by a mode sits on the same light blue unless the mode
        // says otherwise.
        mem.SetBackground(wxBrush(BackgroundColour()));
        mem.SetTextBackground(BackgroundColour());
        mem.SetTextForeground(*wxBLACK);
        mem.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
        mem.SetFont(*wxNORMAL_FONT);

        switch (m_doc.m_nViewMode) {
            case 0: {
                // The raw signal is traced with a broad green pen.
                wxPen pen(wxColour(0, 255, 0), 3);
                mem.SetPen(pen);
                PaintSignalMode(mem, m_doc);
                mem.SetPen(*wxBLACK_PEN);
                break;
            }
            case 1:
                PaintMessagesMode(mem, m_doc);
                break;
            case 2:
                PaintSatellitesMode(mem, m_doc);
                break;
            case 3:
                PaintChartMode(mem, m_doc, *m_pChart);
                break;
            case 4:
                PaintPassesMode(mem, m_doc, *m_pPasses);
                break;
            default:
                break;  // an unknown mode shows the plain background
        }
        mem.SelectObject(wxNullBitmap);
    }
    return bitmap;
}

void CHalvexView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    wxBitmap bitmap = RenderPicture(size);
    if (!bitmap.IsOk())
        return;
    wxMemoryDC mem(bitmap);
    dc.Blit(0, 0, size.GetWidth(), size.GetHeight(), &mem, 0, 0, wxCOPY);
}

void CHalvexView::OnUpdate()
{
    Refresh(false);
}

unsigned CHalvexView::SetViewTimer(unsigned id, unsigned periodMs)
{
    if (id == 0)
        return 0;
    std::unique_ptr<wxTimer>& timer = m_timers[id];
    if (!timer)
        timer = std::make_unique<wxTimer>(this, static_cast<int>(id));
    return timer->Start(static_cast<int>(periodMs)) ? id : 0;
}

void CHalvexView::KillViewTimer(unsigned id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    // Stopped, not deleted: a timer may be killed from inside its own tick.
    it->second->Stop();
}

bool CHalvexView::HasViewTimer(unsigned id) const
{
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->IsRunning();
}

int CHalvexView::ViewTimerInterval(unsigned id) const
{
    auto it = m_timers.find(id);
    return it == m_timers.end() ? -1 : it->second->GetInterval();
}

void CHalvexView::OnTimerId(unsigned id)
{
    if (id == m_doc.m_nRefreshTimer)
        m_doc.UpdateAllViews();
    if (id == m_doc.m_nPollTimer)
        m_doc.PollCapture();
}

void CHalvexView::OnTimer(wxTimerEvent& event)
{
    OnTimerId(static_cast<unsigned>(event.GetId()));
    event.Skip();
}
