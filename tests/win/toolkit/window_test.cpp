// The layered window: placement at the push, later pushes of only what changed, painting at a display scale
// and its hit testing, a move to a display of another DPI, mouse tracking and cursors, and teardown (twice,
// from another thread, two windows of one class).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "platform/Threads.h"
#include "toolkit/UIButton.h"
#include "toolkit/UILabel.h"
#include "toolkit/UIResources.h"
#include "toolkit_test_support.h"

namespace {

RECT windowRect(const UIWindow& window) {
    RECT rect = {};
    GetWindowRect(window.handle(), &rect);
    return rect;
}

// Where the system window stands and its size, once the redraw that places it has run.
void expectPlacedAt(const UIWindow& window, LONG left, LONG top, LONG width, LONG height) {
    ASSERT_TRUE(pumpUntil([&] { return !window.isRedrawPending(); }));
    const RECT placed = windowRect(window);
    EXPECT_EQ(left, placed.left);
    EXPECT_EQ(top, placed.top);
    EXPECT_EQ(width, placed.right - placed.left);
    EXPECT_EQ(height, placed.bottom - placed.top);
}

TEST(UIWindowTest, FrameReachesTheSystemWindowOnlyWithThePushAndShowingWaitsForSetHidden) {
    TestWindow window;
    window.createTopLevel(nullptr, 0, 0, WS_POPUP, L"ZelnToolkitTestWindow");
    const RECT before = windowRect(window);
    window.setFrame(100, 50, 720, 547);
    EXPECT_EQ(before.left, windowRect(window).left);
    EXPECT_EQ(before.right, windowRect(window).right);
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(IsWindowVisible(window.handle()));
    window.setHidden(false);
    window.setHidden(false);
    EXPECT_TRUE(IsWindowVisible(window.handle()));

    ASSERT_TRUE(pumpUntil([&] { return window.renders == 1; }));
    const RECT after = windowRect(window);
    EXPECT_EQ(100, after.left);
    EXPECT_EQ(50, after.top);
    EXPECT_EQ(820, after.right);
    EXPECT_EQ(597, after.bottom);
    EXPECT_EQ(720, window.rootView()->frame().width);
    EXPECT_EQ(547, window.rootView()->frame().height);
}

TEST(UIWindowTest, ScaledWindowPaintsAtDeviceResolutionAndHitTestsInViewCoordinates) {
    TestWindow window;
    openWindow(window, 0, 0, 720, 547);
    window.setScale(2.0f);
    RecordingView corner(window.handle(), "corner", UIColor::make(255, 0, 0, 255));
    corner.setFrame(UIRect{0, 0, 100, 49});
    window.rootView()->addChild(&corner);
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1; }));
    expectPlacedAt(window, 0, 0, 1440, 1094);
    // Painted at twice the pixels, not enlarged: the views' surfaces are their frames at the scale.
    EXPECT_EQ(2.0f, corner.scale());
    EXPECT_EQ(1, corner.paints);
    EXPECT_EQ(0xFFFF0000u, pixelAt(window.rootView(), 199, 97));
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(window.rootView(), 200, 97));
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(window.rootView(), 199, 98));
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(window.rootView(), 1439, 1093));
    EXPECT_EQ(0xDEADBEEFu, pixelAt(window.rootView(), 1440, 0));
    EXPECT_EQ(0xDEADBEEFu, pixelAt(&corner, 200, 0));

    // (201, 99) / 2 truncates to (100, 49): the corner view's own right and bottom edge.
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 201, 99);
    EXPECT_EQ(100, corner.lastPress.x);
    EXPECT_EQ(49, corner.lastPress.y);
    sendMouse(window, WM_LBUTTONUP, 0, 201, 99);
    pumpQueued();

    // No scale divides by zero: the window keeps 2.0 and maps the mouse as before.
    window.setScale(0.0f);
    window.setScale(-1.0f);
    window.setScale(std::numeric_limits<float>::infinity());
    EXPECT_EQ(2.0f, window.scale());
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 21, 11);
    EXPECT_EQ(10, corner.lastPress.x);
    EXPECT_EQ(5, corner.lastPress.y);
    sendMouse(window, WM_LBUTTONUP, 0, 21, 11);
    pumpQueued();
}

COLORREF screenPixel(int32_t x, int32_t y) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

TEST(UIWindowTest, PushPutsThePremultipliedImageOnTheScreenWithItsAlpha) {
    TestWindow window;
    openWindow(window, 300, 300, 60, 60);
    window.rootView()->setBackgroundColor(UIColor::make(0, 0, 255, 128));
    RecordingView opaque(window.handle(), "opaque", UIColor::make(255, 0, 0, 255));
    opaque.setFrame(UIRect{0, 0, 20, 20});
    window.rootView()->addChild(&opaque);
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));
    // The harness's screen is black behind the window: half-covering blue shows as half blue.
    EXPECT_TRUE(pumpUntil([&] { return screenPixel(310, 310) == RGB(255, 0, 0); }, 2000));
    const COLORREF half = screenPixel(340, 340);
    EXPECT_NEAR(128, GetBValue(half), 2);
    EXPECT_EQ(0, GetRValue(half));

    window.setScale(2.0f);
    ASSERT_TRUE(pumpUntil([&] { return !window.isRedrawPending(); }));
    EXPECT_TRUE(pumpUntil([&] { return screenPixel(335, 335) == RGB(255, 0, 0); }, 2000));
    EXPECT_NEAR(128, GetBValue(screenPixel(410, 410)), 2);
}

// After the first push the system keeps the window's image, and a render composites and pushes again only what
// changed in it (the documented dirty rectangle of a layered window's update, which Wine honours): pixels of the
// root's painting changed behind the tree's back reach neither its composite nor the screen unless they lie
// where something changed.
TEST(UIWindowTest, LaterPushesCarryOnlyWhatChangedAndTheScreenKeepsTheRest) {
    TestWindow window;
    openWindow(window, 300, 300, 100, 60);
    UIView* root = window.rootView();
    RecordingView moving(window.handle(), "moving", UIColor::make(255, 0, 0, 255));
    RecordingView still(window.handle(), "still", UIColor::make(0, 0, 255, 255));
    moving.setFrame(UIRect{10, 10, 20, 20});
    still.setFrame(UIRect{60, 10, 20, 20});
    root->addChild(&moving);
    root->addChild(&still);
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));
    ASSERT_TRUE(pumpUntil([&] { return screenPixel(315, 315) == RGB(255, 0, 0); }, 2000));
    EXPECT_EQ(RGB(0, 0, 255), screenPixel(365, 315));

    overwritePaintedPixel(root, 50, 5, 0xFF00FF00u);
    overwritePaintedPixel(root, 90, 50, 0xFF00FF00u);
    moving.setBackgroundColor(UIColor::make(0, 255, 0, 255));
    ASSERT_TRUE(pumpUntil([&] { return screenPixel(315, 315) == RGB(0, 255, 0); }, 2000));
    EXPECT_NE(0xFF00FF00u, pixelAt(root, 90, 50));
    EXPECT_EQ(RGB(255, 255, 255), screenPixel(350, 305));
    EXPECT_EQ(RGB(255, 255, 255), screenPixel(390, 350));
    EXPECT_EQ(RGB(0, 0, 255), screenPixel(365, 315));

    // A view that moves changes the place it left as well as the one it takes; one that goes, the place it had.
    moving.setFrame(UIRect{10, 35, 20, 20});
    ASSERT_TRUE(pumpUntil([&] { return screenPixel(315, 340) == RGB(0, 255, 0); }, 2000));
    EXPECT_EQ(RGB(255, 255, 255), screenPixel(315, 315));
    EXPECT_EQ(RGB(0, 0, 255), screenPixel(365, 315));
    moving.setHidden(true);
    ASSERT_TRUE(pumpUntil([&] { return screenPixel(315, 340) == RGB(255, 255, 255); }, 2000));
    EXPECT_EQ(RGB(0, 0, 255), screenPixel(365, 315));

    // The root repainted is all changed: the whole goes, the overwritten pixels repainted.
    root->setBackgroundColor(UIColor::make(255, 255, 0, 255));
    ASSERT_TRUE(pumpUntil([&] { return screenPixel(390, 350) == RGB(255, 255, 0); }, 2000));
    EXPECT_EQ(RGB(0, 0, 255), screenPixel(365, 315));
}

TEST(UIWindowTest, MoveToADisplayOfAnotherDpiTakesTheSuggestedRectangleAndRepaintsAtItsScale) {
    TestWindow window;
    openWindow(window, 40, 30, 200, 100);
    RecordingView square(window.handle(), "square", UIColor::make(0, 0, 255, 255));
    square.setFrame(UIRect{10, 10, 20, 20});
    window.rootView()->addChild(&square);
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));

    // The system's message, as it comes when the window is dragged onto a display at 144 DPI.
    RECT suggested = {300, 200, 600, 350};
    SendMessageW(window.handle(), kDpiChangedMessage, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(1.5f, window.scale());
    EXPECT_EQ(300, window.frame().x);
    EXPECT_EQ(200, window.frame().y);
    EXPECT_EQ(200, window.frame().width);
    expectPlacedAt(window, 300, 200, 300, 150);
    EXPECT_EQ(2, square.paints);
    EXPECT_EQ(0xFF0000FFu, pixelAt(window.rootView(), 15, 15));
    EXPECT_EQ(0xFF0000FFu, pixelAt(window.rootView(), 44, 44));
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(window.rootView(), 45, 45));
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 44, 44);
    EXPECT_EQ(19, square.lastPress.x);
    EXPECT_EQ(19, square.lastPress.y);
    sendMouse(window, WM_LBUTTONUP, 0, 44, 44);

    // Back on a display at 96 DPI: the window's own size again, wherever the system puts it.
    suggested = RECT{50, 60, 250, 160};
    SendMessageW(window.handle(), kDpiChangedMessage, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    expectPlacedAt(window, 50, 60, 200, 100);
    EXPECT_EQ(1.0f, square.scale());
    EXPECT_EQ(0xFF0000FFu, pixelAt(window.rootView(), 29, 29));
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(window.rootView(), 30, 30));
}

TEST(UIWindowTest, WindowWithoutSystemWindowQueuesNoRedraw) {
    TestWindow window;
    window.setFrame(10, 10, 50, 50);
    EXPECT_FALSE(window.isRedrawPending());
    window.createTopLevel(nullptr, 0, 0, WS_POPUP, L"ZelnToolkitTestWindow");
    window.setFrame(10, 10, 50, 50);
    EXPECT_TRUE(window.isRedrawPending());
    EXPECT_TRUE(pumpUntil([&] { return window.renders == 1; }));
}

TEST(UIWindowTest, MovesBetweenViewsExitBeforeEnterSetTheCursorAndLeavingClearsTheTrackedView) {
    TestWindow window;
    openWindow(window, 30, 30, 300, 200);
    ASSERT_TRUE(pumpUntil([&] { return window.renders == 1; }));
    std::vector<std::string> events;
    RecordingView first(window.handle(), "first", UIColor::make(255, 0, 0, 255));
    first.setFrame(UIRect{10, 10, 40, 40});
    first.events = &events;
    UIButton button(window.handle());
    button.setFrame(UIRect{100, 10, 40, 40});
    window.rootView()->addChild(&first);
    window.rootView()->addChild(&button);
    pumpQueued();

    sendMouse(window, WM_MOUSEMOVE, 0, 20, 20);
    EXPECT_EQ(&first, window.trackedView());
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
    sendMouse(window, WM_MOUSEMOVE, 0, 110, 20);
    EXPECT_EQ(&button, window.trackedView());
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), GetCursor());
    EXPECT_TRUE(button.titleLabel()->isHighlighted());
    sendMouse(window, WM_MOUSEMOVE, 0, 20, 20);
    SendMessageW(window.handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(nullptr, window.trackedView());
    EXPECT_FALSE(button.titleLabel()->isHighlighted());
    EXPECT_EQ((std::vector<std::string>{"enter first", "exit first", "enter first", "exit first"}), events);

    // Hovering finds the view under the cursor again without a move.
    placeCursor(window, 20, 20);
    SendMessageW(window.handle(), WM_MOUSEHOVER, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(&first, window.trackedView());
    EXPECT_EQ("enter first", events.back());
}

TEST(UIWindowTest, MoveMessageKeepsANegativePosition) {
    TestWindow window;
    openWindow(window, 30, 30, 100, 100);
    SendMessageW(window.handle(), WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(-30), 20));
    EXPECT_EQ(-30, window.frame().x);
    EXPECT_EQ(20, window.frame().y);
}

TEST(UIWindowTest, SecondDestroyDoesNothingAndTheDrawingLibraryLastsUntilTheLastWindow) {
    ASSERT_EQ(nullptr, defaultFont());
    auto first = std::make_unique<TestWindow>();
    TestWindow second;
    openWindow(*first, 10, 10, 50, 50);
    openWindow(second, 70, 10, 50, 50);
    ASSERT_NE(nullptr, defaultFont());
    const HWND firstHandle = first->handle();

    first->destroy();
    first->destroy();
    EXPECT_EQ(nullptr, first->handle());
    EXPECT_FALSE(IsWindow(firstHandle));
    EXPECT_EQ(1, first->createCount());
    first.reset();
    EXPECT_NE(nullptr, defaultFont());
    pumpQueued();
    EXPECT_EQ(1, second.renders);

    second.destroy();
    EXPECT_EQ(nullptr, defaultFont());
}

TEST(UIWindowTest, SystemWindowDestroyedFromOutsideTakesTheToolkitsTeardown) {
    TestWindow window;
    openWindow(window, 10, 10, 50, 50);
    const HWND handle = window.handle();
    EXPECT_TRUE(DestroyWindow(handle));
    EXPECT_EQ(nullptr, window.handle());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(nullptr, defaultFont());
    window.destroy();
}

TEST(UIWindowTest, DestroyFromAnotherThreadRunsOnTheOwnerThreadBeforeItReturns) {
    TestWindow window;
    openWindow(window, 10, 10, 50, 50);
    const HWND handle = window.handle();
    std::atomic<bool> returned{false};
    const std::unique_ptr<platform::Thread> other = platform::startThread([&] {
        window.destroy();
        returned = true;
    });
    ASSERT_NE(nullptr, other);
    EXPECT_TRUE(pumpUntil([&] { return returned.load(); }));
    other->wait();
    EXPECT_EQ(nullptr, window.handle());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(GetCurrentThreadId(), window.destroyMessageThread);
}

// A window class of the program's own, not the toolkit's.
bool registerForeignClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSW foreignClass = {};
    foreignClass.lpfnWndProc = procedure;
    foreignClass.hInstance = GetModuleHandleW(nullptr);
    foreignClass.lpszClassName = name;
    return RegisterClassW(&foreignClass) != 0;
}

TEST(UIWindowTest, OnlyTheWindowThatRegisteredItsClassUnregistersIt) {
    const wchar_t* shared = L"ZelnToolkitSharedClass";
    WNDCLASSW found = {};
    {
        TestWindow registering, joining;
        openWindow(registering, 10, 10, 50, 50, shared);
        openWindow(joining, 70, 10, 50, 50, shared);
        EXPECT_TRUE(pumpUntil([&] { return registering.renders == 1 && joining.renders == 1; }));
        joining.destroy();
        EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), shared, &found));
        registering.destroy();
        EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), shared, &found));
    }

    // A class the toolkit did not register outlives the toolkit's window of that class.
    const wchar_t* foreign = L"ZelnToolkitForeignClass";
    ASSERT_TRUE(registerForeignClass(foreign, DefWindowProcW));
    {
        TestWindow window;
        window.createTopLevel(nullptr, 0, 0, WS_POPUP, foreign);
        ASSERT_NE(nullptr, window.handle());
        window.destroy();
    }
    EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), foreign, &found));
    UnregisterClassW(foreign, GetModuleHandleW(nullptr));
}

LRESULT CALLBACK refuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_NCCREATE ? FALSE : DefWindowProcW(window, message, wParam, lParam);
}

TEST(UIWindowTest, WindowWhoseSystemWindowWasNeverMadeLeavesNothingBehindForTheDispatcher) {
    const wchar_t* refusing = L"ZelnToolkitRefusingClass";
    ASSERT_TRUE(registerForeignClass(refusing, refuseCreation));
    // The failed window lives in storage that is wiped once it is gone: a dispatcher that still held
    // it would call through an empty table when it looks for the window of the next message.
    alignas(TestWindow) unsigned char storage[sizeof(TestWindow)];
    auto* failed = new (storage) TestWindow;
    failed->createTopLevel(nullptr, 0, 0, WS_POPUP, refusing);
    ASSERT_EQ(nullptr, failed->handle());
    failed->~TestWindow();
    std::memset(storage, 0, sizeof storage);

    TestWindow live;
    openWindow(live, 10, 10, 50, 50);
    EXPECT_TRUE(pumpUntil([&] { return live.renders >= 1 && !live.isRedrawPending(); }));
    live.destroy();
    UnregisterClassW(refusing, GetModuleHandleW(nullptr));
}

TEST(UIWindowTest, OwnerWindowIsOneMessageOnlyWindowOfItsClass) {
    TestWindow window;
    openWindow(window, 10, 10, 50, 50);
    HWND owner = FindWindowExW(HWND_MESSAGE, nullptr, kOwnerWindowClass, nullptr);
    ASSERT_NE(nullptr, owner);
    EXPECT_EQ(owner, GetWindow(window.handle(), GW_OWNER));
    EXPECT_EQ(nullptr, FindWindowExW(HWND_MESSAGE, owner, kOwnerWindowClass, nullptr));
}

}  // namespace
