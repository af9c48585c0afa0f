#include "toolkit_test_support.h"

#include <gdiplus.h>

#include <algorithm>

using namespace Gdiplus;

void TestWindow::render() {
    ++renders;
    UIWindow::render();
}

LRESULT TestWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) destroyMessageThread = GetCurrentThreadId();
    return UIWindow::windowProc(message, wParam, lParam);
}

void parkPointer() {
    SetCursorPos(1200, 1000);
    pumpQueued();
}

void openWindow(TestWindow& window, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* className) {
    parkPointer();
    window.createTopLevel(nullptr, 0, 0, WS_POPUP, className);
    window.setFrame(x, y, width, height);
    window.setHidden(false);
}

RecordingView::RecordingView(HWND handle, const char* viewName, UIColor color) : UIView(handle), name(viewName) {
    setBackgroundColor(color);
}

void RecordingView::paint(GpGraphics* graphics, UIRect bounds) {
    ++paints;
    UIView::paint(graphics, bounds);
}

void RecordingView::onLeftButtonDown(uint32_t, int32_t x, int32_t y) {
    lastPress = UIPoint{x, y};
    if (events != nullptr) events->push_back(std::string("down ") + name);
}

void RecordingView::onMouseEnter() {
    if (events != nullptr) events->push_back(std::string("enter ") + name);
}

void RecordingView::onMouseExit() {
    if (events != nullptr) events->push_back(std::string("exit ") + name);
}

void ActionCounter::handleAction(int32_t action, MGObject* sender) {
    ++actions;
    lastAction = action;
    lastSender = sender;
    if (onAction) onAction();
}

void pumpQueued() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        pumpQueued();
    }
    return true;
}

namespace {

bool surfaceOf(HDC context, DIBSECTION& section) {
    GdiFlush();
    HGDIOBJ bitmap = GetCurrentObject(context, OBJ_BITMAP);
    return bitmap != nullptr && GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
           section.dsBm.bmBits != nullptr && section.dsBm.bmBitsPixel == 32;
}

// The pixel at (x, y) of the surface selected into the context, or none outside it.
uint32_t* pixelOf(HDC context, int32_t x, int32_t y) {
    DIBSECTION section = {};
    if (!surfaceOf(context, section)) return nullptr;
    const LONG width = section.dsBm.bmWidth;
    const LONG height = section.dsBm.bmHeight;
    if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    auto* pixels = static_cast<uint32_t*>(section.dsBm.bmBits);
    return &pixels[static_cast<size_t>(height - 1 - y) * width + x];  // rows run bottom-up
}

uint32_t pixelValue(HDC context, int32_t x, int32_t y) {
    const uint32_t* pixel = pixelOf(context, x, y);
    return pixel != nullptr ? *pixel : 0xDEADBEEF;
}

}  // namespace

uint32_t pixelAt(const UIView* view, int32_t x, int32_t y) { return pixelValue(view->compositeContext(), x, y); }

uint32_t paintedPixelAt(const UIView* view, int32_t x, int32_t y) {
    return pixelValue(view->drawingContext(), x, y);
}

void overwritePaintedPixel(const UIView* view, int32_t x, int32_t y, uint32_t value) {
    if (uint32_t* pixel = pixelOf(view->drawingContext(), x, y)) *pixel = value;
}

uint8_t alphaOf(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 24); }
uint8_t redOf(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 16); }
uint8_t greenOf(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 8); }
uint8_t blueOf(uint32_t pixel) { return static_cast<uint8_t>(pixel); }

UIPoint deviceSize(const UIView* view) {
    return UIPoint{deviceLength(view->frame().width, view->scale()), deviceLength(view->frame().height, view->scale())};
}

UIRect inkBounds(const UIView* view, uint8_t threshold) {
    const UIPoint size = deviceSize(view);
    int32_t left = size.x, top = size.y, right = -1, bottom = -1;
    for (int32_t y = 0; y < size.y; ++y) {
        for (int32_t x = 0; x < size.x; ++x) {
            if (alphaOf(pixelAt(view, x, y)) <= threshold) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return UIRect{0, 0, 0, 0};
    return UIRect{left, top, right - left + 1, bottom - top + 1};
}

int inkInColumn(const UIView* view, int32_t x, uint8_t threshold) {
    int count = 0;
    for (int32_t y = 0; y < deviceSize(view).y; ++y) count += alphaOf(pixelAt(view, x, y)) > threshold;
    return count;
}

int inkInRow(const UIView* view, int32_t y, uint8_t threshold) {
    int count = 0;
    for (int32_t x = 0; x < deviceSize(view).x; ++x) count += alphaOf(pixelAt(view, x, y)) > threshold;
    return count;
}

void placeCursor(const UIWindow& window, int32_t x, int32_t y) {
    const UIRect frame = window.frame();
    SetCursorPos(frame.x + x, frame.y + y);
}

void sendMouse(const UIWindow& window, UINT message, WPARAM flags, int32_t x, int32_t y) {
    placeCursor(window, x, y);
    SendMessageW(window.handle(), message, flags, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}
