#include "platform/win32/Win32Eudc.h"

#include <windows.h>

namespace platform {

namespace {

using EnableEudcFunction = BOOL(WINAPI*)(BOOL);

class Win32EudcSwitch final : public EudcSwitch {
public:
    Win32EudcSwitch(HMODULE library, EnableEudcFunction enableEudc) : library_(library), enableEudc_(enableEudc) {}
    ~Win32EudcSwitch() override { FreeLibrary(library_); }
    Win32EudcSwitch(const Win32EudcSwitch&) = delete;
    Win32EudcSwitch& operator=(const Win32EudcSwitch&) = delete;

    void enable(bool on) override { enableEudc_(on ? TRUE : FALSE); }

private:
    HMODULE library_;
    EnableEudcFunction enableEudc_;
};

}  // namespace

std::unique_ptr<EudcSwitch> Win32Eudc::loadSwitch() {
    const HMODULE library = LoadLibraryW(L"GDI32.DLL");
    if (library == nullptr) {
        return nullptr;
    }
    const FARPROC entry = GetProcAddress(library, "EnableEUDC");
    if (entry == nullptr) {
        FreeLibrary(library);
        return nullptr;
    }
    return std::make_unique<Win32EudcSwitch>(library, reinterpret_cast<EnableEudcFunction>(
                                                          reinterpret_cast<void (*)()>(entry)));
}

}  // namespace platform
