// The demo payload's text-service module. regsvr32 calls its registration entry points; they set and
// remove a marker key, so that a test can see the registration really ran.
#include <windows.h>
#include <olectl.h>

namespace {
constexpr wchar_t kMarkerKey[] = L"Software\\Zelnsoft\\DemoTextService";
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" HRESULT __stdcall DllRegisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    const DWORD registered = 1;
    const LSTATUS status = RegSetValueExW(key, L"Registered", 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&registered), sizeof registered);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, kMarkerKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
