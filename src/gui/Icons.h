#pragma once
// The program's pictures, compiled in so the program needs no image files.
#include <wx/bitmap.h>
#include <wx/icon.h>

wxBitmap ProgramBitmap();
wxIcon ProgramIcon();
// The toolbar image of a command number (16 by 15 pixels); an invalid bitmap
// for a command without one.
wxBitmap ToolBitmap(int nResourceId);
