// Windows-style wide paths for Linux calls: backslashes become slashes and the text becomes UTF-8.
#pragma once

#include "platform/Files.h"

#include <string>

namespace platform {

std::string nativePath(const std::wstring& path);

}  // namespace platform
