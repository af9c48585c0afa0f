// The demo payload's IME module: a real DLL that the installer places in the system directories and
// registers as a keyboard layout. It carries the package's IME version and does nothing when loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
