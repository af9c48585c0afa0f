// Loading and unloading keyboard layouts in the calling process.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr std::uint32_t kKlfActivate = 0x0001;  // KLF_ACTIVATE

class KeyboardLayouts {
public:
    virtual ~KeyboardLayouts() = default;

    // LoadKeyboardLayoutW: the layout's handle, 0 when it could not be loaded.
    virtual std::intptr_t loadLayout(const std::wstring& layoutId, std::uint32_t flags) = 0;
    // UnloadKeyboardLayout: false when Windows refused.
    virtual bool unloadLayout(std::intptr_t layout) = 0;
};

}  // namespace platform
