// The four modes drawn by their painters into an off-screen bitmap set up as
// the view's paint sets it up, and checked at the pixels. Needs a display.
//
// With HALVEX_SCREENSHOT_DIR set, each test also saves its picture there as
// PNG (signal.png, messages.png, satellites.png, chart.png ...).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/image.h>
#include <wx/imagpng.h>

#include "document/HalvexDoc.h"
#include "gui/ModePaintersWx.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "support/FakeDocUi.h"
#include "support/TestDoc.h"
#include "view/WorldChart.h"

namespace {

const wxColour kLightBlue(200, 200, 255);
constexpr int64_t kJuneNoonUtc = 1718971200;  // 2024-06-21 12:00:00 UTC

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "RGB(" << c.r << "," << c.g << "," << c.b << ")";
}

const Rgb kBlue{200, 200, 255};

class Picture
{
public:
    explicit Picture(const wxImage& image) : m_image(image) {}
    Rgb At(int x, int y) const
    {
        return Rgb{m_image.GetRed(x, y), m_image.GetGreen(x, y), m_image.GetBlue(x, y)};
    }
    // Pixels in [x0, x1) x [y0, y1) that are not the light-blue background.
    int CountNotBackground(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += !(At(x, y) == kBlue);
        return n;
    }
    int Count(int x0, int y0, int x1, int y1, const Rgb& c) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += At(x, y) == c;
        return n;
    }
    // Rightmost column in the band holding a pixel that is not background.
    int RightmostInk(int y0, int y1) const
    {
        for (int x = m_image.GetWidth() - 1; x >= 0; --x)
            for (int y = y0; y < y1; ++y)
                if (!(At(x, y) == kBlue))
                    return x;
        return -1;
    }
    const wxImage& Image() const { return m_image; }

private:
    wxImage m_image;
};

class ModePainters : public ::testing::Test
{
protected:
    ModePainters() : m_clock(kJuneNoonUtc)
    {
        m_pDoc = std::make_unique<CHalvexDoc>(DetachedDocEnvironment(m_ui, m_clock, ::testing::TempDir()));
        m_pChart = std::make_unique<CWorldChart>();
        EXPECT_TRUE(m_pChart->LoadGlobe(std::string(HALVEX_SOURCE_DIR) + "/data/globe.dat"));
    }

    // The paint's frame as the view sets it up, then one mode's painter.
    Picture Paint(int mode, const char* shotName, int w = 640, int h = 960)
    {
        wxBitmap bitmap(w, h, 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(wxBrush(kLightBlue));
            dc.Clear();
            dc.SetTextBackground(kLightBlue);
            dc.SetTextForeground(*wxBLACK);
            dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
            dc.SetFont(*wxNORMAL_FONT);
            switch (mode) {
                case 0:
                    PaintSignalMode(dc, *m_pDoc);
                    break;
                case 1:
                    PaintMessagesMode(dc, *m_pDoc);
                    break;
                case 2:
                    PaintSatellitesMode(dc, *m_pDoc);
                    break;
                case 3:
                    PaintChartMode(dc, *m_pDoc, *m_pChart);
                    break;
                default:
                    break;
            }
            dc.SelectObject(wxNullBitmap);
        }
        wxImage image = bitmap.ConvertToImage();
        if (const char* dir = std::getenv("HALVEX_SCREENSHOT_DIR")) {
            if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
                wxImage::AddHandler(new wxPNGHandler);
            EXPECT_TRUE(image.SaveFile(wxString(dir) + "/" + shotName + ".png", wxBITMAP_TYPE_PNG));
        }
        return Picture(image);
    }

    // Sub-satellite point (latDeg N, lonDeg E) at the clock's time, on a
    // polar orbit (inclination 90: the latitude is the angle from the
    // crossing, and the point stays on the crossing's drifted meridian).
    void PutSatellite(int code, double latDeg, double lonDeg)
    {
        const double period = 6000.0;
        const double t = latDeg / 360.0 * period;
        CSatelliteTable& table = m_pDoc->m_table;
        table.m_nEqx[code] = static_cast<int32_t>(m_clock.Now() - static_cast<int64_t>(t));
        table.m_dEql[code] = lonDeg + static_cast<double>(static_cast<int64_t>(t)) / 240.0;
        table.m_dPer[code] = period;
        table.m_dInc[code] = 90.0;
    }

    FakeDocUi m_ui;
    CManualClock m_clock;
    std::unique_ptr<CHalvexDoc> m_pDoc;
    std::unique_ptr<CWorldChart> m_pChart;
};

TEST_F(ModePainters, SignalPanelZeroLineTraceAndAdvice)
{
    Picture silent = Paint(0, "signal-silent");
    EXPECT_EQ(silent.At(5, 5), (Rgb{0, 0, 0}));
    EXPECT_EQ(silent.At(415, 395), (Rgb{0, 0, 0}));
    EXPECT_EQ(silent.At(200, 200), (Rgb{0, 255, 0}));
    EXPECT_EQ(silent.At(12, 200), (Rgb{0, 255, 0}));
    EXPECT_EQ(silent.At(200, 190), (Rgb{0, 0, 0}));  // a flat trace: nothing off the line
    EXPECT_EQ(silent.At(425, 5), kBlue);             // right of the panel
    EXPECT_EQ(silent.At(5, 402), kBlue);             // below it
    // Both advice lines, one under the other, on the light blue.
    EXPECT_GT(silent.CountNotBackground(10, 410, 400, 424), 50);
    EXPECT_GT(silent.CountNotBackground(10, 425, 500, 440), 50);
    EXPECT_EQ(silent.CountNotBackground(0, 445, 640, 960), 0);
    EXPECT_GT(silent.RightmostInk(425, 440), silent.RightmostInk(410, 424));  // the longer second line

    for (int j = 0; j < 100; ++j)
        m_pDoc->m_decoder.m_nSampleRing[j] = 0;
    m_pDoc->m_decoder.m_nSampleRing[50] = 100;   // spike up at x = 210
    m_pDoc->m_decoder.m_nSampleRing[75] = -128;  // full scale down at x = 310
    Picture spiky = Paint(0, "signal");
    EXPECT_EQ(spiky.At(210, 100), (Rgb{0, 255, 0}));
    EXPECT_EQ(spiky.At(208, 150), (Rgb{0, 255, 0}));  // on the rising stroke (206,200)-(210,100)
    EXPECT_EQ(spiky.At(310, 328), (Rgb{0, 255, 0}));
    EXPECT_EQ(spiky.At(310, 340), (Rgb{0, 0, 0}));
}

TEST_F(ModePainters, MessageRowsNewestFirstFifteenPixelsApart)
{
    EXPECT_EQ(Paint(1, "messages-empty").CountNotBackground(0, 0, 640, 960), 0);

    CMessageStore& store = m_pDoc->m_messages;
    store.m_strMessages[0] = "0123456 789 ABCDEF0123456789ABCDEF [15E7] 2024-06-21 11:58:02";  // oldest, long
    store.m_strMessages[1] = "short";
    store.m_strMessages[2] = "0123456 789 ABCD [0F3C] 2024-06-21 12:00:00";  // newest
    store.m_nMessageIndex = 3;
    Picture pic = Paint(1, "messages");
    EXPECT_GT(pic.CountNotBackground(0, 0, 640, 15), 30);
    EXPECT_GT(pic.CountNotBackground(0, 15, 640, 30), 10);
    EXPECT_GT(pic.CountNotBackground(0, 30, 640, 45), 30);
    EXPECT_EQ(pic.CountNotBackground(0, 45, 640, 960), 0);
    // Row 1 is the short line; row 2 the long, oldest one.
    const int newest = pic.RightmostInk(0, 15);
    const int shortRow = pic.RightmostInk(15, 30);
    const int oldest = pic.RightmostInk(30, 45);
    EXPECT_LT(shortRow, 60);
    EXPECT_GT(newest, 200);
    EXPECT_GT(oldest, newest);
    // Fixed pitch: "short" is 5 of the newest line's 43 characters.
    EXPECT_NEAR(static_cast<double>(shortRow) / newest, 5.0 / 43.0, 0.03);
    // Black text on the opaque light blue: only black, blue and their blends.
    EXPECT_GT(pic.Count(0, 0, 640, 45, Rgb{0, 0, 0}), 20);

    // The 60th row sits at y = 885.
    for (std::string& slot : store.m_strMessages)
        slot.clear();
    store.m_strMessages[3] = "newest";
    store.m_strMessages[4] = "oldest of sixty";
    store.m_nMessageIndex = 4;
    Picture full = Paint(1, "messages-wrapped");
    EXPECT_GT(full.CountNotBackground(0, 0, 640, 15), 10);
    EXPECT_EQ(full.CountNotBackground(0, 15, 640, 885), 0);
    EXPECT_GT(full.CountNotBackground(0, 885, 640, 900), 10);
}

TEST_F(ModePainters, SatellitesExampleRow)
{
    m_pDoc->m_dHomeLat = 52.0;
    m_pDoc->m_dHomeLon = 0.0;
    PutSatellite(8, 60.0, 10.0);
    m_pDoc->m_table.m_dLastGroundDist[8] = 1084.1;
    PutSatellite(12, 40.0, 5.0);
    Picture pic = Paint(2, "satellites");

    // The example row of the table for this state, drawn in the same font at the same place.
    const std::string expected =
        "NOAA-18 lat  60.00\xB0 lon   10.00\xB0 az 031\xB0 alt  30\xB0 range  1413km  +0.7kHz@466MHz";
    wxBitmap reference(640, 30, 24);
    {
        wxMemoryDC dc(reference);
        dc.SetBackground(wxBrush(kLightBlue));
        dc.Clear();
        dc.SetFont(wxFont(wxFontInfo(10).FaceName("Courier New")));
        dc.SetTextForeground(*wxBLACK);
        dc.SetTextBackground(kLightBlue);
        dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
        dc.DrawText(wxString::FromUTF8(Cp1252ToUtf8(expected)), 0, 0);
        dc.SelectObject(wxNullBitmap);
    }
    Picture want(reference.ConvertToImage());
    int differing = 0;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 640; ++x)
            differing += !(pic.At(x, y) == want.At(x, y));
    EXPECT_EQ(differing, 0);
    EXPECT_GT(pic.CountNotBackground(0, 0, 640, 15), 100);
    // NOAA-19 in the next row, nothing below.
    EXPECT_GT(pic.CountNotBackground(0, 15, 640, 30), 100);
    EXPECT_EQ(pic.CountNotBackground(0, 30, 640, 960), 0);
}

TEST_F(ModePainters, ChartDiscSpaceShadingMarkers)
{
    m_pDoc->m_dHomeLat = 51.5;
    m_pDoc->m_dHomeLon = 0.0;
    PutSatellite(8, 45.0, 0.0);     // 6.5 degrees due south: (240, 276)
    PutSatellite(12, 20.0, 100.0);  // far away: not drawn
    Picture day = Paint(3, "chart");
    EXPECT_EQ(m_pDoc->m_bRecomputeChart, 0);

    // Home: red centre inside a yellow dot.
    EXPECT_EQ(day.At(240, 240), (Rgb{255, 0, 0}));
    EXPECT_GT(day.Count(237, 237, 244, 244, Rgb{255, 255, 0}), 4);
    // Space around the disc: black with white stars only.
    int stars = 0;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{480, 0}, std::pair{0, 480}, std::pair{480, 480},
                               std::pair{240, 0}, std::pair{0, 240}, std::pair{5, 5}}) {
        const Rgb c = day.At(x, y);
        EXPECT_TRUE(c == (Rgb{0, 0, 0}) || c == (Rgb{255, 255, 255})) << x << "," << y << " " << c;
    }
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            stars += day.At(x, y) == (Rgb{255, 255, 255});
    EXPECT_LT(stars, 60);
    // Untouched beyond x = 480 and y = 480.
    EXPECT_EQ(day.At(481, 10), kBlue);
    EXPECT_EQ(day.At(600, 470), kBlue);
    EXPECT_EQ(day.At(10, 481), kBlue);
    // The disc: land green over England and France, sea blue in the Atlantic,
    // no red; darker towards the rim.
    const Rgb nearCentre = day.At(250, 232);  // about 51.9 N 1.8 E: East Anglia / North Sea
    EXPECT_EQ(nearCentre.r, 0);
    const Rgb paris = day.At(252, 256);  // 48.6 N 2.3 E
    EXPECT_EQ(paris.r, 0);
    EXPECT_GT(paris.g, 240);
    EXPECT_EQ(paris.b, 0);
    const Rgb atlantic = day.At(130, 240);  // 19.8 degrees west of home
    EXPECT_EQ(atlantic.r, 0);
    EXPECT_EQ(atlantic.g, 0);
    EXPECT_GT(atlantic.b, 200);
    const Rgb rim = day.At(20, 240);  // 220 px out
    EXPECT_EQ(rim.r, 0);
    EXPECT_LT(rim.g + rim.b, atlantic.b);
    EXPECT_GT(rim.g + rim.b, 90);

    // The satellite dot with its name to the left of it.
    EXPECT_EQ(day.At(240, 276), (Rgb{255, 255, 0}));
    EXPECT_GT(day.Count(236, 272, 245, 281, Rgb{255, 0, 0}), 3);
    const Rgb nameColour{255, 255, 100};
    EXPECT_GT(day.Count(150, 266, 235, 286, nameColour), 10);
    EXPECT_EQ(day.Count(236, 260, 400, 300, nameColour), 0);

    // Twelve hours later the home side is in full night: 75 %.
    m_clock.Set(kJuneNoonUtc + 12 * 3600);
    PutSatellite(8, 45.0, 0.0);
    Picture night = Paint(3, "chart-night");
    const Rgb parisNight = night.At(252, 256);
    EXPECT_EQ(parisNight.g, static_cast<int>(paris.g * 0.75));
    const Rgb atlanticNight = night.At(130, 240);
    EXPECT_EQ(atlanticNight.b, static_cast<int>(atlantic.b * 0.75));

    // 06:00 UTC: the Sun stands over 90 E. From home 0 N 0 E the terminator
    // crosses the disc: the east lies in day, the west in night, at the same
    // distance from the centre (same rim darkening).
    m_pDoc->m_dHomeLat = 0.0;
    m_pDoc->m_dHomeLon = 0.0;
    m_pDoc->m_bRecomputeChart = 1;
    m_clock.Set(kJuneNoonUtc - 6 * 3600);
    Picture dawn = Paint(3, "chart-dawn");
    const Rgb east = dawn.At(440, 240);  // 36 E
    const Rgb west = dawn.At(40, 240);   // 36 W
    const int eastLevel = std::max(east.g, east.b);
    const int westLevel = std::max(west.g, west.b);
    EXPECT_EQ(eastLevel, 156);                           // rim darkening at 200 px only
    EXPECT_EQ(westLevel, static_cast<int>(156 * 0.75));  // and full night
}

// Each dot covers exactly its size: red outline, yellow inside, and around it
// only the disc (no red there). GTK's ellipse with a pen drew a pixel more
// each way, which put the home dot's red centre off its middle.
TEST_F(ModePainters, ChartDotsCoverExactlyTheirPixels)
{
    m_pDoc->m_dHomeLat = 51.5;
    m_pDoc->m_dHomeLon = 0.0;
    PutSatellite(8, 45.0, 0.0);  // (240, 276)
    Picture pic = Paint(3, "chart-dots");

    const Rgb red{255, 0, 0};
    const Rgb yellow{255, 255, 0};
    // The pictures, row by row from the top-left corner of the square one
    // pixel larger than the dot each way: R red, Y yellow, . the disc.
    const auto expectDot = [&](int left, int top, const std::vector<std::string>& rows) {
        for (int j = 0; j < static_cast<int>(rows.size()); ++j) {
            for (int i = 0; i < static_cast<int>(rows[j].size()); ++i) {
                const Rgb c = pic.At(left + i, top + j);
                const char want = rows[j][i];
                if (want == 'R')
                    EXPECT_EQ(c, red) << left + i << "," << top + j;
                else if (want == 'Y')
                    EXPECT_EQ(c, yellow) << left + i << "," << top + j;
                else
                    EXPECT_EQ(c.r, 0) << left + i << "," << top + j << " " << c;
            }
        }
    };
    expectDot(237, 273, {".......", "..RRR..", ".RYYYR.", ".RYYYR.", ".RYYYR.", "..RRR..", "......."});
    // Home: 7 pixels from (237, 237), its red centre at (240, 240).
    expectDot(236, 236,
              {".........", "...RRR...", "..RYYYR..", ".RYYYYYR.", ".RYYRYYR.", ".RYYYYYR.", "..RYYYR..",
               "...RRR...", "........."});
}

TEST_F(ModePainters, ChartOfAMissingGlobeIsAllSea)
{
    EXPECT_FALSE(m_pChart->LoadGlobe("/nonexistent/globe.dat"));
    m_pDoc->m_dHomeLat = 23.5;
    m_pDoc->m_dHomeLon = 10.5;  // the Sahara
    Picture pic = Paint(3, "chart-no-globe");
    for (int y = 0; y < 481; y += 2)
        for (int x = 0; x < 481; x += 2) {
            const Rgb c = pic.At(x, y);
            const bool bStar = c == (Rgb{255, 255, 255});
            const bool bMarker = c.r == 255;
            ASSERT_TRUE(bStar || bMarker || c.g == 0) << x << "," << y << " " << c;
        }
}

}  // namespace
