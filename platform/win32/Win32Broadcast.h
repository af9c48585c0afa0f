#pragma once

#include "platform/Broadcast.h"

namespace platform {

class Win32Broadcast final : public Broadcast {
public:
    bool postToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool sendToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                          std::uint32_t timeoutMs) override;
};

}  // namespace platform
