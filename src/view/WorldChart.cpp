#include "view/WorldChart.h"

#include <cstdio>
#include <cstring>

CWorldChart::CWorldChart()
    : m_nChartRow(kSize * kSize, 181), m_nChartCol(kSize * kSize, 0), m_nChartDist(kSize * kSize, 0)
{
}

bool CWorldChart::LoadGlobe(const std::string& path)
{
    std::memset(m_byGlobe, 0, sizeof m_byGlobe);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    size_t got = std::fread(m_byGlobe, 1, sizeof m_byGlobe, f);
    (void)got;
    std::fclose(f);
    return true;
}
