#pragma once

#include "platform/KeyboardLayouts.h"

namespace platform {

class Win32KeyboardLayouts final : public KeyboardLayouts {
public:
    std::intptr_t loadLayout(const std::wstring& layoutId, std::uint32_t flags) override;
    bool unloadLayout(std::intptr_t layout) override;
};

}  // namespace platform
