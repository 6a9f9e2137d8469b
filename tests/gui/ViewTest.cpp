// The view's paint frame and printing picture.
#include <wx/image.h>

#include "MainWindowFixture.h"
#include "orbit/Passes.h"
#include "platform/Clock.h"

namespace {

int CountPixelsNot(const wxImage& image, unsigned char r, unsigned char g, unsigned char b)
{
    int n = 0;
    const unsigned char* p = image.GetData();
    for (int i = 0; i < image.GetWidth() * image.GetHeight(); ++i, p += 3)
        n += (p[0] != r || p[1] != g || p[2] != b) ? 1 : 0;
    return n;
}

}  // namespace

TEST_F(MainWindowTest, UnknownModeShowsPlainLightBlueAtAnySize)
{
    Open();
    Doc().m_nViewMode = 7;
    for (wxSize size : {wxSize(1, 1), wxSize(320, 200), wxSize(900, 700)}) {
        wxBitmap picture = View()->RenderPicture(size);
        ASSERT_TRUE(picture.IsOk());
        EXPECT_EQ(picture.GetSize(), size);
        EXPECT_EQ(CountPixelsNot(picture.ConvertToImage(), 200, 200, 255), 0);
    }
    EXPECT_FALSE(View()->RenderPicture(wxSize(0, 100)).IsOk());
    EXPECT_EQ(View()->GetBackgroundStyle(), wxBG_STYLE_PAINT);
}

TEST_F(MainWindowTest, EveryModeDrawsOnTheLightBlueAndLeavesTheFarCornerAlone)
{
    Open();
    for (int mode = 0; mode < 5; ++mode) {
        SCOPED_TRACE(mode);
        Doc().m_nViewMode = mode;
        wxImage image = View()->RenderPicture(wxSize(1400, 1000)).ConvertToImage();
        // Far beyond every mode's drawing the background shows.
        EXPECT_EQ(image.GetRed(1399, 999), 200);
        EXPECT_EQ(image.GetGreen(1399, 999), 200);
        EXPECT_EQ(image.GetBlue(1399, 999), 255);
    }
}

TEST_F(MainWindowTest, TheViewFillsTheClientArea)
{
    Open();
    Frame()->SetClientSize(640, 480);
    PumpEvents(50);
    EXPECT_EQ(View()->GetSize(), Frame()->GetClientSize());
}

TEST_F(MainWindowTest, PassesModeDrawsATitleAndOneRowPerPassAndKeepsItsList)
{
    Open();
    const int64_t now = Doc().Clock().Now();
    Doc().m_table.m_nEqx[8] = static_cast<int32_t>(now - 5000);
    Doc().m_table.m_dEql[8] = 17.9;
    Doc().m_table.m_dPer[8] = 6122.5;
    Doc().m_table.m_dInc[8] = 99.05;
    Doc().m_dHomeLat = 69.65;  // far north: a pass at almost every orbit
    Doc().m_dHomeLon = 18.96;
    Doc().m_nViewMode = 4;
    const size_t passes = FindPasses(Doc().m_table, 69.65, 18.96, now, 86400, 0.0).size();
    ASSERT_GT(passes, 8u);

    const wxImage image = View()->RenderPicture(wxSize(1000, 15 * 40)).ConvertToImage();
    size_t rows = 0;
    for (int band = 0; band < 40; ++band) {
        bool bInk = false;
        for (int y = band * 15; y < band * 15 + 15 && !bInk; ++y)
            for (int x = 0; x < 1000 && !bInk; ++x)
                bInk = image.GetRed(x, y) != 200 || image.GetGreen(x, y) != 200 || image.GetBlue(x, y) != 255;
        if (bInk)
            rows = static_cast<size_t>(band) + 1;
    }
    EXPECT_EQ(passes + 1, rows);
    EXPECT_EQ(1, View()->PassSchedule().FullSearches());
    View()->RenderPicture(wxSize(100, 100));
    EXPECT_EQ(1, View()->PassSchedule().FullSearches()) << "a redraw keeps the list";
    Doc().m_dHomeLat = -42.88;  // a new home
    View()->RenderPicture(wxSize(100, 100));
    EXPECT_EQ(2, View()->PassSchedule().FullSearches());
}
