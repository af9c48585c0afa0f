// Stands in for a running input-method instance: a message-only window with the given title that appends
// "ready" and then the number of every application message it gets to a log file, one per line.
//   ime_standin.exe LOG TITLE [--never-answer-3002 | --answer-3002-after MS | --top-level]
// With --never-answer-3002 the window logs 3002 and then never returns from it; with --answer-3002-after it
// returns after MS milliseconds, holding an install at its first pre-check for that long; with --top-level
// the window is an ordinary hidden top-level window instead of a message-only one.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t* logPath = nullptr;
DWORD answer3002After = 0;  // 0 answers at once, INFINITE never

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
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    logPath = argv[1];
    const bool topLevel = argc > 3 && std::wcscmp(argv[3], L"--top-level") == 0;
    if (argc > 3 && std::wcscmp(argv[3], L"--never-answer-3002") == 0) answer3002After = INFINITE;
    if (argc > 4 && std::wcscmp(argv[3], L"--answer-3002-after") == 0) answer3002After = std::wcstoul(argv[4], nullptr, 10);

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
