// Running the system's tools through the shell and waiting for them, and the system directory they live in.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x00000040;  // SEE_MASK_NOCLOSEPROCESS
constexpr std::int32_t kSwShow = 5;                           // SW_SHOW

// The fields of a shell execution record that the installer fills; every other field is zero, the record's
// size is that of SHELLEXECUTEINFOW and no owner window is given. An empty directory is none.
struct ShellExecution {
    std::uint32_t mask = 0;
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring directory;
    std::int32_t show = 0;
};

class Shell {
public:
    virtual ~Shell() = default;

    // ShellExecuteExW, then, when a process handle came back, WaitForSingleObject on it without a time limit
    // and CloseHandle. False when the launch failed (there was then nothing to wait for).
    virtual bool executeAndWait(const ShellExecution& execution) = 0;

    // GetSystemDirectoryW into a buffer of bufferChars wide characters (terminator included): the system
    // directory as this process sees it. False when the call fails or the directory does not fit.
    virtual bool systemDirectory(std::uint32_t bufferChars, std::wstring& directory) = 0;
};

}  // namespace platform
