// The view tree under a real layered window: coalesced renders, repainting only what is dirty, drawing
// and hit-testing order, hidden and non-interactive subtrees, premultiplied composition, and painting at a
// display scale, all read from the views' own surfaces.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "toolkit_test_support.h"

namespace {

constexpr UIColor kRed = UIColor::make(255, 0, 0, 255);
constexpr UIColor kBlue = UIColor::make(0, 0, 255, 255);
constexpr UIColor kGreen = UIColor::make(0, 255, 0, 255);

class ViewTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        openWindow(window, 40, 40, 200, 150);
        ASSERT_TRUE(pumpUntil([&] { return window.renders == 1; }));
        root = window.rootView();
        ASSERT_NE(nullptr, root);
    }

    // A recording view with a frame, added to the parent (or left alone when there is none).
    RecordingView* makeView(const char* name, UIColor color, UIRect frame, UIView* parent) {
        views.push_back(std::make_unique<RecordingView>(window.handle(), name, color));
        RecordingView* view = views.back().get();
        view->setFrame(frame);
        if (parent != nullptr) parent->addChild(view);
        return view;
    }

    void renderNow() {
        pumpQueued();
        ASSERT_FALSE(window.isRedrawPending());
    }

    TestWindow window;
    UIView* root = nullptr;
    // Declared after the window: the views go first, the window (with its root) after them.
    std::vector<std::unique_ptr<RecordingView>> views;
};

TEST_F(ViewTreeTest, ManyRequestsBeforeTheMessageIsHandledMakeOneRender) {
    RecordingView* view = makeView("a", kRed, UIRect{10, 10, 20, 20}, root);
    window.setRedrawPending(true);
    window.setRedrawPending(true);
    view->setDirty(true);
    root->setBackgroundColor(kGreen);
    EXPECT_TRUE(window.isRedrawPending());
    renderNow();
    EXPECT_EQ(2, window.renders);
    EXPECT_EQ(1, view->paints);

    // Clearing the flag is no request: nothing is queued.
    window.setRedrawPending(false);
    pumpQueued();
    EXPECT_EQ(2, window.renders);
}

TEST_F(ViewTreeTest, OnlyDirtyViewsRepaintAndCleanOnesAreCompositedAgain) {
    RecordingView* a = makeView("a", kRed, UIRect{10, 10, 30, 30}, root);
    RecordingView* b = makeView("b", kBlue, UIRect{60, 10, 30, 30}, root);
    renderNow();
    ASSERT_EQ(1, a->paints);
    ASSERT_EQ(1, b->paints);

    a->setBackgroundColor(kGreen);
    renderNow();
    EXPECT_EQ(2, a->paints);
    EXPECT_EQ(1, b->paints);
    EXPECT_EQ(0xFF00FF00u, pixelAt(root, 20, 20));
    EXPECT_EQ(0xFF0000FFu, pixelAt(root, 70, 20));
}

TEST_F(ViewTreeTest, LaterChildIsDrawnOnTopAndHitFirst) {
    RecordingView* under = makeView("under", kRed, UIRect{10, 10, 40, 40}, root);
    RecordingView* over = makeView("over", kBlue, UIRect{30, 30, 40, 40}, root);
    renderNow();
    EXPECT_EQ(0xFF0000FFu, pixelAt(root, 35, 35));
    EXPECT_EQ(0xFFFF0000u, pixelAt(root, 15, 15));
    EXPECT_EQ(over, hitTest(root, 35, 35, nullptr));
    UIPoint local{0, 0};
    EXPECT_EQ(under, hitTest(root, 15, 15, &local));
    EXPECT_EQ(5, local.x);
    EXPECT_EQ(5, local.y);
}

TEST_F(ViewTreeTest, HiddenSubtreeIsNeitherPaintedNorHitUntilShownAgain) {
    RecordingView* container = makeView("container", kRed, UIRect{10, 10, 60, 60}, nullptr);
    RecordingView* inner = makeView("inner", kBlue, UIRect{5, 5, 20, 20}, container);
    container->setHidden(true);
    root->addChild(container);
    renderNow();
    EXPECT_EQ(0, container->paints);
    EXPECT_EQ(0, inner->paints);
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(root, 20, 20));
    EXPECT_EQ(root, hitTest(root, 20, 20, nullptr));

    container->setHidden(false);
    EXPECT_TRUE(window.isRedrawPending());
    renderNow();
    EXPECT_EQ(1, inner->paints);
    EXPECT_EQ(0xFF0000FFu, pixelAt(root, 20, 20));
    EXPECT_EQ(inner, hitTest(root, 20, 20, nullptr));
}

TEST_F(ViewTreeTest, NonInteractiveViewsPassTheMouseAndHideWhatIsInsideThem) {
    RecordingView* control = makeView("control", kRed, UIRect{10, 10, 40, 40}, root);
    RecordingView* overlay = makeView("overlay", kBlue, UIRect{0, 0, 40, 40}, control);
    overlay->setInteractive(false);
    EXPECT_EQ(control, hitTest(root, 20, 20, nullptr));

    RecordingView* container = makeView("container", kRed, UIRect{100, 10, 40, 40}, root);
    makeView("unreachable", kBlue, UIRect{0, 0, 40, 40}, container);
    container->setInteractive(false);
    EXPECT_EQ(root, hitTest(root, 110, 20, nullptr));
}

TEST_F(ViewTreeTest, RightAndBottomEdgesBelongToTheView) {
    RecordingView* view = makeView("edge", kRed, UIRect{10, 10, 20, 20}, root);
    UIPoint local{0, 0};
    EXPECT_EQ(view, hitTest(root, 30, 30, &local));
    EXPECT_EQ(20, local.x);
    EXPECT_EQ(20, local.y);
    EXPECT_EQ(root, hitTest(root, 31, 30, nullptr));
    EXPECT_EQ(root, hitTest(root, 30, 31, nullptr));
    EXPECT_EQ(nullptr, hitTest(root, 201, 10, nullptr));
    EXPECT_EQ(nullptr, hitTest(root, -1, 10, nullptr));
}

TEST_F(ViewTreeTest, ToLocalSubtractsEveryFrameUpToTheRoot) {
    RecordingView* outer = makeView("outer", kRed, UIRect{100, 50, 60, 60}, root);
    RecordingView* inner = makeView("inner", kBlue, UIRect{10, 20, 20, 20}, outer);
    const UIPoint point = toLocal(inner, 115, 75);
    EXPECT_EQ(5, point.x);
    EXPECT_EQ(5, point.y);
    const UIPoint none = toLocal(nullptr, 115, 75);
    EXPECT_EQ(0, none.x);
    EXPECT_EQ(0, none.y);
}

TEST_F(ViewTreeTest, SurfacesHoldPremultipliedColourAndCompositeSourceOver) {
    root->setBackgroundColor(UIColor::clear());
    RecordingView* tinted = makeView("tinted", UIColor::make(0x11, 0x22, 0x33, 0x44), UIRect{0, 0, 20, 20}, root);
    RecordingView* paper = makeView("paper", UIColor::white(), UIRect{50, 0, 40, 40}, root);
    makeView("wash", UIColor::make(255, 0, 0, 128), UIRect{0, 0, 20, 20}, paper);
    renderNow();

    const uint32_t own = pixelAt(tinted, 5, 5);
    EXPECT_EQ(0x44, alphaOf(own));
    EXPECT_NEAR(0x11 * 0x44 / 255.0, redOf(own), 1.0);
    EXPECT_NEAR(0x22 * 0x44 / 255.0, greenOf(own), 1.0);
    EXPECT_NEAR(0x33 * 0x44 / 255.0, blueOf(own), 1.0);
    EXPECT_EQ(own, pixelAt(root, 5, 5));
    EXPECT_EQ(0u, pixelAt(root, 30, 30));

    // Half-transparent red over opaque white: opaque, red kept, the others halved.
    const uint32_t washed = pixelAt(root, 55, 5);
    EXPECT_EQ(255, alphaOf(washed));
    EXPECT_EQ(255, redOf(washed));
    EXPECT_NEAR(127, greenOf(washed), 1.0);
    EXPECT_NEAR(127, blueOf(washed), 1.0);
}

TEST_F(ViewTreeTest, NestedViewsCompositeFromCleanPaintingsOncePerRender) {
    // Over a clear root, a clear container holds a half-transparent red wash and an opaque blue square;
    // a sibling of the container is what changes between renders.
    root->setBackgroundColor(UIColor::clear());
    RecordingView* container = makeView("container", UIColor::clear(), UIRect{10, 10, 60, 40}, root);
    RecordingView* wash = makeView("wash", UIColor::make(255, 0, 0, 128), UIRect{0, 0, 20, 20}, container);
    RecordingView* square = makeView("square", kBlue, UIRect{30, 0, 20, 20}, container);
    RecordingView* sibling = makeView("sibling", kRed, UIRect{100, 10, 20, 20}, root);
    renderNow();
    const uint32_t washed = pixelAt(root, 15, 15);
    EXPECT_EQ(128, alphaOf(washed));
    EXPECT_EQ(128, redOf(washed));
    EXPECT_EQ(0xFF0000FFu, pixelAt(root, 45, 15));

    // Renders that repaint only the root and the sibling leave the container alone and its look unchanged:
    // the wash is composited once onto a clean copy of the container's painting, never again onto itself.
    for (int render = 0; render < 5; ++render) {
        sibling->setBackgroundColor(render % 2 == 0 ? kGreen : kRed);
        renderNow();
        EXPECT_EQ(washed, pixelAt(root, 15, 15)) << "after render " << render;
    }
    EXPECT_EQ(1, container->paints);
    EXPECT_EQ(1, wash->paints);
    EXPECT_EQ(0u, paintedPixelAt(container, 5, 5));
    EXPECT_EQ(washed, pixelAt(container, 5, 5));

    // A change two levels down reaches the root through a container that is not repainted.
    square->setHidden(true);
    renderNow();
    EXPECT_EQ(0u, pixelAt(root, 45, 15));
    EXPECT_EQ(0u, pixelAt(container, 35, 5));
    wash->setBackgroundColor(UIColor::make(0, 255, 0, 128));
    renderNow();
    EXPECT_EQ(128, greenOf(pixelAt(root, 15, 15)));
    EXPECT_EQ(0, redOf(pixelAt(root, 15, 15)));
    EXPECT_EQ(1, container->paints);
    EXPECT_EQ(1, square->paints);

    // Shown again, the square is back; hiding the container takes its whole subtree off the root.
    square->setHidden(false);
    renderNow();
    EXPECT_EQ(0xFF0000FFu, pixelAt(root, 45, 15));
    container->setHidden(true);
    renderNow();
    EXPECT_EQ(0u, pixelAt(root, 15, 15));
    EXPECT_EQ(0u, pixelAt(root, 45, 15));
}

TEST_F(ViewTreeTest, ScaleReachesEveryViewOfTheTreeWhichCompositesAtDevicePlacesAndHitTestsOnItsGrid) {
    RecordingView* container = makeView("container", kRed, UIRect{10, 10, 60, 40}, root);
    RecordingView* inner = makeView("inner", kBlue, UIRect{5, 5, 20, 20}, container);
    renderNow();
    window.setScale(1.5f);
    // A view made and framed apart from the tree takes the tree's scale when it is added.
    RecordingView* late = makeView("late", kGreen, UIRect{100, 10, 30, 30}, nullptr);
    EXPECT_EQ(1.0f, late->scale());
    RecordingView* lateChild = makeView("late child", kBlue, UIRect{0, 0, 10, 10}, late);
    root->addChild(late);
    EXPECT_EQ(1.5f, lateChild->scale());
    renderNow();
    EXPECT_EQ(2, container->paints);
    EXPECT_EQ(2, inner->paints);
    EXPECT_EQ(1, late->paints);

    // Each view's place and size at 1.5, truncated: the container's (15, 15, 90, 60), the inner's (7, 7, 30, 30)
    // inside it, so (22, 22) to (51, 51) on the root.
    EXPECT_EQ(90, deviceSize(container).x);
    EXPECT_EQ(60, deviceSize(container).y);
    // The late view's (150, 15, 45, 45) holds its child's (150, 15, 15, 15); the root is 300 x 225.
    const struct {
        int32_t x, y;
        uint32_t pixel;
    } shown[] = {{15, 15, 0xFFFF0000u},  {14, 15, 0xFFFFFFFFu},  {21, 21, 0xFFFF0000u},  {22, 22, 0xFF0000FFu},
                 {51, 51, 0xFF0000FFu},  {52, 52, 0xFFFF0000u},  {104, 74, 0xFFFF0000u}, {105, 75, 0xFFFFFFFFu},
                 {150, 15, 0xFF0000FFu}, {165, 15, 0xFF00FF00u}, {194, 59, 0xFF00FF00u}, {300, 0, 0xDEADBEEFu},
                 {299, 224, 0xFFFFFFFFu}};
    for (const auto& point : shown) {
        EXPECT_EQ(point.pixel, pixelAt(root, point.x, point.y)) << "at (" << point.x << ", " << point.y << ")";
    }

    // Hit tests stay on the grid; the window divides the mouse by the scale before it asks.
    UIPoint local{0, 0};
    EXPECT_EQ(inner, hitTest(root, 35, 35, &local));
    EXPECT_EQ(20, local.x);
    EXPECT_EQ(20, local.y);
    EXPECT_EQ(container, hitTest(root, 36, 36, nullptr));
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 52, 52);
    EXPECT_EQ(19, inner->lastPress.x);
    sendMouse(window, WM_LBUTTONUP, 0, 52, 52);

    // The same scale again changes nothing; back at 1.0 every view is repainted at its frame's size.
    window.setScale(1.5f);
    EXPECT_FALSE(window.isRedrawPending());
    window.setScale(1.0f);
    renderNow();
    EXPECT_EQ(3, inner->paints);
    EXPECT_EQ(60, deviceSize(container).x);
    EXPECT_EQ(0xFF0000FFu, pixelAt(root, 15, 15));
    EXPECT_EQ(0xFF00FF00u, pixelAt(root, 110, 15));
}

TEST_F(ViewTreeTest, ViewSetToZeroOrNegativeSizeKeepsItsSurfaceButCompositesNothing) {
    RecordingView* view = makeView("shrunk", kRed, UIRect{10, 10, 20, 20}, root);
    renderNow();
    ASSERT_EQ(0xFFFF0000u, pixelAt(root, 15, 15));
    view->setFrame(UIRect{10, 10, 0, 0});
    renderNow();
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(root, 15, 15));
    EXPECT_NE(0xDEADBEEFu, pixelAt(view, 15, 15));

    // A negative height (a layout that ran out of room) makes no upside-down surface to be cleared and
    // painted past its end; the view keeps its 20 x 20 surface and draws nothing.
    view->setFrame(UIRect{10, 10, 20, -20});
    renderNow();
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(root, 15, 15));
    EXPECT_NE(0xDEADBEEFu, pixelAt(view, 19, 19));
    view->setFrame(UIRect{10, 10, -20, 20});
    renderNow();
    EXPECT_EQ(0xFFFFFFFFu, pixelAt(root, 15, 15));
}

TEST_F(ViewTreeTest, ControlPaintsTheColourOfItsStateAndCompletesAClickWithoutTarget) {
    UIControl control(window.handle());
    control.setFrame(UIRect{20, 20, 40, 40});
    control.setBackgroundColor(kRed);
    control.setHoverColor(kGreen);
    control.setPressedColor(kBlue);
    root->addChild(&control);
    const auto look = [&] {
        renderNow();
        return pixelAt(&control, 10, 10);
    };
    EXPECT_EQ(0xFFFF0000u, look());
    sendMouse(window, WM_MOUSEMOVE, 0, 30, 30);
    EXPECT_EQ(0xFF00FF00u, look());
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 30, 30);
    EXPECT_EQ(0xFF0000FFu, look());
    // Released inside with no target: nothing to call, and the cursor still over it gives the hover look.
    sendMouse(window, WM_LBUTTONUP, 0, 30, 30);
    EXPECT_FALSE(control.isPressed());
    EXPECT_EQ(0xFF00FF00u, look());
    // Pressed, then released outside: the normal look, and the view under the cursor is tracked again.
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 30, 30);
    sendMouse(window, WM_LBUTTONUP, 0, 150, 100);
    EXPECT_EQ(0xFFFF0000u, look());
    EXPECT_EQ(root, window.trackedView());
}

}  // namespace
