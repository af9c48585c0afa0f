#pragma once

#include "platform/Eudc.h"

namespace platform {

class Win32Eudc final : public Eudc {
public:
    std::unique_ptr<EudcSwitch> loadSwitch() override;
};

}  // namespace platform
