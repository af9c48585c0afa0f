// The wizard's figures under Wine, each against a floor measured the same way in the same run:
//   ui_bench startup          process start to the end of the wizard's first render and push
//   ui_bench startup-floor    process start to the first push of a plain layered window of the wizard's size
//   ui_bench install PERCENT  a whole install of the package appended to this program, through the wizard's
//                             own install button, with the wizard at that display scale (100, 125, 150 or 200):
//                             its duration, the median render while the bar moves (and of it the repaint and
//                             composition), the views each render repainted, the pictures filtered during the
//                             install
//   ui_bench render-floor PERCENT  the median push of a bare surface of the wizard's size at that scale, made
//                             while the same install runs through the wizard: the renders it is the floor of
//                             come while the worker extracts, and the pushes then meet the same competition
// Each prints one line "name value" per figure for the bench script to collect; the names of the install's
// figures end in _PERCENT.
#include "app/CInstallerWindow.h"
#include "engine/InstallerEngine.h"
#include "platform/win32/WindowsPlatform.h"
#include "system/InstallSystemSteps.h"
#include "toolkit/UIResources.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

double nowMs() {
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds since the process was created, on the system clock the creation time is kept in.
double sinceProcessStartMs() {
    FILETIME creation;
    FILETIME ignored;
    FILETIME now;
    GetProcessTimes(GetCurrentProcess(), &creation, &ignored, &ignored, &ignored);
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(creation)) / 10000.0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void drainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Views the next render repaints: the dirty ones among the visible.
int dirtyViews(UIView* view) {
    if (view == nullptr || view->isHidden()) return 0;
    int count = view->isDirty() ? 1 : 0;
    if (MGArray* children = view->children()) {
        MGArrayIterator iterator = children->makeIterator();
        while (MGObject* child = MGArray::nextForward(iterator)) {
            count += dirtyViews(static_cast<UIView*>(child));
        }
    }
    return count;
}

// The wizard's window, with its renders timed: the first from process start, every one on its own with the
// number of views it repainted (the dirty ones among the visible when it began) and the part of it spent
// repainting and compositing the tree before the push.
class TimedInstallerWindow final : public CInstallerWindow {
public:
    using CInstallerWindow::CInstallerWindow;
    void render() override {
        const int repainted = dirtyViews(rootView());
        const double start = nowMs();
        paintTree(rootView());
        const double painted = nowMs();
        // The tree is up to date: what is left of the render is the push.
        CInstallerWindow::render();
        renders.push_back(Render{nowMs() - start, painted - start, repainted});
        if (firstRenderMs < 0) firstRenderMs = sinceProcessStartMs();
    }

    struct Render {
        double ms;
        double paintMs;
        int repainted;
    };
    std::vector<Render> renders;
    double firstRenderMs = -1;
};

// A plain layered window of the wizard's size at a display scale, pushed from a zeroed premultiplied surface.
class PlainLayeredWindow {
public:
    explicit PlainLayeredWindow(float scale = 1.0f)
        : size_{deviceLength(kInstallerWindowWidth, scale), deviceLength(kInstallerWindowHeight, scale)} {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ZelnBenchFloor";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_LAYERED, L"ZelnBenchFloor", L"floor", WS_POPUP, 0, 0, size_.cx, size_.cy,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size_.cx;
        info.bmiHeader.biHeight = -size_.cy;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        memory_ = CreateCompatibleDC(nullptr);
        surface_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous_ = SelectObject(memory_, surface_);
    }
    ~PlainLayeredWindow() {
        SelectObject(memory_, previous_);
        DeleteObject(surface_);
        DeleteDC(memory_);
        DestroyWindow(window_);
    }
    PlainLayeredWindow(const PlainLayeredWindow&) = delete;
    PlainLayeredWindow& operator=(const PlainLayeredWindow&) = delete;

    void push() const {
        POINT origin = {0, 0};
        SIZE size = size_;
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UpdateLayeredWindow(window_, nullptr, &origin, &size, memory_, &origin, 0, &blend, ULW_ALPHA);
    }
    void show() const { ShowWindow(window_, SW_SHOWNOACTIVATE); }

private:
    SIZE size_;
    HWND window_ = nullptr;
    HDC memory_ = nullptr;
    HBITMAP surface_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

int startupFloor() {
    PlainLayeredWindow window;
    window.push();
    window.show();
    std::printf("startup_floor_ms %.2f\n", sinceProcessStartMs());
    return 0;
}

// The wizard made as the installer makes it, at a display scale; its views load their pictures from this
// program's resources.
struct Wizard {
    platform::WindowsPlatform windows{GetModuleHandleW(nullptr)};
    platform::Services services = windows.services();
    InstallSystemSteps steps{services};
    InstallerEngine engine;
    TimedInstallerWindow window{InstallerParts{engine, windows.facts(), services.directoryWalk, steps}};

    explicit Wizard(float scale = 1.0f) {
        window.createTopLevel(GetModuleHandleW(nullptr), 0, WS_EX_APPWINDOW, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                              kInstallerWindowClass);
        window.setScale(scale);
        window.setFrame(0, 0, kInstallerWindowWidth, kInstallerWindowHeight);
        window.setHidden(false);
    }
};

int startup() {
    Wizard wizard;
    bool rendered = false;
    while (!rendered) {
        drainMessages();
        rendered = wizard.window.firstRenderMs >= 0;
        if (!rendered) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    std::printf("startup_ms %.2f\n", wizard.window.firstRenderMs);
    return 0;
}

// Runs the message loop until the install has ended one way or the other, or the bound has passed.
bool pumpUntilInstallEnds(const InstallerEngine& engine, double boundMs) {
    const double start = nowMs();
    while (nowMs() - start < boundMs) {
        drainMessages();
        if (engine.context().lastProgress == 100 || UIInstallerView::shownFailureCode() >= 0) {
            drainMessages();
            return engine.context().lastProgress == 100;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return false;
}

// The wizard's page once it has settled: a person reads the welcome page before the click, and by then the
// page has prepared the install's pictures.
UIInstallerView* settledPage(Wizard& wizard) {
    auto* page = static_cast<UIInstallerView*>(wizard.window.rootView());
    while (!page->picturesPrepared()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        drainMessages();
    }
    return page;
}

int renderFloor(int percent) {
    Wizard wizard(static_cast<float>(percent) / 100.0f);
    UIInstallerView* page = settledPage(wizard);
    PlainLayeredWindow floor(wizard.window.scale());
    floor.show();
    std::vector<double> pushMs;
    page->handleAction(ACTION_INSTALL, page->installButton());
    const double start = nowMs();
    while (wizard.engine.context().lastProgress < 100 && UIInstallerView::shownFailureCode() < 0 &&
           nowMs() - start < 300000.0) {
        drainMessages();
        const double pushStart = nowMs();
        floor.push();
        pushMs.push_back(nowMs() - pushStart);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    drainMessages();
    if (wizard.engine.context().lastProgress < 100) {
        std::fprintf(stderr, "ui_bench: the install did not succeed (code %d)\n", UIInstallerView::shownFailureCode());
        return 1;
    }
    std::printf("render_floor_ms_%d %.3f\n", percent, median(pushMs));
    return 0;
}

int install(int percent) {
    Wizard wizard(static_cast<float>(percent) / 100.0f);
    UIInstallerView* page = settledPage(wizard);
    const size_t welcomeRenders = wizard.window.renders.size();
    const uint64_t filteredAtWelcome = pictureFilterings();
    const double start = nowMs();
    page->handleAction(ACTION_INSTALL, page->installButton());
    if (!pumpUntilInstallEnds(wizard.engine, 300000.0)) {
        std::fprintf(stderr, "ui_bench: the install did not succeed (code %d)\n", UIInstallerView::shownFailureCode());
        return 1;
    }
    const double installMs = nowMs() - start;
    // The renders while the bar moved: after the installing page's first and before the success page's.
    std::vector<double> renderMs;
    std::vector<double> paintMs;
    std::vector<double> repainted;
    const auto& renders = wizard.window.renders;
    for (size_t i = welcomeRenders + 1; i + 1 < renders.size(); ++i) {
        renderMs.push_back(renders[i].ms);
        paintMs.push_back(renders[i].paintMs);
        repainted.push_back(renders[i].repainted);
    }
    std::printf("install_ms_%d %.1f\nprogress_renders_%d %zu\nrender_ms_%d %.3f\nrender_paint_ms_%d %.3f\n"
                "views_repainted_%d %.0f\npictures_filtered_welcome_%d %llu\npictures_filtered_install_%d %llu\n",
                percent, installMs, percent, renderMs.size(), percent, median(renderMs), percent, median(paintMs),
                percent, median(repainted), percent,
                static_cast<unsigned long long>(filteredAtWelcome), percent,
                static_cast<unsigned long long>(pictureFilterings() - filteredAtWelcome));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"startup") == 0) return startup();
    if (argc == 2 && std::wcscmp(argv[1], L"startup-floor") == 0) return startupFloor();
    if (argc == 3) {
        const int percent = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
        if (percent >= 100 && percent <= 200 && std::wcscmp(argv[1], L"install") == 0) return install(percent);
        if (percent >= 100 && percent <= 200 && std::wcscmp(argv[1], L"render-floor") == 0) {
            return renderFloor(percent);
        }
    }
    std::fprintf(stderr, "usage: ui_bench startup | startup-floor | install PERCENT | render-floor PERCENT"
                         " (PERCENT 100 to 200)\n");
    return 2;
}
