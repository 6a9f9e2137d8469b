#pragma once
// The four view modes drawn into the view's off-screen context. Each computes
// its content with window-free code and only draws it here.
class wxDC;
class CHalvexDoc;
class CWorldChart;

void PaintSignalMode(wxDC& dc, CHalvexDoc& doc);
void PaintMessagesMode(wxDC& dc, CHalvexDoc& doc);
void PaintSatellitesMode(wxDC& dc, CHalvexDoc& doc);
void PaintChartMode(wxDC& dc, CHalvexDoc& doc, CWorldChart& chart);
