#pragma once
// The satellites mode: one text row per predictable table entry, in code
// order, at x = 0 and 15 pixels apart, recomputed at every drawing (which
// also remembers each satellite's ground distance for the next Doppler shift).
#include <vector>

#include "view/ViewItems.h"

class CSatelliteTable;
class IClock;

std::vector<ViewText> ComputeSatelliteTexts(CSatelliteTable& table, double homeLat, double homeLon,
                                            const IClock& clock);
