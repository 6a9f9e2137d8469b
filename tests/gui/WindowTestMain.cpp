// Test main of the window tests: wx is started once (under a private X
// server), the tests run inside it, and every wx assertion fails the test
// that caused it. Listing the tests needs no display.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/string.h>

#include "gui/HalvexApp.h"

namespace {

class CTestApp : public CHalvexApp
{
public:
    // The windows are made by the tests themselves.
    bool OnInit() override { return true; }

    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override
    {
        ADD_FAILURE() << "wx assertion failed: " << wxString(cond) << " (" << wxString(msg) << ") in "
                      << wxString(func) << " at " << wxString(file) << ":" << line;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    wxApp::SetInstance(new CTestApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "window tests: wx could not start (no display?)\n");
        return 1;
    }
    if (!wxTheApp->CallOnInit()) {
        wxEntryCleanup();
        return 1;
    }
    const int rc = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
