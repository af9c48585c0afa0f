#pragma once
// Starting and watching the stand-in programs that are built beside the test programs.
#include <windows.h>

#include <string>

namespace standins {

// The folder holding the running test program, without a trailing backslash.
std::wstring programFolder();

// text between double quotes, as one command-line argument.
std::wstring inQuotes(const std::wstring& text);

// A started process; ended with TerminateProcess when still running at destruction.
class StartedProcess {
public:
    explicit StartedProcess(const std::wstring& commandLine);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    // True when the process ended within timeoutMs.
    bool endsWithin(DWORD timeoutMs) const;
    DWORD exitCode() const;

private:
    HANDLE process_ = nullptr;
};

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::wstring& path);

// Waits up to timeoutMs until the file holds text; true when it did.
bool waitForText(const std::wstring& path, const std::string& text, DWORD timeoutMs);

// A fresh file name in the temporary folder, the file not yet created.
std::wstring temporaryPath(const std::wstring& stem);

}  // namespace standins
