// The view's paint frame and printing picture.
#include <wx/image.h>

#include "MainWindowFixture.h"

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
    for (int mode = 0; mode < 4; ++mode) {
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
