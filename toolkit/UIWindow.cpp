#include "toolkit/UIWindow.h"

#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <vector>

#include "platform/win32/SystemFunction.h"
#include "toolkit/ScopedGdi.h"
#include "toolkit/UIResources.h"
#include "toolkit/UIView.h"

namespace {

// Process-wide toolkit state, touched only on the interface thread.
std::vector<UIWindow*> windowRegistry;  // live windows, in creation order
HWND ownerWindow = nullptr;
int32_t ownerWindowUsers = 0;
int32_t gdiplusUsers = 0;
ULONG_PTR gdiplusToken = 0;

// Classes and windows are registered under the process's own module, the toolkit being linked into it.
HINSTANCE toolkitModule() { return GetModuleHandleW(nullptr); }

int32_t lowSigned(LPARAM value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }
int32_t highSigned(LPARAM value) { return static_cast<int16_t>(static_cast<uint16_t>((value >> 16) & 0xFFFF)); }

void unlinkFromRegistry(const UIWindow* window) {
    windowRegistry.erase(std::remove(windowRegistry.begin(), windowRegistry.end(), window), windowRegistry.end());
}

LRESULT CALLBACK dispatchToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (UIWindow* registered : windowRegistry) {
        if (registered->handle() == window) return registered->windowProc(message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ownerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && window == ownerWindow) {
        ownerWindow = nullptr;
        ownerWindowUsers = 0;
        UnregisterClassW(kOwnerWindowClass, toolkitModule());
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void acquireDrawingLibrary() {
    if (gdiplusUsers > 0) {
        ++gdiplusUsers;
        return;
    }
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    loadDefaultFont();
    ++gdiplusUsers;
}

void releaseDrawingLibrary() {
    if (--gdiplusUsers > 0) return;
    releaseDefaultFont();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
}

HWND acquireOwnerWindow() {
    if (ownerWindowUsers > 0) {
        ++ownerWindowUsers;
        return ownerWindow;
    }
    WNDCLASSW ownerClass = {};
    if (!GetClassInfoW(toolkitModule(), kOwnerWindowClass, &ownerClass)) {
        ownerClass.style = CS_HREDRAW | CS_VREDRAW;
        ownerClass.lpfnWndProc = ownerWindowProc;
        ownerClass.hInstance = toolkitModule();
        ownerClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        ownerClass.hCursor = LoadCursorW(nullptr, IDC_CROSS);
        ownerClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        ownerClass.lpszClassName = kOwnerWindowClass;
        RegisterClassW(&ownerClass);
    }
    ownerWindow = CreateWindowExW(0, kOwnerWindowClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
    ownerWindowUsers = 1;
    return ownerWindow;
}

}  // namespace

UIWindow::~UIWindow() {
    // The views go while the drawing library still runs: their images and fonts are its objects.
    delete rootView_;
    rootView_ = nullptr;
    destroy();
    // A window whose system window could not be made stays registered, since `destroy` does nothing
    // without a handle; the dispatcher must never reach an object that is gone.
    unlinkFromRegistry(this);
}

void UIWindow::registerClassIfMissing(UINT classStyle, const wchar_t* className) {
    WNDCLASSW existing = {};
    if (GetClassInfoW(toolkitModule(), className, &existing)) return;
    windowClass_ = WNDCLASSW{};
    windowClass_.style = classStyle;
    windowClass_.lpfnWndProc = dispatchToWindow;
    windowClass_.hInstance = toolkitModule();
    windowClass_.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass_.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass_.lpszClassName = className;
    // Only the window that registered the class keeps its name, and so only it unregisters the class.
    if (RegisterClassW(&windowClass_) != 0) {
        wcsncpy(className_, className, 255);
        className_[255] = L'\0';
    }
    windowClass_.lpszClassName = className_;
}

void UIWindow::create(HINSTANCE instance, HWND parent, UINT classStyle, DWORD extendedStyle, DWORD style,
                      const wchar_t* className) {
    if (className == nullptr || wcslen(className) > 255) return;
    registerClassIfMissing(classStyle, className);
    ++createCount_;
    instance_ = instance;
    acquireDrawingLibrary();
    ownerThreadId_ = GetCurrentThreadId();
    HWND owner = acquireOwnerWindow();
    // Messages sent while the window is being made find no registered window yet and get the default.
    handle_ = CreateWindowExW(extendedStyle | WS_EX_LAYERED, className, nullptr, style, 0, 0, 0, 0,
                              parent != nullptr ? parent : owner, nullptr, toolkitModule(), this);
    rootView_ = createRootView();
    if (rootView_ != nullptr) {
        rootView_->window_ = this;
        rootView_->setScale(scale_);
    }
    windowRegistry.push_back(this);
}

void UIWindow::createTopLevel(HINSTANCE instance, UINT classStyle, DWORD extendedStyle, DWORD style,
                              const wchar_t* className) {
    create(instance, nullptr, classStyle, extendedStyle, style, className);
}

void UIWindow::destroy() {
    if (handle_ == nullptr) return;
    if (GetCurrentThreadId() != ownerThreadId_) {
        SendMessageW(handle_, WM_DESTROY, 0, 0);
        return;
    }
    // Out of the registry first, so that the WM_DESTROY that DestroyWindow sends is not routed back here.
    unlinkFromRegistry(this);
    DestroyWindow(handle_);
    if (className_[0] != L'\0') {
        UnregisterClassW(className_, toolkitModule());
        className_[0] = L'\0';
    }
    handle_ = nullptr;
    pushedSize_ = SIZE{0, 0};
    pushedPosition_ = POINT{0, 0};
    trackedView_ = nullptr;
    mouseCaptured_ = false;
    releaseDrawingLibrary();
}

void UIWindow::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    ShowWindow(handle_, hidden ? SW_HIDE : SW_SHOWNA);
    hidden_ = hidden;
}

UIRect UIWindow::frame() const { return UIRect{position_.x, position_.y, size_.cx, size_.cy}; }

void UIWindow::setFrame(UIRect frame) { setFrame(frame.x, frame.y, frame.width, frame.height); }

void UIWindow::setFrame(int32_t x, int32_t y, int32_t width, int32_t height) {
    position_ = POINT{x, y};
    size_ = SIZE{width, height};
    if (rootView_ != nullptr) rootView_->setFrame(UIRect{0, 0, width, height});
    setRedrawPending(true);
}

void UIWindow::moveTo(int32_t x, int32_t y) {
    position_ = POINT{x, y};
    SetWindowPos(handle_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void UIWindow::setRedrawPending(bool pending) {
    // Without a system window there is nothing to render, and a post to no window would be a thread
    // message that leaves the flag set for good.
    if (handle_ == nullptr) return;
    // Only a request posts: any number of them before the message is handled make one render. The root is
    // not repainted for it: a view's change rebuilds the composites above it from their kept paintings.
    if (pending && !redrawPending_) PostMessageW(handle_, kRedrawRequestMessage, 0, 0);
    redrawPending_ = pending;
}

void UIWindow::setScale(float scale) {
    // Mouse points are divided by the scale and the pushed image is sized by it: a scale that is not a
    // finite positive number would divide by zero or size the image at nothing, and is not taken.
    if (!(scale > 0.0f) || !std::isfinite(scale) || scale == scale_) return;
    scale_ = scale;
    if (rootView_ != nullptr) rootView_->setScale(scale);
    setRedrawPending(true);
}

LRESULT UIWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto flags = static_cast<uint32_t>(wParam);
    switch (message) {
        case WM_DESTROY:
            destroy();
            return 1;
        case WM_MOVE:
            onMoved(lowSigned(lParam), highSigned(lParam));
            return 0;
        case WM_SETCURSOR:
            return 1;
        case WM_TIMER:
            onTimer(static_cast<uintptr_t>(wParam));
            return 0;
        case WM_MOUSEMOVE:
            onMouseMove(flags, lowSigned(lParam), highSigned(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            onLeftButtonDown(flags, lowSigned(lParam), highSigned(lParam));
            return 0;
        case WM_LBUTTONUP:
            onLeftButtonUp(flags, lowSigned(lParam), highSigned(lParam));
            return 0;
        case WM_RBUTTONDOWN:
            onRightButtonDown(flags, lowSigned(lParam), highSigned(lParam));
            return 0;
        case WM_RBUTTONUP:
            onRightButtonUp(flags, lowSigned(lParam), highSigned(lParam));
            return 0;
        case WM_MOUSEHOVER:
            onMouseHover();
            return 0;
        case WM_MOUSELEAVE:
            onMouseLeave();
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != handle_) onCaptureLost();
            return 0;
        case kDpiChangedMessage:
            if (lParam != 0) onDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case kRedrawRequestMessage:
            render();
            return 1;
        default:
            return DefWindowProcW(handle_, message, wParam, lParam);
    }
}

UIView* UIWindow::captureMouse(UIView* view) {
    if (view == nullptr) return nullptr;
    if (!mouseCaptured_) {
        SetCapture(handle_);
        mouseCaptured_ = true;
        trackedView_ = view;
    }
    return trackedView_;
}

UIView* UIWindow::releaseMouse() {
    if (!mouseCaptured_) return nullptr;
    // Cleared first: ReleaseCapture sends WM_CAPTURECHANGED at once, and a capture given back is not lost.
    mouseCaptured_ = false;
    trackedView_ = nullptr;
    ReleaseCapture();
    return viewUnderCursor();
}

UIPoint UIWindow::toViewCoordinates(int32_t x, int32_t y) const {
    return UIPoint{static_cast<int32_t>(static_cast<float>(x) / scale_),
                   static_cast<int32_t>(static_cast<float>(y) / scale_)};
}

UIView* UIWindow::viewUnderCursor() {
    POINT cursor;
    if (!GetCursorPos(&cursor)) return nullptr;
    const UIPoint point = toViewCoordinates(cursor.x - position_.x, cursor.y - position_.y);
    return hitTest(rootView_, point.x, point.y, nullptr);
}

void UIWindow::onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) {
    const UIPoint point = toViewCoordinates(x, y);
    UIPoint local{0, 0};
    UIView* hit = hitTest(rootView_, point.x, point.y, &local);
    if (hit != nullptr && hit->acceptsLeftButtonDown(flags, local.x, local.y)) {
        hit->onLeftButtonDown(flags, local.x, local.y);
    }
}

void UIWindow::onLeftButtonUp(uint32_t flags, int32_t x, int32_t y) {
    const UIPoint point = toViewCoordinates(x, y);
    UIView* receiver = nullptr;
    UIPoint local{0, 0};
    if (mouseCaptured_ && trackedView_ != nullptr) {
        receiver = trackedView_;
        local = toLocal(receiver, point.x, point.y);
    } else {
        receiver = hitTest(rootView_, point.x, point.y, &local);
    }
    if (receiver != nullptr && receiver->acceptsLeftButtonUp(flags, local.x, local.y)) {
        receiver->onLeftButtonUp(flags, local.x, local.y);
    }
    // The hover state is worked out again for where the button came up.
    PostMessageW(handle_, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void UIWindow::onRightButtonDown(uint32_t, int32_t, int32_t) {}
void UIWindow::onRightButtonUp(uint32_t, int32_t, int32_t) {}

void UIWindow::onMouseMove(uint32_t flags, int32_t x, int32_t y) {
    if (needsMouseTracking_) {
        TRACKMOUSEEVENT tracking = {};
        tracking.cbSize = sizeof tracking;
        tracking.dwFlags = TME_HOVER | TME_LEAVE;
        tracking.hwndTrack = handle_;
        tracking.dwHoverTime = 0;
        TrackMouseEvent(&tracking);
        needsMouseTracking_ = false;
    }
    const UIPoint point = toViewCoordinates(x, y);
    if (mouseCaptured_ && trackedView_ != nullptr) {
        const UIPoint local = toLocal(trackedView_, point.x, point.y);
        if (trackedView_->acceptsMouseMove(flags, local.x, local.y)) trackedView_->onMouseMove(flags, local.x, local.y);
        return;
    }
    UIPoint local{0, 0};
    UIView* hit = hitTest(rootView_, point.x, point.y, &local);
    if (hit != trackedView_) {
        if (trackedView_ != nullptr && trackedView_->acceptsMouseExit()) trackedView_->onMouseExit();
        trackedView_ = hit;
        if (hit != nullptr) {
            if (hit->acceptsMouseEnter()) hit->onMouseEnter();
            const uint32_t cursor = hit->cursorId();
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor != 0 ? cursor : 32512)));
        }
    }
    if (trackedView_ != nullptr && trackedView_->acceptsMouseMove(flags, local.x, local.y)) {
        trackedView_->onMouseMove(flags, local.x, local.y);
    }
}

void UIWindow::onMouseHover() {
    // While a control holds the capture, the release belongs to it: hovering elsewhere must not take
    // the tracked view away, or the release would reach (and click) a view that was never pressed.
    if (mouseCaptured_) return;
    UIView* hit = viewUnderCursor();
    if (hit != nullptr && hit != trackedView_) {
        trackedView_ = hit;
        if (hit->acceptsMouseEnter()) hit->onMouseEnter();
    }
}

void UIWindow::onMouseLeave() {
    needsMouseTracking_ = true;
    if (trackedView_ != nullptr && trackedView_->acceptsMouseExit()) trackedView_->onMouseExit();
    // The capturing control stays tracked: the button's release outside the window still belongs to it.
    if (!mouseCaptured_) trackedView_ = nullptr;
}

void UIWindow::onCaptureLost() {
    if (!mouseCaptured_) return;
    UIView* pressed = trackedView_;
    mouseCaptured_ = false;
    trackedView_ = nullptr;
    if (pressed == nullptr) return;
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    const UIPoint point = toViewCoordinates(cursor.x - position_.x, cursor.y - position_.y);
    const UIPoint local = toLocal(pressed, point.x, point.y);
    pressed->onLeftButtonUpOutside(0, local.x, local.y);
    if (pressed->acceptsMouseExit()) pressed->onMouseExit();
}

void UIWindow::onTimer(uintptr_t) {}

void UIWindow::onMoved(int32_t x, int32_t y) { position_ = POINT{x, y}; }

void UIWindow::onDpiChanged(uint32_t dpi, const RECT& suggested) {
    // Placed at once, as the system expects while it moves the window between displays; the content follows
    // at the next push, which gives the window the size of its grid at the new scale.
    position_ = POINT{suggested.left, suggested.top};
    SetWindowPos(handle_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    setScale(static_cast<float>(dpi) / 96.0f);
    setRedrawPending(true);
}

double renderClockMs() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0 || !QueryPerformanceCounter(&now)) {
        return static_cast<double>(GetTickCount());
    }
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void UIWindow::render() {
    const double start = renderClockMs();
    paintTree(rootView_);
    push();
    redrawPending_ = false;
    lastRenderMs_ = renderClockMs() - start;
}

// The root's composite is already in device pixels: pushed as it is, at the size of the grid at the scale.
// While the window keeps its place and size, only the part of it that changed since the last push is pushed
// again: the system keeps the rest, and a progress notice then costs the bar's rows, not the whole window.
// Where the system cannot push a part (before Windows Vista), the whole goes.
void UIWindow::push() {
    if (rootView_ == nullptr) return;
    SIZE pushed = {deviceLength(size_.cx, scale_), deviceLength(size_.cy, scale_)};
    const UIRect changed = rootView_->takeChangedArea();
    const bool inPlace = pushed.cx == pushedSize_.cx && pushed.cy == pushedSize_.cy &&
                         position_.x == pushedPosition_.x && position_.y == pushedPosition_.y;
    if (inPlace && isEmpty(changed)) return;
    ScopedWindowDc windowDc(handle_, GetWindowDC(handle_));
    BLENDFUNCTION blend = sharedBlend();
    if (!inPlace || !pushArea(windowDc.get(), blend, changed)) {
        POINT source = {0, 0};
        UpdateLayeredWindow(handle_, windowDc.get(), &position_, &pushed, rootView_->compositeContext(), &source, 0,
                            &blend, ULW_ALPHA);
    }
    pushedSize_ = pushed;
    pushedPosition_ = position_;
}

bool UIWindow::pushArea(HDC windowDc, const BLENDFUNCTION& blend, UIRect area) {
    using UpdateIndirect = BOOL(WINAPI*)(HWND, const UPDATELAYEREDWINDOWINFO*);
    static const auto updateIndirect =
        platform::systemFunction<UpdateIndirect>(L"user32.dll", "UpdateLayeredWindowIndirect");
    if (updateIndirect == nullptr) return false;
    const POINT source = {0, 0};
    const RECT dirty = {area.x, area.y, area.x + area.width, area.y + area.height};
    UPDATELAYEREDWINDOWINFO update = {};
    update.cbSize = sizeof update;
    update.hdcDst = windowDc;
    // No place and no size: the window keeps both, and the system has no move or resize to make.
    update.hdcSrc = rootView_->compositeContext();
    update.pptSrc = &source;
    update.pblend = &blend;
    update.dwFlags = ULW_ALPHA;
    update.prcDirty = &dirty;
    return updateIndirect(handle_, &update) != FALSE;
}

bool UIWindow::queryCursor() {
    POINT cursor;
    return GetCursorPos(&cursor) != FALSE;
}

UIView* UIWindow::createRootView() { return new UIView(handle_); }
