// Broadcasts for native tests: recorded in order, posted and sent alike, never delivered.
#pragma once

#include "platform/Broadcast.h"

#include <vector>

namespace platform {

class FakeBroadcast final : public Broadcast {
public:
    struct Message {
        bool posted = false;  // posted, or sent and waited for
        std::uint32_t message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        std::uint32_t timeoutMs = 0;
    };

    bool postToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        messages.push_back({true, message, wParam, lParam, 0});
        return true;
    }
    bool sendToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                          std::uint32_t timeoutMs) override {
        messages.push_back({false, message, wParam, lParam, timeoutMs});
        return true;
    }

    std::vector<Message> messages;
};

}  // namespace platform
