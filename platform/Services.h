// Every part of the system the installer works on, as one bundle of references: the real Windows in the
// installer, fakes in native tests. Whoever makes the parts keeps them alive while the bundle is used.
#pragma once

#include "platform/Broadcast.h"
#include "platform/Calendar.h"
#include "platform/DirectoryWalk.h"
#include "platform/Eudc.h"
#include "platform/KeyboardLayouts.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemFacts.h"
#include "platform/Threads.h"
#include "platform/VersionInfo.h"
#include "platform/WindowMessages.h"

namespace platform {

struct Services {
    Registry& registry;
    KeyboardLayouts& keyboardLayouts;
    Shell& shell;
    Eudc& eudc;
    Broadcast& broadcast;
    Processes& processes;
    WindowMessages& windowMessages;
    Threads& threads;
    DirectoryWalk& directoryWalk;
    VersionInfo& versions;
    const SystemFacts& facts;
    const Calendar& calendar;
};

}  // namespace platform
