#include "view/ModePaintersWx.h"

#include <wx/dc.h>

#include "document/HalvexDoc.h"
#include "view/WorldChart.h"

// Placeholders until the modes are drawn: each leaves the background alone.
void PaintSignalMode(wxDC&, CHalvexDoc&) {}
void PaintMessagesMode(wxDC&, CHalvexDoc&) {}
void PaintSatellitesMode(wxDC&, CHalvexDoc&) {}
void PaintChartMode(wxDC&, CHalvexDoc&, CWorldChart&) {}
