// MD5 (RFC 1321): the digest each package entry carries of its file's contents.
#pragma once

#include "engine/PackageFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
public:
    Md5();
    void update(const void* data, std::size_t length);
    Md5Digest finish();

private:
    void transform(const std::uint8_t block[64]);

    std::uint32_t state_[4];
    std::uint64_t length_ = 0;
    std::uint8_t buffer_[64] = {};
};

Md5Digest md5Of(const void* data, std::size_t length);

// Digest of a file's contents, read 1024 bytes at a time. 0, or 1 when the file cannot be opened.
int md5File(const std::wstring& path, Md5Digest& digest);
