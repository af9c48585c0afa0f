// The demo payload's IME module: a real DLL that the installer places in the system directories and
// registers as a keyboard layout. It carries the package's IME version and the entry points an input-method
// manager looks up before it accepts a module as an IME. It answers them as an IME that converts nothing:
// every key passes through, no composition ever starts, there are no words to register and no menu.
#include <windows.h>
#include <imm.h>

namespace {

// The window class the manager creates for the IME's user interface of each input context. Registered
// while the module is loaded, as an IME's user interface class must be (CS_IME).
constexpr wchar_t kUiClass[] = L"ZelnImeUI";

// What the manager learns in ImeInquire; laid out as the IME interface defines it (seven DWORDs).
struct ImeInfo {
    DWORD privateDataSize;
    DWORD property;
    DWORD conversionCaps;
    DWORD sentenceCaps;
    DWORD uiCaps;
    DWORD compositionStringCaps;
    DWORD selectCaps;
};

constexpr DWORD kImePropertyUnicode = 0x00080000;  // IME_PROP_UNICODE: the class name above is wide

HINSTANCE moduleInstance = nullptr;

LRESULT CALLBACK uiWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

bool registerUiClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_IME;
    windowClass.lpfnWndProc = uiWindowProc;
    windowClass.cbWndExtra = 2 * sizeof(LONG_PTR);  // the manager keeps the input context there
    windowClass.hInstance = moduleInstance;
    windowClass.lpszClassName = kUiClass;
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
        return registerUiClass() ? TRUE : FALSE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        UnregisterClassW(kUiClass, instance);
    }
    return TRUE;
}

extern "C" {

BOOL WINAPI ImeInquire(ImeInfo* info, LPWSTR uiClass, DWORD) {
    if (info == nullptr || uiClass == nullptr) {
        return FALSE;
    }
    *info = ImeInfo{};
    info->property = kImePropertyUnicode;
    lstrcpynW(uiClass, kUiClass, 16);
    return TRUE;
}

BOOL WINAPI ImeConfigure(HKL, HWND, DWORD, LPVOID) { return FALSE; }

DWORD WINAPI ImeConversionList(HIMC, LPCWSTR, LPCANDIDATELIST, DWORD, UINT) { return 0; }

BOOL WINAPI ImeDestroy(UINT) { return TRUE; }

LRESULT WINAPI ImeEscape(HIMC, UINT, LPVOID) { return 0; }

BOOL WINAPI ImeProcessKey(HIMC, UINT, LPARAM, CONST LPBYTE) { return FALSE; }

BOOL WINAPI ImeSelect(HIMC, BOOL) { return TRUE; }

BOOL WINAPI ImeSetActiveContext(HIMC, BOOL) { return TRUE; }

UINT WINAPI ImeToAsciiEx(UINT, UINT, CONST LPBYTE, LPVOID, UINT, HIMC) { return 0; }

BOOL WINAPI NotifyIME(HIMC, DWORD, DWORD, DWORD) { return FALSE; }

BOOL WINAPI ImeRegisterWord(LPCWSTR, DWORD, LPCWSTR) { return FALSE; }

BOOL WINAPI ImeUnregisterWord(LPCWSTR, DWORD, LPCWSTR) { return FALSE; }

UINT WINAPI ImeGetRegisterWordStyle(UINT, LPSTYLEBUFW) { return 0; }

UINT WINAPI ImeEnumRegisterWord(REGISTERWORDENUMPROCW, LPCWSTR, DWORD, LPCWSTR, LPVOID) { return 0; }

BOOL WINAPI ImeSetCompositionString(HIMC, DWORD, LPCVOID, DWORD, LPCVOID, DWORD) { return FALSE; }

DWORD WINAPI ImeGetImeMenuItems(HIMC, DWORD, DWORD, LPIMEMENUITEMINFOW, LPIMEMENUITEMINFOW, DWORD) { return 0; }

}  // extern "C"
