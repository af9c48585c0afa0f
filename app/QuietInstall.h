#pragma once
// The install with no window of its own ("/quiet"): the engine's one install sequence, its notifications
// handled on this thread through the engine's message window, the outcome as the exit code.
#include "app/UIInstallerView.h"

// Initializes the engine, starts the install into the default directory and pumps messages until the engine
// reports its outcome: 0 after a success, the result code after a failure; 1603 at once when the install
// could not be started.
int runQuietInstall(const InstallerParts& parts);
