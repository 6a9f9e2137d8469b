// Paint times of the view modes into an off-screen bitmap the size of a
// typical window, as the view's paint does them. Needs a display:
//   xvfb-run -a build/bin/bench_viewWx
// Goals: a chart paint from the cache under 15 ms, with a rebuild of the
// cache under 80 ms; the other modes under 5 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/stdpaths.h>

#include "document/HalvexDoc.h"
#include "gui/ModePaintersWx.h"
#include "platform/Clock.h"
#include "support/FakeDocUi.h"
#include "support/TestDoc.h"
#include "view/PassesView.h"
#include "view/WorldChart.h"

namespace {

constexpr int64_t kNow = 1718971200;  // 2024-06-21 12:00:00 UTC

struct Scene
{
    FakeDocUi ui;
    CManualClock clock{kNow};
    std::unique_ptr<CHalvexDoc> doc;
    std::unique_ptr<CWorldChart> chart = std::make_unique<CWorldChart>();
    wxBitmap bitmap{800, 600, 24};

    Scene()
    {
        doc = std::make_unique<CHalvexDoc>(
            DetachedDocEnvironment(ui, clock, wxFileName::GetTempDir().ToStdString()));
        doc->m_dHomeLat = 51.5;
        doc->m_dHomeLon = -0.12;
        const int codes[] = {5, 6, 7, 8, 10, 12};
        for (int i = 0; i < 6; ++i) {
            const int code = codes[i];
            doc->m_table.m_nEqx[code] = static_cast<int32_t>(kNow - 600 * i);
            doc->m_table.m_dEql[code] = 350.0 + 7.0 * i;
            doc->m_table.m_dPer[code] = 6090.0;
            doc->m_table.m_dInc[code] = 98.7;
        }
        for (int i = 0; i < CMessageStore::kRingSlots; ++i)
            doc->m_messages.m_strMessages[i] =
                "0123456 789 ABCDEF0123456789ABCDEF0123456789ABCDEF01234567 [15E7] 2024-06-21 12:00:00";
        for (int j = 0; j < 100; ++j)
            doc->m_decoder.m_nSampleRing[j] = (j * 37) % 200 - 100;
        const wxString dir = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
        chart->LoadGlobe((dir + "/globe.dat").ToStdString());
    }

    template <class Paint>
    void Run(benchmark::State& state, Paint paint)
    {
        wxMemoryDC dc(bitmap);
        for (auto _ : state) {
            dc.SetBackground(wxBrush(wxColour(200, 200, 255)));
            dc.Clear();
            paint(dc);
        }
        dc.SelectObject(wxNullBitmap);
    }
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

void BM_ChartFromCache(benchmark::State& state)
{
    Scene& s = TheScene();
    s.doc->m_bRecomputeChart = 1;
    s.Run(state, [&](wxDC& dc) { PaintChartMode(dc, *s.doc, *s.chart); });
}
BENCHMARK(BM_ChartFromCache)->Unit(benchmark::kMillisecond);

void BM_ChartWithRebuild(benchmark::State& state)
{
    Scene& s = TheScene();
    s.Run(state, [&](wxDC& dc) {
        s.doc->m_bRecomputeChart = 1;
        PaintChartMode(dc, *s.doc, *s.chart);
    });
}
BENCHMARK(BM_ChartWithRebuild)->Unit(benchmark::kMillisecond);

void BM_Signal(benchmark::State& state)
{
    Scene& s = TheScene();
    s.Run(state, [&](wxDC& dc) { PaintSignalMode(dc, *s.doc); });
}
BENCHMARK(BM_Signal)->Unit(benchmark::kMillisecond);

void BM_Messages(benchmark::State& state)
{
    Scene& s = TheScene();
    s.Run(state, [&](wxDC& dc) { PaintMessagesMode(dc, *s.doc); });
}
BENCHMARK(BM_Messages)->Unit(benchmark::kMillisecond);

void BM_Satellites(benchmark::State& state)
{
    Scene& s = TheScene();
    s.Run(state, [&](wxDC& dc) { PaintSatellitesMode(dc, *s.doc); });
}
BENCHMARK(BM_Satellites)->Unit(benchmark::kMillisecond);

// The passes mode at a redraw tick: the kept list, ended passes dropped and
// two more seconds searched.
void BM_PassesTick(benchmark::State& state)
{
    Scene& s = TheScene();
    CPassSchedule schedule;
    s.Run(state, [&](wxDC& dc) {
        s.clock.Advance(2);
        PaintPassesMode(dc, *s.doc, schedule);
    });
    s.clock.Set(kNow);
}
BENCHMARK(BM_PassesTick)->Unit(benchmark::kMillisecond);

// The first drawing, or one after new elements: the whole day searched.
void BM_PassesSearch(benchmark::State& state)
{
    Scene& s = TheScene();
    s.Run(state, [&](wxDC& dc) {
        CPassSchedule schedule;
        PaintPassesMode(dc, *s.doc, schedule);
    });
}
BENCHMARK(BM_PassesSearch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fputs("bench_viewWx: no display (run it under xvfb-run -a)\n", stderr);
        return 1;
    }
    wxTheApp->CallOnInit();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
