#pragma once
// The signal mode: the first 100 slots of the decoder's sample ring as a trace
// on a black panel, with the two lines of advice under it, so the user can set
// the receiver's audio level.
#include <array>
#include <cstdint>

#include "view/ViewItems.h"

struct SignalPicture
{
    static constexpr int kPoints = 100;
    // Panel: black, top-left (0, 0), 420 x 400.
    static constexpr int kPanelWidth = 420;
    static constexpr int kPanelHeight = 400;

    ViewPoint zeroLineFrom{10, 200};
    ViewPoint zeroLineTo{410, 200};
    std::array<ViewPoint, kPoints> trace{};
    std::array<ViewText, 2> advice{};
};

// ring: at least 100 values, each a sample minus 128 (-128..127). A value
// outside that range (a ring not written by the decoder) is held to it so the
// trace stays on the panel.
SignalPicture ComputeSignalPicture(const int32_t* ring);
