// Files and directories as the installer uses them: C runtime streams opened by wide path, and the few
// directory operations of the install. Paths use backslashes as on Windows; elsewhere they are mapped to the
// platform's own separator and encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

enum class FileMode {
    Read,        // "rb"
    Write,       // "wb": created, or emptied when it exists
    ReadUpdate,  // "rb+"
    Append,      // "ab": every write goes to the end of the file, which is created when missing
};

// A C runtime stream in binary mode, closed when it goes out of scope.
class File {
public:
    File() = default;
    File(const std::wstring& path, FileMode mode);
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return stream_ != nullptr; }
    // Bytes actually read or written; fewer than asked at the end of the file or on an error.
    std::size_t read(void* buffer, std::size_t count);
    std::size_t write(const void* buffer, std::size_t count);
    // False when the position cannot be set.
    bool seek(std::uint64_t offset);
    // The file's length; false when it cannot be had.
    bool size(std::uint64_t& length);
    // Hands buffered data to the system, where it outlives the process; false when it cannot.
    bool flush();
    // Also has the system write it to the disk before answering, so that it outlives a power failure; false
    // when either fails.
    bool flushToDisk();
    // Flushes and closes; false when buffered data could not be written.
    bool close();

private:
    // A stream buffer large enough that the install's small chunked reads and writes become few system calls.
    void useStreamBuffer();

    std::FILE* stream_ = nullptr;
    std::unique_ptr<char[]> buffer_;
};

bool pathExists(const std::wstring& path);
// One directory whose parent exists.
bool createDirectory(const std::wstring& path);
// Never replaces: fails when the destination exists.
bool moveFile(const std::wstring& from, const std::wstring& to);
bool deleteFile(const std::wstring& path);
// Only an empty directory is removed.
bool removeDirectory(const std::wstring& path);

// Appends one line to a UTF-8 text file: a new (or empty) file first gets the UTF-8 byte-order mark, and every
// line end is stored as carriage return and line feed. False when the file cannot be opened.
bool appendTextLine(const std::wstring& path, const std::wstring& line);

// The bytes appendTextLine adds: the byte-order mark when the file is empty, then the line and its line end as
// UTF-8, each line feed preceded by a carriage return.
std::string textLineBytes(const std::wstring& line, bool fileIsEmpty);

// UTF-8 of a wide text (UTF-16 where wchar_t has two bytes, UTF-32 where it has four); a lone surrogate or a
// value beyond Unicode becomes U+FFFD.
std::string utf8(const std::wstring& text);

// Length of the part of a path that names its root and is never created: "C:" or "\\\\server\\share" on
// Windows, "/" elsewhere; 0 for a relative path.
std::size_t pathRootLength(const std::wstring& path);

// The wide text of UTF-8 bytes (UTF-16 where wchar_t has two bytes); a byte that begins no valid sequence
// becomes U+FFFD.
std::wstring fromUtf8(const std::string& bytes);

bool isPathSeparator(wchar_t c);

}  // namespace platform
