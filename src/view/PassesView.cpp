#include "view/PassesView.h"

#include <algorithm>
#include <cstring>

#include "messages/UtcTime.h"
#include "orbit/PassFormat.h"
#include "orbit/SatelliteRows.h"

bool CPassSchedule::SameInputs(const CSatelliteTable& table, double homeLat, double homeLon) const
{
    // Bytes, not values: a NaN never compares equal to itself.
    return m_bValid && std::memcmp(&homeLat, &m_dHomeLat, sizeof homeLat) == 0 &&
           std::memcmp(&homeLon, &m_dHomeLon, sizeof homeLon) == 0 &&
           std::memcmp(table.m_nEqx, m_table.m_nEqx, sizeof table.m_nEqx) == 0 &&
           std::memcmp(table.m_dEql, m_table.m_dEql, sizeof table.m_dEql) == 0 &&
           std::memcmp(table.m_dPer, m_table.m_dPer, sizeof table.m_dPer) == 0 &&
           std::memcmp(table.m_dInc, m_table.m_dInc, sizeof table.m_dInc) == 0;
}

const std::vector<SatellitePass>& CPassSchedule::Update(const CSatelliteTable& table, double homeLat,
                                                        double homeLon, int64_t now)
{
    const int64_t spanEnd = now + kPassesViewSpan;
    // A clock set back, or moved on by more than the span, is as good as a
    // change of elements: the list would miss the passes between.
    if (!SameInputs(table, homeLat, homeLon) || now < m_nLastNow || now > m_nSpanEnd) {
        m_table = table;
        m_dHomeLat = homeLat;
        m_dHomeLon = homeLon;
        m_bValid = true;
        m_passes = FindPasses(table, homeLat, homeLon, now, kPassesViewSpan, kPassesViewMinElevation);
        m_nSpanEnd = spanEnd;
        m_nLastNow = now;
        ++m_nFullSearches;
        return m_passes;
    }
    m_nLastNow = now;
    std::erase_if(m_passes, [now](const SatellitePass& p) { return p.nLos < now; });
    if (spanEnd > m_nSpanEnd) {
        // Passes under way at the old end were found before; keep only those
        // that begin in the new stretch.
        std::vector<SatellitePass> added =
            FindPasses(table, homeLat, homeLon, m_nSpanEnd, spanEnd - m_nSpanEnd, kPassesViewMinElevation);
        const int64_t oldEnd = m_nSpanEnd;
        std::erase_if(added, [oldEnd](const SatellitePass& p) { return p.nAos < oldEnd; });
        m_passes.insert(m_passes.end(), added.begin(), added.end());
        std::stable_sort(m_passes.begin(), m_passes.end(),
                         [](const SatellitePass& a, const SatellitePass& b) { return a.nAos < b.nAos; });
        m_nSpanEnd = spanEnd;
    }
    return m_passes;
}

std::vector<ViewText> ComputePassTexts(const std::vector<SatellitePass>& passes, int64_t now)
{
    std::vector<ViewText> texts;
    texts.push_back(ViewText{
        0, 0,
        "Passes in the next 24 hours from " + FormatUtc(now, "%Y-%m-%d %H:%M:%S") + " UTC (> under way)"});
    int y = kSatelliteRowHeight;
    for (const SatellitePass& pass : passes) {
        const bool bUnderWay = pass.nAos <= now && now <= pass.nLos;
        // The mark goes in front: the rows fill the default window's width.
        texts.push_back(ViewText{0, y, (bUnderWay ? "> " : "  ") + FormatPassLine(pass)});
        y += kSatelliteRowHeight;
    }
    return texts;
}
