// The demo payload's uninstaller: after the user agrees, takes the installed edition out of the system the
// same way a failed install does (layouts, text-service registration, modules, application folder).
#include "engine/ChangeJournal.h"
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
    const platform::Services services = windows.services();
    InstallSystemSteps steps(services);
    steps.stopRunningServices();
    // The uninstaller keeps no log: a log without a path writes nothing.
    InstallLog log;
    // Through a journal, as the install removes an edition: what is in use is set aside and deleted when
    // Windows restarts.
    wchar_t temp[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    ChangeJournal journal(services.directoryWalk, windows.facts(), log);
    if (length == 0 || length >= MAX_PATH || !journal.begin(std::wstring(temp) + L"zeln-uninstall.journal")) {
        MessageBoxW(nullptr, L"无法卸载泽尔恩输入法。", kTitle, MB_OK | MB_ICONERROR);
        return 2;
    }
    steps.removeInstalledEdition(journal, log);
    journal.commit();
    MessageBoxW(nullptr, L"泽尔恩输入法已卸载。", kTitle, MB_OK | MB_ICONINFORMATION);
    return 0;
}
