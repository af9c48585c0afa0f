// Keyboard layouts for native tests: records every load and unload; loads answer a handle unless told to fail.
#pragma once

#include "platform/KeyboardLayouts.h"

#include <vector>

namespace platform {

class FakeKeyboardLayouts final : public KeyboardLayouts {
public:
    struct Load {
        std::wstring layoutId;
        std::uint32_t flags = 0;
    };

    std::intptr_t loadLayout(const std::wstring& layoutId, std::uint32_t flags) override {
        loads.push_back({layoutId, flags});
        return failLoads ? 0 : static_cast<std::intptr_t>(0x04090409 + loads.size());
    }
    bool unloadLayout(std::intptr_t layout) override {
        unloads.push_back(layout);
        return true;
    }

    bool failLoads = false;
    std::vector<Load> loads;
    std::vector<std::intptr_t> unloads;
};

}  // namespace platform
