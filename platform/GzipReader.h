// Reads a gzip file through zlib's gzip file reader.
#pragma once

#include <string>

#include <zlib.h>

namespace platform {

class GzipReader {
public:
    // Opens the file for reading ("rb"); isOpen tells whether it worked.
    explicit GzipReader(const std::wstring& path);
    ~GzipReader();
    GzipReader(const GzipReader&) = delete;
    GzipReader& operator=(const GzipReader&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // Decompressed bytes read: 0 at the end of the data, negative on a decompression error.
    int read(void* buffer, unsigned count);

private:
    gzFile file_ = nullptr;
};

}  // namespace platform
