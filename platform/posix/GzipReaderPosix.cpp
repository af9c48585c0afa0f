// zlib has no wide-path open off Windows: the path goes to gzopen in the file system's encoding.
#include "platform/GzipReader.h"

#include "platform/posix/NativePath.h"

namespace platform {

GzipReader::GzipReader(const std::wstring& path) : file_(gzopen(nativePath(path).c_str(), "rb")) {}

}  // namespace platform
