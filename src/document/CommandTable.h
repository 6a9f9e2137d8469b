#pragma once
// The document's commands as data: id, where the item sits in the menu bar,
// its prompt (status-bar text, then a line feed and the tooltip where there is
// one), its handler and its update rule. The desktop program builds its menus,
// toolbar tips and status texts from this table; CHalvexDoc::OnCommand and
// OnUpdateCommand dispatch through it.
#include <array>
#include <span>
#include <string>

class CHalvexDoc;
class ICmdUI;

struct DocCommand
{
    int nId;
    // Menu names from the menu bar down to the item's own text; unused
    // trailing entries are null. Top-level names are the menu resource's
    // ("&View", "Process", "Options").
    std::array<const char*, 4> menuPath;
    const char* pszPrompt;
    void (*pfnHandler)(CHalvexDoc& doc);
    // Null: the command has no update handler (always enabled).
    void (*pfnUpdate)(const CHalvexDoc& doc, ICmdUI& cmdUi);
};

// In menu order: View, Process, Options.
std::span<const DocCommand> DocCommands();
// Null when the id is not one of the document's.
const DocCommand* FindDocCommand(int nId);

// The parts of a prompt: status-bar text and tooltip (empty when none).
std::string PromptStatusText(const char* pszPrompt);
std::string PromptToolTip(const char* pszPrompt);
