// The registry layer against Wine's real registry: the same contract the fake keeps, and the 64-bit view.
#include "platform/win32/Win32Registry.h"

#include "tests/unit/system-registration/registry_contract.h"

#include <windows.h>

std::unique_ptr<platform::Registry> makeContractRegistry() { return std::make_unique<platform::Win32Registry>(); }

namespace {

TEST(Win32Registry, TheSixtyFourBitViewIsWhatA32BitViewDoesNotSee) {
    platform::Win32Registry registry;
    const std::wstring path = L"SOFTWARE\\ZelnRegistryViews\\Product";
    {
        RegistryKey key;
        ASSERT_EQ(0, registry.createKeyEx(RegistryRoot::LocalMachine, path, kKeyAllAccess, RegistryView::Force64, key));
        ASSERT_EQ(0, registry.setDword(key, L"Bits", 64));
    }
    HKEY seen = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &seen));
    RegCloseKey(seen);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &seen));
}

}  // namespace
