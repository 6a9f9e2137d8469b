#include "gui/CommandMap.h"

#include <wx/defs.h>

#include "document/CommandIds.h"
#include "document/CommandTable.h"

const CommandIdPair kFrameworkCommands[] = {
    {IDR_FILE_NEW, wxID_NEW},
    {IDR_FILE_OPEN, wxID_OPEN},
    {IDR_FILE_SAVE, wxID_SAVE},
    {IDR_FILE_SAVE_AS, wxID_SAVEAS},
    {IDR_FILE_PRINT_SETUP, wxID_PRINT_SETUP},
    {IDR_FILE_PRINT, wxID_PRINT},
    {IDR_FILE_PRINT_PREVIEW, wxID_PREVIEW},
    {IDR_FILE_MRU_FILE1, wxID_FILE1},
    {IDR_EDIT_COPY, wxID_COPY},
    {IDR_EDIT_CUT, wxID_CUT},
    {IDR_EDIT_PASTE, wxID_PASTE},
    {IDR_EDIT_UNDO, wxID_UNDO},
    {IDR_APP_ABOUT, wxID_ABOUT},
    {IDR_APP_EXIT, wxID_EXIT},
    {IDR_HELP_FINDER, wxID_HELP_CONTENTS},
    {IDR_CONTEXT_HELP, wxID_CONTEXT_HELP},
    {IDR_HELP, wxID_HELP},
    // wx has no stock ids for these.
    {IDR_DEFAULT_HELP, 4200},
    {IDR_NEXT_PANE, 4201},
    {IDR_PREV_PANE, 4202},
    {IDR_VIEW_TOOLBAR, 4203},
    {IDR_VIEW_STATUS_BAR, 4204},
};
const int kFrameworkCommandCount = static_cast<int>(sizeof kFrameworkCommands / sizeof kFrameworkCommands[0]);

int WxIdOfResource(int nResourceId)
{
    if (FindDocCommand(nResourceId))
        return nResourceId - kDocCommandWxOffset;
    for (const CommandIdPair& c : kFrameworkCommands)
        if (c.nResourceId == nResourceId)
            return c.nWxId;
    return -1;
}

int ResourceOfWxId(int nWxId)
{
    if (FindDocCommand(nWxId + kDocCommandWxOffset))
        return nWxId + kDocCommandWxOffset;
    for (const CommandIdPair& c : kFrameworkCommands)
        if (c.nWxId == nWxId)
            return c.nResourceId;
    return -1;
}

std::string CommandPrompt(int nResourceId)
{
    if (const DocCommand* pCommand = FindDocCommand(nResourceId))
        return pCommand->pszPrompt;

    struct Prompt
    {
        int nId;
        const char* psz;
    };
    // The framework's standard prompts.
    static const Prompt kPrompts[] = {
        {IDR_FILE_NEW, "Create a new document\nNew"},
        {IDR_FILE_OPEN, "Open an existing document\nOpen"},
        {IDR_FILE_SAVE, "Save the active document\nSave"},
        {IDR_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
        {IDR_FILE_PRINT, "Print the active document\nPrint"},
        {IDR_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
        {IDR_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
        {IDR_FILE_MRU_FILE1, "Open this document"},
        {IDR_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
        {IDR_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
        {IDR_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
        {IDR_HELP_FINDER, "List Help topics\nHelp Topics"},
        {IDR_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
        {IDR_CONTEXT_HELP, "Display help for clicked on buttons, menus and windows\nHelp"},
        {IDR_HELP, "Display help for current task or command\nHelp"},
    };
    for (const Prompt& p : kPrompts)
        if (p.nId == nResourceId)
            return p.psz;
    return std::string();
}
