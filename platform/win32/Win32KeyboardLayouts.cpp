#include "platform/win32/Win32KeyboardLayouts.h"

#include <windows.h>

namespace platform {

std::intptr_t Win32KeyboardLayouts::loadLayout(const std::wstring& layoutId, std::uint32_t flags) {
    return reinterpret_cast<std::intptr_t>(LoadKeyboardLayoutW(layoutId.c_str(), flags));
}

bool Win32KeyboardLayouts::unloadLayout(std::intptr_t layout) {
    return UnloadKeyboardLayout(reinterpret_cast<HKL>(layout)) != FALSE;
}

}  // namespace platform
