// Stands in for one of the input method's service processes: it only waits until it is ended.
#include <windows.h>

int main() {
    Sleep(INFINITE);
    return 0;
}
