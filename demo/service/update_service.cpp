// The demo payload's update service: a windowless process that waits until it is ended. The installer
// stops it by name before it replaces the files.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Sleep(INFINITE);
    return 0;
}
