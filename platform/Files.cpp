#include "platform/Files.h"

#include <utility>

namespace platform {

File::~File() {
    close();
}

File::File(File&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        stream_ = std::exchange(other.stream_, nullptr);
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
    return flushed;
}

bool isPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace platform
