#include "platform/posix/NativePath.h"

namespace platform {

std::string nativePath(const std::wstring& path) {
    std::string out = utf8(path);
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

}  // namespace platform
