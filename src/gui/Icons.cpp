#include "gui/Icons.h"

#include <wx/defs.h>

#include "document/CommandIds.h"
#include "gui/CommandMap.h"
#include "gui/resources/ProgramXpm.h"
#include "gui/resources/ToolbarXpm.h"

wxBitmap ProgramBitmap()
{
    return wxBitmap(xpm_halvex);
}

wxIcon ProgramIcon()
{
    return wxIcon(xpm_halvex);
}

wxBitmap ToolBitmap(int nResourceId)
{
    switch (nResourceId) {
        case ID_PROCESS_START:
            return wxBitmap(xpm_start);
        case ID_PROCESS_STOP:
            return wxBitmap(xpm_stop);
        case ID_VIEW_SIGNAL:
            return wxBitmap(xpm_signal);
        case ID_VIEW_MESSAGES:
            return wxBitmap(xpm_messages);
        case ID_VIEW_SATELLITES:
            return wxBitmap(xpm_sats);
        case ID_VIEW_CHART:
            return wxBitmap(xpm_chart);
        case ID_VIEW_PASSES:
            return wxBitmap(xpm_passes);
        case IDR_APP_ABOUT:
            return wxBitmap(xpm_about);
        case IDR_CONTEXT_HELP:
            return wxBitmap(xpm_contexthelp);
        default:
            return wxBitmap();
    }
}
