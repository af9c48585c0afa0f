// Stands in for a running input-method instance: a message-only window with the given title that appends
// "ready" and then the number of every application message it gets to a log file, one per line.
//   ime_standin.exe LOG TITLE [--never-answer-3002 | --answer-3002-after MS] [--answer-3001-after MS] [--top-level]
// With --never-answer-3002 the window logs 3002 and then never returns from it; with --answer-3002-after it
// returns after MS milliseconds, holding an install at its first pre-check for that long; --answer-3001-after
// holds the install the same way at its notice after the files are in place; with --top-level the window is
// an ordinary hidden top-level window instead of a message-only one.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t* logPath = nullptr;
// How long the window takes to answer each notice: 0 answers at once, INFINITE never.
DWORD answer3002After = 0;
DWORD answer3001After = 0;

void appendLine(const char* text) {
    FILE* log = _wfopen(logPath, L"ab");
    if (log == nullptr) return;
    std::fprintf(log, "%s\n", text);
    std::fclose(log);
}

LRESULT CALLBACK standInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER && message < 0xC000) {
        char number[16];
        std::snprintf(number, sizeof number, "%u", message);
        appendLine(number);
        if (message == 3002 && answer3002After != 0) Sleep(answer3002After);
        if (message == 3001 && answer3001After != 0) Sleep(answer3001After);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    logPath = argv[1];
    bool topLevel = false;
    for (int i = 3; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::wcscmp(argv[i], L"--top-level") == 0) {
            topLevel = true;
        } else if (std::wcscmp(argv[i], L"--never-answer-3002") == 0) {
            answer3002After = INFINITE;
        } else if (hasValue && std::wcscmp(argv[i], L"--answer-3002-after") == 0) {
            answer3002After = std::wcstoul(argv[++i], nullptr, 10);
        } else if (hasValue && std::wcscmp(argv[i], L"--answer-3001-after") == 0) {
            answer3001After = std::wcstoul(argv[++i], nullptr, 10);
        } else {
            return 2;
        }
    }

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = standInProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZelnImeStandIn";
    if (!RegisterClassExW(&windowClass)) return 3;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, argv[2], 0, 0, 0, 0, 0,
                                  topLevel ? nullptr : HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 4;
    appendLine("ready");

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
