#pragma once

#include "platform/Shell.h"

namespace platform {

class Win32Shell final : public Shell {
public:
    bool executeAndWait(const ShellExecution& execution) override;
    bool systemDirectory(std::uint32_t bufferChars, std::wstring& directory) override;
};

}  // namespace platform
