#pragma once
// The interface thread's message loop: every window's messages and the engine's notifications, which the
// worker sends to the engine's message window and which are handled inside it.

// Gets and dispatches messages until a quit message arrives; answers the code it carries.
int runMessageLoop();
