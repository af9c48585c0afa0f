#include "tools/pkgtool/Text.h"

#include "platform/posix/NativePath.h"

#include <cstdio>

namespace pkgtool {

bool wideFromUtf8(const std::string& text, std::wstring& wide) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                                   : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        out += static_cast<wchar_t>(code);
        i += length;
    }
    wide = out;
    return true;
}

std::string utf8FromWide(const std::wstring& wide) {
    return platform::utf8(wide);
}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

bool parseGuid(const std::string& text, PackageGuid& guid) {
    // Hex digits of the text in order, after checking where the braces and dashes stand.
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
        return false;
    }
    std::uint8_t bytes[16] = {};
    std::size_t nibble = 0;
    for (std::size_t i = 1; i < 37; ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-') {
                return false;
            }
            continue;
        }
        const int digit = hexDigit(text[i]);
        if (digit < 0) {
            return false;
        }
        bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] << 4 | digit);
        ++nibble;
    }
    guid.data1 = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
    guid.data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    guid.data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i) {
        guid.data4[i] = bytes[8 + i];
    }
    return true;
}

std::string guidText(const PackageGuid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                  g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

bool parseVersion(const std::string& text, PackageVersion& version) {
    PackageVersion parsed{};
    std::size_t part = 0;
    std::size_t digits = 0;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || part >= 4) {
                return false;
            }
            parsed[part++] = static_cast<std::uint32_t>(value);
            digits = 0;
            value = 0;
            continue;
        }
        if (text[i] < '0' || text[i] > '9' || ++digits > 10) {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > UINT32_MAX) {
            return false;
        }
    }
    if (part != 4) {
        return false;
    }
    version = parsed;
    return true;
}

std::string versionText(const PackageVersion& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

std::string hexText(const std::uint8_t* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

}  // namespace pkgtool
