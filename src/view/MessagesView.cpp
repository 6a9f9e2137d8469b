#include "view/MessagesView.h"

std::vector<ViewText> ComputeMessageRows(const std::string* ring, int nSlots, int nIndex)
{
    std::vector<ViewText> rows;
    if (nSlots <= 0)
        return rows;
    const int index = ((nIndex % nSlots) + nSlots) % nSlots;
    for (int k = 0; k < nSlots; ++k) {
        const int slot = (index - k + nSlots - 1) % nSlots;
        const std::string& text = ring[slot];
        if (!text.empty())
            rows.push_back(ViewText{0, kMessageRowPitch * k, text});
    }
    return rows;
}
