#pragma once
// The toolkit's top-level window: borderless, per-pixel alpha, its whole content one tree of views.
// It turns mouse messages into view events, coalesces redraw requests into one posted message, renders
// the tree into the root view's surface and pushes that, or the part of it that changed, to the screen.
// It also keeps the process-wide toolkit state: the registry that routes messages to windows, the hidden
// message-only owner window, and the drawing library's start-up and shutdown, counted across windows.
// The window's size and its views live on a logical grid of 96 to the inch; its display scale (the
// display's DPI over 96) makes the views paint at device resolution, and mouse positions are divided by it.
#include <windows.h>

#include <cstdint>

#include "toolkit/UITypes.h"

class UIView;

// Milliseconds on the system's high-resolution clock, for timing renders and spacing them.
double renderClockMs();

// The redraw request a window posts to itself.
constexpr UINT kRedrawRequestMessage = WM_USER + 1;
// WM_DPICHANGED (Windows 8.1 on; the headers of the oldest Windows the program supports do not name it):
// the window moved to a display of another DPI, given in the low word of wParam; lParam points to the
// rectangle the system suggests for the window at that DPI.
constexpr UINT kDpiChangedMessage = 0x02E0;
// Class of the hidden message-only window that owns the toolkit's top-level windows.
constexpr wchar_t kOwnerWindowClass[] = L"UIWINDOWPROC_CLASS{40301962-4093-42b9-9d6d-dbe9d53b247c}";

class UIWindow {
public:
    UIWindow() = default;
    UIWindow(const UIWindow&) = delete;
    UIWindow& operator=(const UIWindow&) = delete;
    // The window owns the root view it made: its destructor deletes that view (the views inside it
    // belong to whoever made them), then destroys the operating-system window if it is still there.
    virtual ~UIWindow();

    virtual void create(HINSTANCE instance, HWND parent, UINT classStyle, DWORD extendedStyle, DWORD style,
                        const wchar_t* className);
    virtual void createTopLevel(HINSTANCE instance, UINT classStyle, DWORD extendedStyle, DWORD style,
                                const wchar_t* className);
    // On the owner thread: leaves the registry, destroys the operating-system window, unregisters the
    // class if this window registered it and lets go of the drawing library. From another thread it is
    // carried to the owner thread by a synchronous WM_DESTROY.
    virtual void destroy();
    virtual bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    virtual UIRect frame() const;
    virtual void setFrame(UIRect frame);
    // Stores the frame and lays out the root view; the operating-system window moves at the next push.
    virtual void setFrame(int32_t x, int32_t y, int32_t width, int32_t height);
    virtual void moveTo(int32_t x, int32_t y);
    virtual bool isRedrawPending() const { return redrawPending_; }
    virtual void setRedrawPending(bool pending);
    virtual int32_t userData() const { return userData_; }
    virtual void setUserData(int32_t value) { userData_ = value; }
    virtual float scale() const { return scale_; }
    // Takes a finite positive scale, hands it to the views and repaints them at it; any other is ignored.
    virtual void setScale(float scale);
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual HWND handle() const { return handle_; }
    virtual int32_t createCount() const { return createCount_; }
    // The instance handle given to `create`, kept for the application.
    HINSTANCE instance() const { return instance_; }
    virtual UIView* rootView() const { return rootView_; }
    // Gives the capture to the view unless another holds it; answers the holder.
    virtual UIView* captureMouse(UIView* view);
    // Ends the capture and answers the view now under the cursor.
    virtual UIView* releaseMouse();
    virtual UIView* trackedView() const { return trackedView_; }
    virtual void onLeftButtonDown(uint32_t flags, int32_t x, int32_t y);
    virtual void onLeftButtonUp(uint32_t flags, int32_t x, int32_t y);
    virtual void onRightButtonDown(uint32_t flags, int32_t x, int32_t y);
    virtual void onRightButtonUp(uint32_t flags, int32_t x, int32_t y);
    virtual void onMouseMove(uint32_t flags, int32_t x, int32_t y);
    virtual void onMouseHover();
    virtual void onMouseLeave();
    // The system gave the capture to another window (another program's, a system dialog, a switch of task)
    // while a control held it: the press ends without a click, as a release outside the control would.
    virtual void onCaptureLost();
    virtual void onTimer(uintptr_t timerId);
    virtual void onMoved(int32_t x, int32_t y);
    // The system moved the window to a display of another DPI: it takes the suggested rectangle and
    // repaints at the new scale.
    virtual void onDpiChanged(uint32_t dpi, const RECT& suggested);
    // Repaints the dirty views, composites the tree and pushes the root surface to the screen.
    virtual void render();
    // How long the last render took, its painting and its push, in milliseconds.
    double lastRenderMs() const { return lastRenderMs_; }
    virtual bool queryCursor();
    virtual UIView* createRootView();
    // A point of the window's client area in device pixels, on the views' logical grid.
    UIPoint toViewCoordinates(int32_t x, int32_t y) const;

private:
    void push();
    // Pushes only the area of the root's composite, the window staying where and as large as it is; false
    // when the system cannot.
    bool pushArea(HDC windowDc, const BLENDFUNCTION& blend, UIRect area);
    UIView* viewUnderCursor();
    void registerClassIfMissing(UINT classStyle, const wchar_t* className);

    UIView* rootView_ = nullptr;
    bool redrawPending_ = false;
    double lastRenderMs_ = 0;
    int32_t userData_ = 0;
    bool needsMouseTracking_ = true;
    wchar_t className_[256] = {};
    WNDCLASSW windowClass_ = {};
    HINSTANCE instance_ = nullptr;
    int32_t createCount_ = 0;
    UIView* trackedView_ = nullptr;
    bool mouseCaptured_ = false;
    bool hidden_ = true;
    DWORD ownerThreadId_ = 0;
    float scale_ = 1.0f;
    POINT position_ = {0, 0};
    SIZE size_ = {0, 0};
    // The device size and the place of the last push; none before the first.
    SIZE pushedSize_ = {0, 0};
    POINT pushedPosition_ = {0, 0};
    HWND handle_ = nullptr;
};
