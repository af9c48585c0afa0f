#pragma once
// What the toolkit's Windows tests share: a window that counts its renders, views that record what
// reaches them, a message pump, and pixels read straight from a view's surface.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/UIView.h"
#include "toolkit/UIWindow.h"

// A top-level toolkit window that counts renders and remembers on which thread WM_DESTROY arrived.
class TestWindow : public UIWindow {
public:
    int renders = 0;
    DWORD destroyMessageThread = 0;

    void render() override;
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Moves the pointer past every test window and handles what that queued. A window shown under the pointer
// an earlier test left there gets a real mouse move at some later pump, and with it a hover look.
void parkPointer();

// Creates the window as a popup of the given class and places it, with the pointer away from it; the first
// render is left queued.
void openWindow(TestWindow& window, int32_t x, int32_t y, int32_t width, int32_t height,
                const wchar_t* className = L"ZelnToolkitTestWindow");

// A view of one colour that counts its paints and records the mouse events it receives, by name.
class RecordingView : public UIView {
public:
    RecordingView(HWND handle, const char* name, UIColor color);

    int paints = 0;
    const char* name;
    std::vector<std::string>* events = nullptr;
    UIPoint lastPress{-1, -1};

    void paint(Gdiplus::GpGraphics* graphics, UIRect bounds) override;
    void onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) override;
    void onMouseEnter() override;
    void onMouseExit() override;
};

// The receiving end of a control's action, counting calls.
class ActionCounter : public MGObject {
public:
    int actions = 0;
    int32_t lastAction = -1;
    MGObject* lastSender = nullptr;
    std::function<void()> onAction;

    void handleAction(int32_t action, MGObject* sender) override;
};

// Dispatches every message already queued for this thread.
void pumpQueued();
// Pumps until the condition holds or the time runs out; answers the condition.
bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// A pixel of the view as the tree shows it (its composite) as 0xAARRGGBB (premultiplied), (0, 0) being the
// top-left corner; in device pixels, as the view's surface holds it at its scale.
uint32_t pixelAt(const UIView* view, int32_t x, int32_t y);
// The same pixel of the view's own painting, without its children.
uint32_t paintedPixelAt(const UIView* view, int32_t x, int32_t y);
// Overwrites a pixel of the view's own painting behind the tree's back: nothing is marked as changed.
void overwritePaintedPixel(const UIView* view, int32_t x, int32_t y, uint32_t pixel);
uint8_t alphaOf(uint32_t pixel);
uint8_t redOf(uint32_t pixel);
uint8_t greenOf(uint32_t pixel);
uint8_t blueOf(uint32_t pixel);

// The view's size in device pixels: its frame's at its scale.
UIPoint deviceSize(const UIView* view);
// The bounding box, in device pixels, of the pixels whose alpha exceeds `threshold`; width 0 when there are none.
UIRect inkBounds(const UIView* view, uint8_t threshold = 96);
// How many pixels of column x (or row y) carry ink.
int inkInColumn(const UIView* view, int32_t x, uint8_t threshold = 96);
int inkInRow(const UIView* view, int32_t y, uint8_t threshold = 96);

// Moves the real cursor to a point of the window, so that what the window reads with GetCursorPos
// agrees with the mouse messages the test sends.
void placeCursor(const UIWindow& window, int32_t x, int32_t y);
// Sends a mouse message with client coordinates, after placing the cursor there.
void sendMouse(const UIWindow& window, UINT message, WPARAM flags, int32_t x, int32_t y);
