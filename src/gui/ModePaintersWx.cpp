#include "gui/ModePaintersWx.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include "document/HalvexDoc.h"
#include "messages/Interpretation.h"
#include "messages/MessageStore.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "view/ChartView.h"
#include "view/MessagesView.h"
#include "view/PassesView.h"
#include "view/SatellitesView.h"
#include "view/SignalView.h"
#include "view/WorldChart.h"

namespace {

const wxColour kLightBlue(200, 200, 255);

// Text is code page 1252 everywhere but on the screen.
wxString ScreenText(const std::string& text)
{
    return wxString::FromUTF8(Cp1252ToUtf8(text));
}

// The two table modes: 10-point "Courier New" (Liberation Mono on Debian),
// black on the opaque light-blue background.
void DrawTableRows(wxDC& dc, const std::vector<ViewText>& rows)
{
    wxDCFontChanger font(dc, wxFont(wxFontInfo(10).FaceName("Courier New")));
    dc.SetTextForeground(*wxBLACK);
    dc.SetTextBackground(kLightBlue);
    dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
    // Rows below the bitmap would be clipped whole; laying out their text
    // is most of this mode's time.
    const int height = dc.GetSize().GetHeight();
    for (const ViewText& row : rows) {
        if (height > 0 && row.y >= height)
            break;
        dc.DrawText(ScreenText(row.strText), row.x, row.y);
    }
}

// Lines and ellipses in whole pixels of their own colour, as the chart
// wants them: a smoothed 1-pixel red outline would be pink on yellow.
class CCrispDrawing
{
public:
    explicit CCrispDrawing(wxDC& dc) : m_pGc(dc.GetGraphicsContext())
    {
        if (m_pGc) {
            m_previous = m_pGc->GetAntialiasMode();
            m_pGc->SetAntialiasMode(wxANTIALIAS_NONE);
        }
    }
    ~CCrispDrawing()
    {
        if (m_pGc)
            m_pGc->SetAntialiasMode(m_previous);
    }
    CCrispDrawing(const CCrispDrawing&) = delete;
    CCrispDrawing& operator=(const CCrispDrawing&) = delete;

private:
    wxGraphicsContext* m_pGc;
    wxAntialiasMode m_previous = wxANTIALIAS_DEFAULT;
};

}  // namespace

void PaintSignalMode(wxDC& dc, CHalvexDoc& doc)
{
    const SignalPicture picture = ComputeSignalPicture(doc.m_decoder.m_nSampleRing);

    {
        wxDCPenChanger noPen(dc, *wxTRANSPARENT_PEN);
        wxDCBrushChanger black(dc, *wxBLACK_BRUSH);
        dc.DrawRectangle(0, 0, SignalPicture::kPanelWidth, SignalPicture::kPanelHeight);
    }
    {
        CCrispDrawing crisp(dc);
        wxDCPenChanger green(dc, wxPen(wxColour(0, 255, 0), 3));
        dc.DrawLine(picture.zeroLineFrom.x, picture.zeroLineFrom.y, picture.zeroLineTo.x,
                    picture.zeroLineTo.y);
        wxPoint points[SignalPicture::kPoints];
        for (int j = 0; j < SignalPicture::kPoints; ++j)
            points[j] = wxPoint(picture.trace[j].x, picture.trace[j].y);
        dc.DrawLines(SignalPicture::kPoints, points);
    }

    wxDCFontChanger font(dc, *wxNORMAL_FONT);
    dc.SetTextForeground(*wxBLACK);
    dc.SetTextBackground(kLightBlue);
    dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
    for (const ViewText& text : picture.advice)
        dc.DrawText(ScreenText(text.strText), text.x, text.y);
}

void PaintMessagesMode(wxDC& dc, CHalvexDoc& doc)
{
    DrawTableRows(dc, ComputeMessageRows(doc.m_messages.m_strMessages, CMessageStore::kRingSlots,
                                         doc.m_messages.m_nMessageIndex));
}

void PaintSatellitesMode(wxDC& dc, CHalvexDoc& doc)
{
    DrawTableRows(dc, ComputeSatelliteTexts(doc.m_table, doc.m_dHomeLat, doc.m_dHomeLon, doc.Clock()));
}

namespace {

const wxColour kDotOutline(255, 0, 0);
const wxColour kDotFill(255, 255, 0);

// One pixel as a 1 x 1 fill: a point or an ellipse drawn with a pen may be
// smoothed over its neighbours, and GTK's ellipse with a pen covers one
// pixel more each way than its size.
void FillPixel(wxDC& dc, int x, int y, const wxColour& colour)
{
    wxDCPenChanger noPen(dc, *wxTRANSPARENT_PEN);
    wxDCBrushChanger fill(dc, wxBrush(colour));
    dc.DrawRectangle(x, y, 1, 1);
}

void DrawDot(wxDC& dc, const std::vector<DotPixel>& pixels)
{
    for (const DotPixel& pixel : pixels)
        FillPixel(dc, pixel.x, pixel.y, pixel.bOutline ? kDotOutline : kDotFill);
}

}  // namespace

void PaintChartMode(wxDC& dc, CHalvexDoc& doc, CWorldChart& chart)
{
    const std::vector<ChartMarker> markers = RenderChartForDocument(doc, chart);

    // The whole raster in one call; pixel by pixel would take a hundred
    // times longer.
    {
        wxImage image(CWorldChart::kSize, CWorldChart::kSize, chart.Raster(), true);
        dc.DrawBitmap(wxBitmap(image, 24), 0, 0, false);
    }

    CCrispDrawing crisp(dc);
    wxDCFontChanger font(dc, *wxNORMAL_FONT);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(wxColour(255, 255, 100));
    for (const ChartMarker& marker : markers) {
        DrawDot(dc, ComputeDotPixels(marker.x - 2, marker.y - 2, kMarkerDotSize));
        const wxString name = ScreenText(marker.strName);
        const int w = dc.GetTextExtent(name).GetWidth();
        dc.DrawText(name, marker.x - w - 6, marker.y - 6);
    }

    DrawDot(dc, ComputeDotPixels(kHomeMarkerLeft, kHomeMarkerLeft, kHomeMarkerRight - kHomeMarkerLeft));
    FillPixel(dc, kChartCentre, kChartCentre, kDotOutline);
}

int WidestMessagesRow(wxDC& dc)
{
    wxDCFontChanger font(dc, wxFont(wxFontInfo(10).FaceName("Courier New")));
    const std::vector<uint8_t> frame(46, 0xDB);
    FrameVerdict verdict;
    verdict.wComputed = 0xDBDB;
    const int64_t lateIn2009 = 1261871999;  // 2009-12-26 23:59:59, wide digits
    OrbitElements elements;
    elements.nCode = 10;
    elements.nEqxTime = lateIn2009;
    elements.dEql = 359.999;
    elements.dDl = -25.999;
    elements.dPerMin = 102.999;
    elements.dA = 7229.999;
    elements.dARate = -25.5;
    elements.dInc = 98.99999;
    int widest = 0;
    for (const std::string& text :
         {CMessageStore::FormatMessageLine(frame.data(), static_cast<int>(frame.size()), verdict, lateIn2009),
          FormatOrbitBulletin(elements)})
        widest = std::max(widest, dc.GetTextExtent(ScreenText(text)).GetWidth());
    return widest;
}

void PaintPassesMode(wxDC& dc, CHalvexDoc& doc, CPassSchedule& schedule)
{
    const int64_t now = doc.Clock().Now();
    DrawTableRows(dc,
                  ComputePassTexts(schedule.Update(doc.m_table, doc.m_dHomeLat, doc.m_dHomeLon, now), now));
}
