#pragma once
// The program's pictures, compiled in so the program needs no image files.
#include <wx/bitmap.h>
#include <wx/icon.h>

wxBitmap ProgramBitmap();
wxIcon ProgramIcon();
// The toolbar image of a command id (16 by 15 pixels); an invalid bitmap for
// an id without one.
wxBitmap ToolBitmap(int nWxId);
