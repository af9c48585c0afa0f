// What the registration steps (keyboard layouts, text service and EUDC link, fonts and application keys, the
// uninstall entry) use of the system, handed in by whoever runs them: the real Windows in the installer (its
// registry seen through the install's journal), fakes in native tests. The changes whose undo is an action
// are written down in changes.
#pragma once

#include "engine/ChangeJournal.h"
#include "engine/InstallLog.h"
#include "platform/Broadcast.h"
#include "platform/Calendar.h"
#include "platform/Eudc.h"
#include "platform/KeyboardLayouts.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemFacts.h"

struct RegistrationServices {
    platform::Registry& registry;
    platform::KeyboardLayouts& keyboardLayouts;
    platform::Shell& shell;
    platform::Eudc& eudc;
    platform::Broadcast& broadcast;
    const platform::SystemFacts& facts;
    const platform::Calendar& calendar;
    InstallLog& log;
    ChangeRecorder& changes;
};
