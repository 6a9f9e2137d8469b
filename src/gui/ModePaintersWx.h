#pragma once
// The view modes drawn into the view's off-screen context. Each computes
// its content with window-free code and only draws it here.
class wxDC;
class CHalvexDoc;
class CWorldChart;
class CPassSchedule;

void PaintSignalMode(wxDC& dc, CHalvexDoc& doc);
void PaintMessagesMode(wxDC& dc, CHalvexDoc& doc);
void PaintSatellitesMode(wxDC& dc, CHalvexDoc& doc);
void PaintChartMode(wxDC& dc, CHalvexDoc& doc, CWorldChart& chart);

// Pixels needed, in the table font on this dc, for the longest lines the
// messages mode shows: a longest frame's line with a failed check value and
// an orbit bulletin's expansion line.
int WidestMessagesRow(wxDC& dc);
// The fifth mode: the passes of the next 24 hours, as a table like the
// satellites mode's.
void PaintPassesMode(wxDC& dc, CHalvexDoc& doc, CPassSchedule& schedule);
