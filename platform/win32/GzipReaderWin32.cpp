#include "platform/GzipReader.h"

namespace platform {

GzipReader::GzipReader(const std::wstring& path) : file_(gzopen_w(path.c_str(), "rb")) {}

}  // namespace platform
