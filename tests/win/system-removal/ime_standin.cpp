// Stands in for a running input-method instance: a message-only window with the given title that appends
// "ready" and then the number of every application message it gets to a log file, one per line.
//   ime_standin.exe LOG TITLE [--never-answer-3002 | --top-level]
// With --never-answer-3002 the window logs 3002 and then never returns from it; with --top-level the
// window is an ordinary hidden top-level window instead of a message-only one.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t* logPath = nullptr;
bool neverAnswer3002 = false;

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
        if (message == 3002 && neverAnswer3002) Sleep(INFINITE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    logPath = argv[1];
    const bool topLevel = argc > 3 && std::wcscmp(argv[3], L"--top-level") == 0;
    neverAnswer3002 = argc > 3 && std::wcscmp(argv[3], L"--never-answer-3002") == 0;

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
