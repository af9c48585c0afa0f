#include "platform/GzipReader.h"

namespace platform {

GzipReader::~GzipReader() {
    if (file_) {
        gzclose(file_);
    }
}

int GzipReader::read(void* buffer, unsigned count) {
    return gzread(file_, buffer, count);
}

}  // namespace platform
