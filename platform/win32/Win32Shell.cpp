#include "platform/win32/Win32Shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/ScopedHandle.h"

namespace platform {

namespace {

const wchar_t* textOrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

bool Win32Shell::executeAndWait(const ShellExecution& execution) {
    SHELLEXECUTEINFOW record = {};
    record.cbSize = sizeof record;
    record.fMask = execution.mask;
    record.lpVerb = textOrNull(execution.verb);
    record.lpFile = textOrNull(execution.file);
    record.lpParameters = textOrNull(execution.parameters);
    record.lpDirectory = textOrNull(execution.directory);
    record.nShow = execution.show;
    const bool launched = ShellExecuteExW(&record) != FALSE;
    const ScopedHandle process(record.hProcess);
    if (process.valid()) {
        WaitForSingleObject(process.get(), INFINITE);
    }
    return launched;
}

bool Win32Shell::systemDirectory(std::uint32_t bufferChars, std::wstring& directory) {
    std::wstring buffer(bufferChars, L'\0');
    const UINT length = GetSystemDirectoryW(buffer.data(), bufferChars);
    // A directory that does not fit comes back as the size it would need, terminator included.
    if (length == 0 || length >= bufferChars) {
        return false;
    }
    buffer.resize(length);
    directory = std::move(buffer);
    return true;
}

}  // namespace platform
