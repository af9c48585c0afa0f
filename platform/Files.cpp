#include "platform/Files.h"

#include <utility>

namespace platform {

namespace {

// The C runtime's default of 4 KiB turns the 2 KiB chunks of extraction and placement into a system call every
// other chunk; 64 KiB makes it one in 32.
constexpr std::size_t STREAM_BUFFER_SIZE = 64 * 1024;

}  // namespace

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
