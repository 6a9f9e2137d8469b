#pragma once
// The command numbers of the menus, toolbar and accelerators, and the wx ids
// that carry them. The framework's own numbers are here; the program's own
// are in document/CommandIds.h.
#include <string>

enum : int
{
    IDR_FILE_NEW = 57600,
    IDR_FILE_OPEN = 57601,
    IDR_FILE_SAVE = 57603,
    IDR_FILE_SAVE_AS = 57604,
    IDR_FILE_PRINT_SETUP = 57606,
    IDR_FILE_PRINT = 57607,
    IDR_FILE_PRINT_PREVIEW = 57609,
    IDR_FILE_MRU_FILE1 = 57616,
    IDR_EDIT_COPY = 57634,
    IDR_EDIT_CUT = 57635,
    IDR_EDIT_PASTE = 57637,
    IDR_EDIT_UNDO = 57643,
    IDR_APP_ABOUT = 57664,
    IDR_APP_EXIT = 57665,
    IDR_HELP_FINDER = 57667,
    IDR_CONTEXT_HELP = 57669,
    IDR_HELP = 57670,
    IDR_DEFAULT_HELP = 57671,
    IDR_NEXT_PANE = 57680,
    IDR_PREV_PANE = 57681,
    IDR_INDICATOR_CAPS = 59137,
    IDR_INDICATOR_NUM = 59138,
    IDR_INDICATOR_SCRL = 59139,
    IDR_VIEW_TOOLBAR = 59392,
    IDR_VIEW_STATUS_BAR = 59393,
};

// wx takes menu ids only below 0x7FFF: the program's own commands (32771 to
// 32793) are carried 0x7000 lower, the framework's by wx's stock ids where
// wx has one, else by ids of ours below wx's stock range.
constexpr int kDocCommandWxOffset = 0x7000;

struct CommandIdPair
{
    int nResourceId;  // the original number
    int nWxId;        // the id the wx menu, toolbar and accelerators use
};
// Every framework command the menus, toolbar and accelerators use.
extern const CommandIdPair kFrameworkCommands[];
extern const int kFrameworkCommandCount;
// The wx id of a command number, and back; -1 for numbers not in use.
int WxIdOfResource(int nResourceId);
int ResourceOfWxId(int nWxId);

// The prompt of a command number: the status-bar text, then a line feed and
// the tooltip where there is one (the document's commands take theirs from
// the document's command table). Empty for unknown numbers.
std::string CommandPrompt(int nResourceId);
