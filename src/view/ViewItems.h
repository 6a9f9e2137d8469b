#pragma once
// What the view modes draw, computed without any window code: points and
// pieces of text at device-pixel positions (x right, y down from the top-left
// corner of the client area). Text stays in code page 1252 until it is drawn.
#include <string>

struct ViewPoint
{
    int x = 0;
    int y = 0;
    bool operator==(const ViewPoint&) const = default;
};

// A text whose cell has its top-left corner at (x, y).
struct ViewText
{
    int x = 0;
    int y = 0;
    std::string strText;
    bool operator==(const ViewText&) const = default;
};
