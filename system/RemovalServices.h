#pragma once
// What the removal of installed and earlier editions uses of the system, handed in by whoever runs it:
// the real Windows in the installer (its registry and files seen through the install's journal), fakes in
// native tests. The changes whose undo is an action are written down in changes.
#include "engine/ChangeJournal.h"
#include "engine/InstallLog.h"
#include "platform/Broadcast.h"
#include "platform/DirectoryWalk.h"
#include "platform/KeyboardLayouts.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemFacts.h"

struct RemovalServices {
    platform::Registry& registry;
    platform::KeyboardLayouts& keyboardLayouts;
    platform::Broadcast& broadcast;
    platform::Shell& shell;
    platform::DirectoryWalk& directoryWalk;
    const platform::SystemFacts& facts;
    InstallLog& log;
    ChangeRecorder& changes;
};
