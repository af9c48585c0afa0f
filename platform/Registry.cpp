#include "platform/Registry.h"

#include <utility>

namespace platform {

namespace {

void appendUnit(std::vector<std::uint8_t>& bytes, std::uint32_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

// Only a four-byte wchar_t can hold a character beyond the basic plane; UTF-16 gives it two code units.
bool beyondBasicPlane(wchar_t character) { return (static_cast<std::uint32_t>(character) >> 16) != 0; }

}  // namespace

std::vector<std::uint8_t> utf16Bytes(const std::wstring& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (wchar_t character : text) {
        const auto codePoint = static_cast<std::uint32_t>(character);
        if (beyondBasicPlane(character)) {
            const std::uint32_t offset = codePoint - 0x10000;
            appendUnit(bytes, 0xD800 + (offset >> 10));
            appendUnit(bytes, 0xDC00 + (offset & 0x3FF));
        } else {
            appendUnit(bytes, codePoint);
        }
    }
    appendUnit(bytes, 0);
    return bytes;
}

std::uint32_t utf16Length(const std::wstring& text) {
    std::uint32_t units = 0;
    for (wchar_t character : text) {
        units += beyondBasicPlane(character) ? 2 : 1;
    }
    return units;
}

std::wstring RegistryValue::text() const {
    std::wstring out;
    for (std::size_t at = 0; at + 1 < data.size(); at += 2) {
        std::uint32_t unit = data[at] | (static_cast<std::uint32_t>(data[at + 1]) << 8);
        if (unit == 0) {
            break;
        }
        const bool pairFollows = at + 3 < data.size();
        if (sizeof(wchar_t) == 4 && unit >= 0xD800 && unit < 0xDC00 && pairFollows) {
            const std::uint32_t low = data[at + 2] | (static_cast<std::uint32_t>(data[at + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

bool RegistryValue::dword(std::uint32_t& out) const {
    if (type != RegistryType::Dword || data.size() != 4) {
        return false;
    }
    out = data[0] | (static_cast<std::uint32_t>(data[1]) << 8) | (static_cast<std::uint32_t>(data[2]) << 16) |
          (static_cast<std::uint32_t>(data[3]) << 24);
    return true;
}

RegistryKey::~RegistryKey() { close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)),
      handle_(std::exchange(other.handle_, 0)),
      view_(other.view_) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        close();
        registry_ = std::exchange(other.registry_, nullptr);
        handle_ = std::exchange(other.handle_, 0);
        view_ = other.view_;
    }
    return *this;
}

std::int32_t RegistryKey::close() {
    if (handle_ == 0 || registry_ == nullptr) {
        return kRegistryInvalidHandle;
    }
    const std::int32_t result = registry_->closeKey(handle_);
    handle_ = 0;
    registry_ = nullptr;
    return result;
}

}  // namespace platform
