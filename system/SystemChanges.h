// The system steps' changes whose undo is an action rather than a saved state, as records of the install's
// journal, and the undo of every record the system layer writes (these and the registry's).
//
//     run-on-undo      FILE PARAMETERS DIRECTORY   undone by running the program so and waiting for it
//     layout-retired   ID                          undone by loading the layout again, activated
//     layout-loaded    ID                          undone by unloading it
//     fonts-changing                               undone by telling running programs the fonts changed
//
// A step writes its record before it makes its change; the journal undoes records the last first, so a
// record written before a group of registry changes is undone after they are.
#pragma once

#include "engine/ChangeJournal.h"
#include "engine/InstallLog.h"
#include "platform/Broadcast.h"
#include "platform/KeyboardLayouts.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <string>

JournalRecord undoneByRunning(const platform::ShellExecution& execution);
JournalRecord layoutRetired(const std::wstring& layoutId);
JournalRecord layoutLoaded(const std::wstring& layoutId);
JournalRecord fontsChanging();

// What undoing uses of the system: the real one, never seen through the journal.
struct UndoServices {
    platform::Registry& registry;
    platform::Shell& shell;
    platform::KeyboardLayouts& keyboardLayouts;
    platform::Broadcast& broadcast;
};

// Undoes one record of the system layer; false when it cannot (the log says what).
bool undoSystemChange(const UndoServices& services, const JournalRecord& record, InstallLog& log);
