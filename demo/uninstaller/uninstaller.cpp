// The demo payload's uninstaller: after the user agrees, takes the installed edition out of the system the
// same way a failed install does (layouts, text-service registration, modules, application folder).
#include "platform/win32/WindowsPlatform.h"
#include "system/InstallSystemSteps.h"

#include <windows.h>

namespace {

constexpr wchar_t kTitle[] = L"泽尔恩输入法 卸载";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (MessageBoxW(nullptr, L"要从这台计算机上卸载泽尔恩输入法吗？", kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 1;
    }
    platform::WindowsPlatform windows(instance);
    InstallSystemSteps steps(windows.services());
    steps.stopRunningServices();
    // The uninstaller keeps no log: a log without a path writes nothing.
    InstallLog log;
    steps.removeInstalledEdition(log);
    MessageBoxW(nullptr, L"泽尔恩输入法已卸载。", kTitle, MB_OK | MB_ICONINFORMATION);
    return 0;
}
