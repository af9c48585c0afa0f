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
