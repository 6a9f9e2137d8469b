#include "view/SignalView.h"

#include <algorithm>

SignalPicture ComputeSignalPicture(const int32_t* ring)
{
    SignalPicture picture;
    for (int j = 0; j < SignalPicture::kPoints; ++j) {
        const int32_t sample = std::clamp<int32_t>(ring[j], -128, 127);
        picture.trace[static_cast<size_t>(j)] = ViewPoint{10 + 4 * j, 200 - sample};
    }
    picture.advice[0] = ViewText{10, 410, "Ensure the signal is of adequate amplitude but not clipping."};
    picture.advice[1] =
        ViewText{10, 425, "If you see no signal, check connections, receiver and select Options->Audio."};
    return picture;
}
