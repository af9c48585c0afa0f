#include "StandIns.h"

#include <cstdio>
#include <vector>

namespace standins {

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring inQuotes(const std::wstring& text) { return L"\"" + text + L"\""; }

StartedProcess::StartedProcess(const std::wstring& commandLine) {
    // Wine brings the desktop up (its explorer process) for the first program that asks for it. A message-only
    // window created by a stand-in while the desktop is still coming up can land among the top-level windows
    // instead, out of the notifier's sight. Asked here first, the desktop is up before any stand-in starts.
    GetDesktopWindow();
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information = {};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &information)) {
        CloseHandle(information.hThread);
        process_ = information.hProcess;
    }
}

StartedProcess::~StartedProcess() {
    if (process_ == nullptr) return;
    if (!endsWithin(0)) {
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool StartedProcess::endsWithin(DWORD timeoutMs) const {
    return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD StartedProcess::exitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::string readFile(const std::wstring& path) {
    std::string content;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return content;
    char buffer[512];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) content.append(buffer, got);
    std::fclose(file);
    return content;
}

bool waitForText(const std::wstring& path, const std::string& text, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (readFile(path).find(text) == std::string::npos) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
    return true;
}

std::wstring temporaryPath(const std::wstring& stem) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L".log";
    DeleteFileW(path.c_str());
    return path;
}

}  // namespace standins
