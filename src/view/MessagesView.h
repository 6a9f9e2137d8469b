#pragma once
// The messages mode: the ring of 60 lines, newest at the top, one row per
// slot, rows exactly 15 pixels apart whatever the font's height.
#include <string>
#include <vector>

#include "view/ViewItems.h"

constexpr int kMessageRowPitch = 15;

// ring: the 60 slots; nIndex: the slot the next line goes to (the newest line
// is in the slot before it). Row k shows slot (nIndex - k + 59) mod 60 at
// (0, 15 k); empty slots give no text. An index outside 0..59 is taken
// modulo 60 so that no slot outside the ring is ever read.
std::vector<ViewText> ComputeMessageRows(const std::string* ring, int nSlots, int nIndex);
