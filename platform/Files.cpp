#include "platform/Files.h"

#include <utility>

namespace platform {

namespace {

// The C runtime's default of 4 KiB turns the 2 KiB chunks of extraction and placement into a system call every
// other chunk; 64 KiB makes it one in 32.
constexpr std::size_t STREAM_BUFFER_SIZE = 64 * 1024;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string utf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        char32_t code = static_cast<char32_t>(text[at]);
        if (isHighSurrogate(code) && at + 1 < text.size() && isLowSurrogate(static_cast<char32_t>(text[at + 1]))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(text[++at]) - 0xDC00);
        } else if (code > 0x10FFFF || isHighSurrogate(code) || isLowSurrogate(code)) {
            code = U'\uFFFD';
        }
        appendUtf8(out, code);
    }
    return out;
}

std::wstring fromUtf8(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF5 ? 0
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC2 ? 2
                                                  : 0;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length != 0 && at + length <= bytes.size();
        for (std::size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(bytes[at + i]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0;
        if (!valid || code < smallest || code > 0x10FFFF || isHighSurrogate(code) || isLowSurrogate(code)) {
            text += L'\uFFFD';
            ++at;
            continue;
        }
        if (sizeof(wchar_t) == 2 && code >= 0x10000) {
            text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<wchar_t>(code);
        }
        at += length;
    }
    return text;
}

std::string textLineBytes(const std::wstring& line, bool fileIsEmpty) {
    std::string bytes = fileIsEmpty ? "\xEF\xBB\xBF" : "";
    for (const char c : utf8(line + L"\n")) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return bytes;
}

void File::useStreamBuffer() {
    if (!stream_) {
        return;
    }
    // The C runtime would keep its default size for a buffer it allocates itself.
    buffer_ = std::make_unique<char[]>(STREAM_BUFFER_SIZE);
    if (std::setvbuf(stream_, buffer_.get(), _IOFBF, STREAM_BUFFER_SIZE) != 0) {
        buffer_.reset();
    }
}

File::~File() {
    close();
}

File::File(File&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)), buffer_(std::move(other.buffer_)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        stream_ = std::exchange(other.stream_, nullptr);
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

std::size_t File::read(void* buffer, std::size_t count) {
    return stream_ && count ? std::fread(buffer, 1, count, stream_) : 0;
}

std::size_t File::write(const void* buffer, std::size_t count) {
    return stream_ && count ? std::fwrite(buffer, 1, count, stream_) : 0;
}

bool File::flush() {
    return stream_ && std::fflush(stream_) == 0;
}

bool File::close() {
    if (!stream_) {
        return true;
    }
    const bool flushed = std::fclose(std::exchange(stream_, nullptr)) == 0;
    buffer_.reset();
    return flushed;
}

bool isPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace platform
