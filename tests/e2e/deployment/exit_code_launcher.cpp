// Starts a program the way a deployment tool does and records its whole exit code: Wine hands a Unix parent
// only the low 8 bits of a Windows exit code (1602 would arrive as 66).
// usage: exit_code_launcher RECORD_FILE PROGRAM [ARGUMENTS...]
//   runs the rest of the command line after RECORD_FILE as it stands, waits for the program to end and writes
//   its exit code in decimal to RECORD_FILE (a Windows path without spaces); exits 0, or 1 when the program
//   could not be started.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line after its first word, quoted or not.
const wchar_t* afterFirstWord(const wchar_t* line) {
    while (*line == L' ' || *line == L'\t') ++line;
    bool quoted = false;
    for (; *line != L'\0' && (quoted || (*line != L' ' && *line != L'\t')); ++line) {
        if (*line == L'"') quoted = !quoted;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

}  // namespace

int wmain() {
    const wchar_t* arguments = afterFirstWord(GetCommandLineW());
    const wchar_t* command = afterFirstWord(arguments);
    std::wstring record(arguments, command);
    while (!record.empty() && (record.back() == L' ' || record.back() == L'\t')) record.pop_back();

    std::wstring commandLine(command);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (record.empty() || commandLine.empty() ||
        !CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        std::fprintf(stderr, "cannot start: %ls\n", command);
        return 1;
    }
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    if (FILE* out = _wfopen(record.c_str(), L"w")) {
        std::fprintf(out, "%lu\n", static_cast<unsigned long>(code));
        std::fclose(out);
    }
    return 0;
}
