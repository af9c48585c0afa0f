#include "system/TextServiceRegistration.h"

#include "engine/PackageFormat.h"
#include "system/SystemChanges.h"

namespace {

constexpr wchar_t kEudcKey[] = L"EUDC\\936";
constexpr wchar_t kEudcFontValue[] = L"SystemDefaultEUDCFont";

// GetSystemDirectoryW buffers: the regsvr32 command's and the font path's.
constexpr std::uint32_t kCommandDirectoryChars = 255;
constexpr std::uint32_t kFontDirectoryChars = static_cast<std::uint32_t>(PATH_UNITS);

constexpr InstallResult kEudcUnavailable = 1;

// Switches EUDC font linking off for as long as it lives.
class EudcLinkingOff {
public:
    explicit EudcLinkingOff(platform::EudcSwitch& eudcSwitch) : switch_(eudcSwitch) { switch_.enable(false); }
    ~EudcLinkingOff() { switch_.enable(true); }
    EudcLinkingOff(const EudcLinkingOff&) = delete;
    EudcLinkingOff& operator=(const EudcLinkingOff&) = delete;

private:
    platform::EudcSwitch& switch_;
};

}  // namespace

// The installer runs elevated from the user's download folder: regsvr32 named without its folder could be a
// program planted there, so it is named by its full path and started in the system directory.
platform::ShellExecution textServiceRegistration(const std::wstring& systemDirectory) {
    platform::ShellExecution execution;
    execution.mask = platform::kSeeMaskNoCloseProcess;
    execution.verb = L"open";
    execution.file = systemDirectory + L"\\regsvr32.exe";
    execution.parameters = L"/s- " + systemDirectory + L"\\" + kTextServiceModule;
    execution.directory = systemDirectory;
    execution.show = platform::kSwShow;
    return execution;
}

platform::ShellExecution textServiceUnregistration(const std::wstring& systemDirectory) {
    platform::ShellExecution execution = textServiceRegistration(systemDirectory);
    execution.parameters = L"/s- /u " + systemDirectory + L"\\" + kTextServiceModule;
    return execution;
}

InstallResult registerTextService(RegistrationServices& services) {
    std::wstring systemDirectory;
    // Without a system directory there is no module to name; the text service then stays unregistered, as it
    // would after any other failing regsvr32 run.
    if (services.shell.systemDirectory(kCommandDirectoryChars, systemDirectory) &&
        services.changes.record(undoneByRunning(textServiceUnregistration(systemDirectory)))) {
        services.shell.executeAndWait(textServiceRegistration(systemDirectory));
    }
    return RESULT_OK;
}

std::wstring eudcFontPath(const std::wstring& systemDirectory) {
    std::wstring path = systemDirectory;
    if (path.empty() || path.back() != L'\\') {
        path += L'\\';
    }
    return path + kEudcFontFile;
}

InstallResult linkEudcFont(RegistrationServices& services) {
    const std::unique_ptr<platform::EudcSwitch> eudcSwitch = services.eudc.loadSwitch();
    if (!eudcSwitch) {
        return kEudcUnavailable;
    }
    const EudcLinkingOff linkingOff(*eudcSwitch);
    platform::RegistryKey key;
    if (services.registry.openKeyEx(platform::RegistryRoot::CurrentUser, kEudcKey, platform::kKeyAllAccess,
                                    platform::RegistryView::Default, key) != platform::kRegistrySuccess &&
        services.registry.createKeyEx(platform::RegistryRoot::CurrentUser, kEudcKey, platform::kKeyReadWrite,
                                      platform::RegistryView::Default, key) != platform::kRegistrySuccess) {
        return kEudcUnavailable;
    }
    std::wstring systemDirectory;
    // A font path without its directory would name no file; the setting is then left as it is.
    if (services.shell.systemDirectory(kFontDirectoryChars, systemDirectory)) {
        const std::wstring path = eudcFontPath(systemDirectory);
        services.registry.setString(key, kEudcFontValue, path, 2 * platform::utf16Length(path));
    }
    return RESULT_OK;
}
