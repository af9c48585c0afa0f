// Buttons, labels, images, fonts and resources under a real window: clicks end to end with the image
// of each state read from the button's surface, label text placed by its ink, pictures and text at a
// display scale, fonts from the program's resources, and the small window that tests/e2e/toolkit captures
// from the screen for people to look at.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "toolkit/UIButton.h"
#include "toolkit/UILabel.h"
#include "toolkit/UIResources.h"
#include "toolkit_test_support.h"

namespace {

// Resources of this test program (test_resources.rc).
constexpr int32_t kNormalPng = 201;
constexpr int32_t kHoverPng = 202;
constexpr int32_t kPressedPng = 203;
constexpr int32_t kDisabledPng = 204;
constexpr int32_t kQuadrantsPng = 205;
constexpr uint32_t kGrey = 0xFF808080;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kOrange = 0xFFFF8000;  // the normal look's double-size form

UIImage* loadPng(int32_t id) { return loadPngResource(GetModuleHandleW(nullptr), id); }

std::wstring familyName(const UIFont* font) {
    WCHAR name[LF_FACESIZE] = {};
    if (font->family() == nullptr ||
        Gdiplus::DllExports::GdipGetFamilyName(font->family(), name, LANG_NEUTRAL) != Gdiplus::Ok) {
        return L"";
    }
    return name;
}

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        openWindow(window, 50, 50, 300, 200);
        button = makeButton(UIRect{20, 30, 40, 40}, counter);
        other = makeButton(UIRect{100, 30, 40, 40}, otherCounter);
        ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));
    }

    // A button with an image for each state, or with one normal image that is also its pressed image.
    UIButton* makeButton(UIRect frame, ActionCounter& target, bool normalImageOnly = false) {
        buttons.push_back(std::make_unique<UIButton>(window.handle()));
        UIButton* made = buttons.back().get();
        made->normalImage = loadPng(kNormalPng);
        if (normalImageOnly) {
            made->pressedImage = made->normalImage;
        } else {
            made->hoverImage = loadPng(kHoverPng);
            made->pressedImage = loadPng(kPressedPng);
            made->disabledImage = loadPng(kDisabledPng);
        }
        made->setAction(&target, 7);
        made->setFrame(frame);
        window.rootView()->addChild(made);
        return made;
    }

    // The look of the button after the render its changes queued.
    uint32_t look(UIButton* which) {
        pumpQueued();
        return pixelAt(which, 20, 20);
    }

    TestWindow window;
    ActionCounter counter, otherCounter;
    std::vector<std::unique_ptr<UIButton>> buttons;
    UIButton* button = nullptr;
    UIButton* other = nullptr;
};

TEST_F(ButtonTest, ClickInsideGoesHoverPressedHoverAndFiresOneActionBeforeTheReleaseLook) {
    EXPECT_EQ(kGrey, look(button));
    sendMouse(window, WM_MOUSEMOVE, 0, 40, 50);
    EXPECT_EQ(kGreen, look(button));

    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    EXPECT_EQ(window.handle(), GetCapture());
    EXPECT_EQ(kBlue, look(button));

    UIImage* imageAtAction = nullptr;
    counter.onAction = [&] { imageAtAction = button->currentImage(); };
    sendMouse(window, WM_LBUTTONUP, 0, 40, 50);
    EXPECT_EQ(1, counter.actions);
    EXPECT_EQ(7, counter.lastAction);
    EXPECT_EQ(button, counter.lastSender);
    EXPECT_EQ(button->pressedImage, imageAtAction);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(kGreen, look(button));
    EXPECT_EQ(button, window.trackedView());
    EXPECT_EQ(0, otherCounter.actions);
}

TEST_F(ButtonTest, AboveScaleOneTheButtonDrawsTheDoubleSizeFormOfAnImageThatHasOne) {
    window.setScale(2.0f);
    EXPECT_EQ(kOrange, look(button));
    // The hover image has no double-size form: its own, enlarged, stands in. The click lands at the scale.
    sendMouse(window, WM_MOUSEMOVE, 0, 80, 100);
    EXPECT_EQ(kGreen, look(button));
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 80, 100);
    sendMouse(window, WM_LBUTTONUP, 0, 80, 100);
    EXPECT_EQ(1, counter.actions);
    pumpQueued();
    sendMouse(window, WM_MOUSEMOVE, 0, 400, 300);
    EXPECT_EQ(kOrange, look(button));

    // A button of the double-size form's own size at scale 2 shows that form pixel for pixel, taken as it is;
    // between 1.0 and 2.0 the form is filtered down to the device size, once for as long as the scale stays.
    const uint64_t filteredBefore = pictureFilterings();
    button->setFrame(UIRect{20, 30, 2, 2});
    pumpQueued();
    ASSERT_EQ(4, deviceSize(button).x);
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(kOrange, pixelAt(button, i, i));
        EXPECT_EQ(kOrange, pixelAt(button, 3 - i, i));
    }
    EXPECT_EQ(filteredBefore, pictureFilterings());
    window.setScale(1.5f);
    pumpQueued();
    ASSERT_EQ(3, deviceSize(button).x);
    EXPECT_EQ(kOrange, pixelAt(button, 1, 1));
    EXPECT_EQ(kOrange, pixelAt(button, 2, 2));
    const uint64_t filteredAtScale = pictureFilterings();
    for (int pass = 0; pass < 3; ++pass) {
        sendMouse(window, WM_MOUSEMOVE, 0, 31, 46);
        pumpQueued();
        EXPECT_EQ(kGreen, pixelAt(button, 1, 1));
        sendMouse(window, WM_MOUSEMOVE, 0, 400, 300);
        pumpQueued();
        EXPECT_EQ(kOrange, pixelAt(button, 1, 1));
    }
    EXPECT_EQ(filteredAtScale + 1, pictureFilterings()) << "the hover image once, then both from what they kept";
    window.setScale(1.0f);
    pumpQueued();
    EXPECT_EQ(kGrey, pixelAt(button, 1, 1));
}

TEST_F(ButtonTest, PressDragOutAndReleaseGoesBackToNormalWithoutAction) {
    sendMouse(window, WM_MOUSEMOVE, 0, 40, 50);
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    sendMouse(window, WM_MOUSEMOVE, MK_LBUTTON, 200, 150);
    EXPECT_EQ(button, window.trackedView());
    sendMouse(window, WM_LBUTTONUP, 0, 200, 150);
    EXPECT_EQ(0, counter.actions);
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(kGrey, look(button));
    EXPECT_EQ(window.rootView(), window.trackedView());
}

TEST_F(ButtonTest, DragOutAndBackInFiresOnceAndReleaseOnTheEdgeCountsAsOutside) {
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    sendMouse(window, WM_MOUSEMOVE, MK_LBUTTON, 200, 150);
    sendMouse(window, WM_MOUSEMOVE, MK_LBUTTON, 45, 55);
    sendMouse(window, WM_LBUTTONUP, 0, 45, 55);
    pumpQueued();
    EXPECT_EQ(1, counter.actions);

    // The right edge (x = 20 + 40) is hit by the press but lies outside for the release.
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 60, 50);
    EXPECT_TRUE(button->isPressed());
    sendMouse(window, WM_LBUTTONUP, 0, 60, 50);
    pumpQueued();
    EXPECT_EQ(1, counter.actions);
}

TEST_F(ButtonTest, DisabledButtonShowsItsImageAndIsNotHitUntilEnabled) {
    button->setDisabled(true);
    EXPECT_EQ(kRed, look(button));
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    EXPECT_EQ(nullptr, GetCapture());
    sendMouse(window, WM_LBUTTONUP, 0, 40, 50);
    EXPECT_EQ(0, counter.actions);

    button->setDisabled(false);
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    sendMouse(window, WM_LBUTTONUP, 0, 40, 50);
    EXPECT_EQ(1, counter.actions);
}

TEST_F(ButtonTest, ButtonWithOnlyANormalImageShowsItInEveryStateEvenDisabled) {
    ActionCounter plainCounter;
    UIButton* plain = makeButton(UIRect{180, 30, 40, 40}, plainCounter, true);
    sendMouse(window, WM_MOUSEMOVE, 0, 200, 50);
    EXPECT_EQ(kGrey, look(plain));
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 200, 50);
    EXPECT_EQ(kGrey, look(plain));
    sendMouse(window, WM_LBUTTONUP, 0, 200, 50);
    EXPECT_EQ(kGrey, look(plain));
    EXPECT_EQ(1, plainCounter.actions);
    plain->setDisabled(true);
    EXPECT_EQ(kGrey, look(plain));
    // The image held in two fields is destroyed once when the button goes (the fixture's teardown).
}

TEST_F(ButtonTest, HoverAndLeaveWhileCapturedKeepTheReleaseWithThePressedButton) {
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    sendMouse(window, WM_MOUSEMOVE, MK_LBUTTON, 120, 50);
    SendMessageW(window.handle(), WM_MOUSEHOVER, MK_LBUTTON, MAKELPARAM(120, 50));
    EXPECT_EQ(button, window.trackedView());
    sendMouse(window, WM_LBUTTONUP, 0, 120, 50);
    pumpQueued();
    EXPECT_EQ(0, counter.actions);
    EXPECT_EQ(0, otherCounter.actions);
    EXPECT_FALSE(button->isPressed());

    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    placeCursor(window, 400, 50);
    SendMessageW(window.handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(button, window.trackedView());
    SendMessageW(window.handle(), WM_LBUTTONUP, 0, MAKELPARAM(400, 50));
    pumpQueued();
    EXPECT_EQ(0, counter.actions);
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(ButtonTest, CaptureTakenByAnotherWindowEndsThePressAndTheNextClickReachesAnotherButton) {
    sendMouse(window, WM_MOUSEMOVE, 0, 40, 50);
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    ASSERT_EQ(window.handle(), GetCapture());
    ASSERT_TRUE(button->isPressed());

    // Another window takes the capture, as a system dialog does: the window hears of it by WM_CAPTURECHANGED.
    HWND taker =
        CreateWindowExW(0, L"STATIC", L"takes the capture", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, taker);
    SetCapture(taker);
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(nullptr, window.trackedView());
    EXPECT_EQ(kGrey, look(button));
    ReleaseCapture();
    DestroyWindow(taker);

    // The release went elsewhere; the next click, on the other button, is that button's own.
    sendMouse(window, WM_MOUSEMOVE, 0, 120, 50);
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 120, 50);
    EXPECT_EQ(other, window.trackedView());
    sendMouse(window, WM_LBUTTONUP, 0, 120, 50);
    EXPECT_EQ(1, otherCounter.actions);
    EXPECT_EQ(0, counter.actions);
    EXPECT_EQ(kGreen, look(other));
    EXPECT_EQ(kGrey, look(button));

    // A capture the window gives back itself is no loss: a click still completes.
    sendMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, 40, 50);
    sendMouse(window, WM_LBUTTONUP, 0, 40, 50);
    EXPECT_EQ(1, counter.actions);
}

class CountedImage : public UIImage {
public:
    explicit CountedImage(int& destroyed) : UIImage("", 0), destroyed_(destroyed) {}
    ~CountedImage() override { ++destroyed_; }

private:
    int& destroyed_;
};

TEST(UIButtonTest, DestroyingAButtonDestroysEachDistinctImageOnce) {
    TestWindow window;
    openWindow(window, 10, 10, 50, 50);
    int firstDestroyed = 0, secondDestroyed = 0;
    auto* first = new CountedImage(firstDestroyed);
    auto* second = new CountedImage(secondDestroyed);
    auto button = std::make_unique<UIButton>(window.handle());
    button->normalImage = first;
    button->hoverImage = second;
    button->pressedImage = second;
    button->disabledImage = first;
    button.reset();
    EXPECT_EQ(1, firstDestroyed);
    EXPECT_EQ(1, secondDestroyed);
}

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        openWindow(window, 50, 50, 200, 200);
        label = std::make_unique<UILabel>(window.handle());
        label->setFrame(UIRect{10, 10, 100, 100});
        window.rootView()->addChild(label.get());
        ASSERT_TRUE(pumpUntil([&] { return window.renders == 1 && !window.isRedrawPending(); }));
    }

    UIRect inkOf(const wchar_t* text, bool horizontal) {
        label->setText(text);
        label->setHorizontal(horizontal);
        pumpQueued();
        return inkBounds(label.get());
    }

    TestWindow window;
    std::unique_ptr<UILabel> label;
};

TEST_F(LabelTest, LinesSitWhereTheirLineBoxesPutThem) {
    // The 18-pixel line box of a 100-pixel label starts 41 pixels in: its top lies at x = 59 when the
    // line is turned, at y = 41 when it is not. The ink of capitals begins just inside that top.
    const UIRect vertical = inkOf(L"HHHH", false);
    ASSERT_GT(vertical.width, 0);
    const int32_t rightmost = vertical.x + vertical.width - 1;
    EXPECT_LE(rightmost, 59);
    EXPECT_GE(rightmost, 52);
    EXPECT_LE(vertical.y, 5);
    EXPECT_GT(vertical.height, 2 * vertical.width);

    const UIRect horizontal = inkOf(L"HHHH", true);
    ASSERT_GT(horizontal.width, 0);
    EXPECT_GE(horizontal.y, 41);
    EXPECT_LE(horizontal.y, 48);
    EXPECT_LE(horizontal.x, 5);
    EXPECT_GT(horizontal.width, 2 * horizontal.height);
    // Turning maps text row v to view column w - v: the two placements agree to the pixel.
    EXPECT_NEAR(99 - horizontal.y, rightmost, 1);
    EXPECT_NEAR(horizontal.x, vertical.y, 1);
}

// Pixels of the ink that are neither empty nor solid: the edges of the glyphs.
int edgePixels(const UIView* view) {
    int count = 0;
    const UIPoint size = deviceSize(view);
    for (int32_t y = 0; y < size.y; ++y) {
        for (int32_t x = 0; x < size.x; ++x) {
            const uint8_t alpha = alphaOf(pixelAt(view, x, y));
            count += alpha > 24 && alpha < 232;
        }
    }
    return count;
}

TEST_F(LabelTest, AtTwiceTheScaleTextIsSetAtTwiceTheSizeWithEdgesAsSharpAsAtOne) {
    const UIRect plain = inkOf(L"HHHH", true);
    const int plainEdges = edgePixels(label.get());
    window.setScale(2.0f);
    pumpQueued();
    const UIRect doubled = inkBounds(label.get());
    // The same line at twice the pixels: its box's top at y = 82, the ink of the capitals twice as large.
    EXPECT_NEAR(2 * plain.y, doubled.y, 2);
    EXPECT_NEAR(2 * plain.width, doubled.width, 4);
    EXPECT_NEAR(2 * plain.height, doubled.height, 4);
    // Set at 36 pixels, not enlarged from 18: the glyphs' edges stay one pixel wide, so they grow with the
    // outline's length (twice) and not with its area (four times), as an enlargement's blur would.
    EXPECT_LT(edgePixels(label.get()), 3 * plainEdges);
}

TEST_F(LabelTest, TallTurnedLabelCentresItsLineAcrossItsWidth) {
    // 40 pixels wide: the turned line box's top lies at x = (40 + 18) / 2 = 29, inside the label.
    label->setFrame(UIRect{10, 10, 40, 180});
    const UIRect ink = inkOf(L"HHHHHHHH", false);
    ASSERT_GT(ink.width, 0);
    EXPECT_LE(ink.x + ink.width - 1, 29);
    EXPECT_GE(ink.x + ink.width - 1, 22);
    EXPECT_GT(ink.height, 80);
}

TEST_F(LabelTest, TurnedGlyphsFaceRight) {
    // The bar of a T is its top: it lies along the right edge of turned ink, along the top of plain ink.
    const UIRect vertical = inkOf(L"T", false);
    ASSERT_GT(vertical.width, 0);
    EXPECT_GE(inkInColumn(label.get(), vertical.x + vertical.width - 1), 8);
    EXPECT_LE(inkInColumn(label.get(), vertical.x), 4);
    const UIRect horizontal = inkOf(L"T", true);
    ASSERT_GT(horizontal.width, 0);
    EXPECT_GE(inkInRow(label.get(), horizontal.y), 8);
    EXPECT_LE(inkInRow(label.get(), horizontal.y + horizontal.height - 1), 4);
}

TEST_F(LabelTest, HighlightRecoloursTheTextAtTheNextRender) {
    label->setHighlightColor(UIColor::make(255, 0, 0, 255));
    ASSERT_GT(inkOf(L"HHHH", true).width, 0);
    UIPoint densest{0, 0};
    for (int32_t y = 0; y < 100; ++y) {
        for (int32_t x = 0; x < 100; ++x) {
            if (alphaOf(pixelAt(label.get(), x, y)) > alphaOf(pixelAt(label.get(), densest.x, densest.y))) {
                densest = UIPoint{x, y};
            }
        }
    }
    const uint32_t plain = pixelAt(label.get(), densest.x, densest.y);
    EXPECT_GT(alphaOf(plain), 200);
    EXPECT_EQ(0u, plain & 0x00FFFFFFu);
    label->setHighlighted(true);
    pumpQueued();
    const uint32_t highlighted = pixelAt(label.get(), densest.x, densest.y);
    EXPECT_EQ(alphaOf(plain), alphaOf(highlighted));
    EXPECT_EQ(alphaOf(highlighted), redOf(highlighted));
    EXPECT_EQ(0u, highlighted & 0x0000FFFFu);
}

TEST_F(LabelTest, EmptyTextDrawsOnlyTheBackground) {
    const UIRect ink = inkOf(L"", false);
    EXPECT_EQ(0, ink.width);
    EXPECT_EQ(0u, pixelAt(label.get(), 50, 50));
    label->setBackgroundColor(UIColor::make(0, 0, 255, 255));
    pumpQueued();
    EXPECT_EQ(0xFF0000FFu, pixelAt(label.get(), 50, 50));
}

TEST_F(LabelTest, FontThatCannotBeMadeDrawsNothing) {
    UIFont* unusable = createFont(nullptr, 0, -1, 0);
    EXPECT_EQ(nullptr, unusable->gdiFont());
    label->setFont(unusable);
    EXPECT_EQ(0, inkOf(L"HHHH", true).width);
}

TEST_F(LabelTest, SetFontReleasesThePreviousFontOnceAndTheLabelReleasesItsLast) {
    UIFont* first = createFont(nullptr, 0, 18, 0);
    UIFont* second = createFont(nullptr, 0, 18, 0);
    first->retain();
    second->retain();
    label->setFont(first);
    label->setFont(second);
    EXPECT_EQ(1, first->refCount());
    EXPECT_EQ(2, second->refCount());
    EXPECT_GT(inkOf(L"HHHH", true).width, 0);
    label.reset();
    EXPECT_EQ(1, second->refCount());
    first->release();
    second->release();
}

TEST(UIFontTest, DefaultFontComesFromTheProgramsFontResourceAndOthersFallBackToSansSerif) {
    TestWindow window;
    openWindow(window, 10, 10, 50, 50);
    ASSERT_NE(nullptr, defaultFont());
    EXPECT_EQ(L"Zelnsoft2012", familyName(defaultFont()));
    EXPECT_EQ(18, defaultFont()->size());

    UIFont* fallback = createFont(nullptr, 0, 18, 0);
    ASSERT_NE(nullptr, fallback->gdiFont());
    EXPECT_NE(L"", familyName(fallback));
    EXPECT_NE(L"Zelnsoft2012", familyName(fallback));
    fallback->release();

    ResourceCopy copy;
    ASSERT_EQ(0, loadResourceCopy(GetModuleHandleW(nullptr), kDefaultFontResource, L"TTF", copy));
    UIFont* fromBytes = createFont(copy.bytes, copy.length, 24, Gdiplus::FontStyleBold);
    freeResourceCopy(copy.block);
    EXPECT_EQ(L"Zelnsoft2012", familyName(fromBytes));
    EXPECT_EQ(24, fromBytes->size());
    fromBytes->release();
}

TEST(UIResourcesTest, ResourceCopiesAndImagesOutliveTheirBytes) {
    TestWindow window;
    openWindow(window, 10, 10, 50, 50);
    ResourceCopy copy;
    EXPECT_EQ(1, loadResourceCopy(GetModuleHandleW(nullptr), 299, L"PNG", copy));
    EXPECT_EQ(nullptr, copy.block);
    EXPECT_EQ(nullptr, copy.bytes);
    EXPECT_EQ(1, loadResourceCopy(GetModuleHandleW(nullptr), kNormalPng, L"TTF", copy));

    ASSERT_EQ(0, loadResourceCopy(GetModuleHandleW(nullptr), kNormalPng, L"PNG", copy));
    ASSERT_NE(nullptr, copy.block);
    ASSERT_GE(copy.length, 8u);
    EXPECT_EQ(0, std::memcmp(copy.bytes, "\x89PNG\r\n\x1a\n", 8));
    UIImage image(copy.bytes, copy.length);
    std::memset(const_cast<void*>(copy.bytes), 0, copy.length);
    EXPECT_EQ(0, freeResourceCopy(copy.block));
    EXPECT_EQ(nullptr, copy.block);
    EXPECT_EQ(1, freeResourceCopy(copy.block));

    ASSERT_NE(nullptr, image.bitmap());
    UINT width = 0;
    EXPECT_EQ(Gdiplus::Ok, Gdiplus::DllExports::GdipGetImageWidth(image.bitmap(), &width));
    EXPECT_EQ(2u, width);
}

TEST(UIResourcesTest, BytesThatDoNotDecodeGiveAnImageThatDrawsNothing) {
    TestWindow window;
    openWindow(window, 10, 10, 100, 100);
    const char garbage[] = "this is no picture at all";
    UIButton button(window.handle());
    button.normalImage = new UIImage(garbage, sizeof garbage);
    EXPECT_EQ(nullptr, button.normalImage->bitmap());
    button.setFrame(UIRect{10, 10, 40, 40});
    window.rootView()->addChild(&button);
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));
    EXPECT_EQ(0, inkBounds(&button, 0).width);
}

// A view whose paintings start from a picture, with a white dot of its own at (1, 1) over it.
class PictureView : public UIView {
public:
    PictureView(HWND handle, const UIImage* picture) : UIView(handle), picture_(picture) {}
    const UIImage* backgroundImage() const override { return picture_; }
    void paint(Gdiplus::GpGraphics* graphics, UIRect) override { fillRect(graphics, UIRect{1, 1, 1, 1}, UIColor::white()); }

private:
    const UIImage* picture_;
};

TEST(UIResourcesTest, BackgroundImageIsCopiedAtItsOwnSizeStretchedAtAnotherAndPaintedOver) {
    TestWindow window;
    openWindow(window, 10, 10, 100, 100);
    UIImage* quadrants = loadPng(kQuadrantsPng);
    ASSERT_NE(nullptr, quadrants);
    const char garbage[] = "no picture";
    UIImage undecodable(garbage, sizeof garbage);
    PictureView exact(window.handle(), quadrants), stretched(window.handle(), quadrants),
        blank(window.handle(), &undecodable);
    exact.setFrame(UIRect{0, 0, 2, 2});
    stretched.setFrame(UIRect{10, 10, 40, 40});
    blank.setFrame(UIRect{60, 10, 4, 4});
    for (UIView* view : {static_cast<UIView*>(&exact), static_cast<UIView*>(&stretched), static_cast<UIView*>(&blank)}) {
        window.rootView()->addChild(view);
    }
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));

    // At its own size: the picture's pixels exactly, premultiplied, its top row on top; the dot over them.
    EXPECT_EQ(0xFFFF0000u, paintedPixelAt(&exact, 0, 0));
    EXPECT_EQ(0xFF00FF00u, paintedPixelAt(&exact, 1, 0));
    EXPECT_EQ(0x80000080u, paintedPixelAt(&exact, 0, 1));
    EXPECT_EQ(0xFFFFFFFFu, paintedPixelAt(&exact, 1, 1));
    // Stretched it is drawn, blended by the drawing library's interpolation: each quadrant still leans to
    // its own pixel, and the transparent corner stays the least opaque.
    const uint32_t red = paintedPixelAt(&stretched, 4, 4), green = paintedPixelAt(&stretched, 35, 4);
    const uint32_t blue = paintedPixelAt(&stretched, 4, 35), clear = paintedPixelAt(&stretched, 35, 35);
    EXPECT_GT(redOf(red), redOf(green));
    EXPECT_GT(greenOf(green), greenOf(red));
    EXPECT_GT(blueOf(blue), blueOf(green));
    EXPECT_LT(alphaOf(clear), alphaOf(blue));
    EXPECT_LT(alphaOf(blue), alphaOf(red));
    EXPECT_EQ(0xFFFFFFFFu, paintedPixelAt(&stretched, 1, 1));
    // A picture that gives no pixels leaves the surface cleared under the painting.
    EXPECT_EQ(0u, paintedPixelAt(&blank, 0, 0));
    EXPECT_EQ(0u, paintedPixelAt(&blank, 3, 3));
    EXPECT_EQ(0xFFFFFFFFu, paintedPixelAt(&blank, 1, 1));
    // The image keeps the picture at each size asked for at the scale: repainted, neither view filters again.
    const uint64_t filtered = pictureFilterings();
    exact.setDirty(true);
    stretched.setDirty(true);
    ASSERT_TRUE(pumpUntil([&] { return !window.isRedrawPending(); }));
    EXPECT_EQ(filtered, pictureFilterings());
    EXPECT_EQ(red, paintedPixelAt(&stretched, 4, 4));
    EXPECT_EQ(0xFFFF0000u, paintedPixelAt(&exact, 0, 0));

    // Repainted after the view's size changed to the picture's, it is copied again, whole.
    stretched.setFrame(UIRect{10, 10, 2, 2});
    ASSERT_TRUE(pumpUntil([&] { return !window.isRedrawPending(); }));
    EXPECT_EQ(0x80000080u, paintedPixelAt(&stretched, 0, 1));
    EXPECT_EQ(0xFF00FF00u, pixelAt(window.rootView(), 11, 10));

    // At scale 2 the picture's double-size form fills the 4 x 4 surface exactly, and the painting's dot is
    // 2 x 2 pixels at (2, 2).
    window.setScale(2.0f);
    ASSERT_TRUE(pumpUntil([&] { return !window.isRedrawPending(); }));
    EXPECT_EQ(0xFFFF0000u, paintedPixelAt(&exact, 1, 1));
    EXPECT_EQ(0xFF00FF00u, paintedPixelAt(&exact, 2, 0));
    EXPECT_EQ(0xFF00FF00u, paintedPixelAt(&exact, 3, 1));
    EXPECT_EQ(0x80000080u, paintedPixelAt(&exact, 0, 3));
    EXPECT_EQ(0x80000080u, paintedPixelAt(&exact, 1, 2));
    EXPECT_EQ(0xFFFFFFFFu, paintedPixelAt(&exact, 2, 2));
    EXPECT_EQ(0xFFFFFFFFu, paintedPixelAt(&exact, 3, 3));
    EXPECT_EQ(0xFF00FF00u, pixelAt(window.rootView(), 22, 20));
    quadrants->release();
}

// A screenshot script names a file in ZELN_TOOLKIT_SHOW_UNTIL: the window then stays on screen, titled so
// that the script finds it, until that file appears (or a minute has passed).
void holdForScreenshot(const UIWindow& window) {
    wchar_t flagFile[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZELN_TOOLKIT_SHOW_UNTIL", flagFile, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    SetWindowTextW(window.handle(), L"Toolkit screenshot");
    EXPECT_TRUE(pumpUntil([&] { return GetFileAttributesW(flagFile) != INVALID_FILE_ATTRIBUTES; }, 60000));
}

TEST(UIScreenshotTest, SmallWindowComposesButtonsAndLabelsOverAHalfTransparentBackground) {
    TestWindow window;
    openWindow(window, 40, 40, 320, 200);
    UIView* root = window.rootView();
    root->setBackgroundColor(UIColor::make(24, 48, 96, 128));

    UIButton first(window.handle()), second(window.handle());
    first.normalImage = loadPng(kNormalPng);
    first.hoverImage = loadPng(kHoverPng);
    second.normalImage = loadPng(kPressedPng);
    first.setFrame(UIRect{20, 140, 80, 36});
    second.setFrame(UIRect{120, 140, 80, 36});
    first.titleLabel()->setHorizontal(true);
    first.titleLabel()->setText(L"Install");
    first.titleLabel()->setHighlightColor(UIColor::white());
    second.titleLabel()->setHorizontal(true);
    second.titleLabel()->setText(L"Close");
    second.titleLabel()->setTextColor(UIColor::white());

    UILabel vertical(window.handle()), horizontal(window.handle());
    vertical.setFrame(UIRect{260, 10, 40, 180});
    vertical.setText(L"Zelnsoft 2012");
    vertical.setTextColor(UIColor::make(255, 220, 120, 255));
    vertical.setBackgroundColor(UIColor::make(0, 0, 0, 96));
    horizontal.setFrame(UIRect{20, 20, 220, 60});
    horizontal.setHorizontal(true);
    horizontal.setText(L"Version 1.2 done 42%");
    horizontal.setTextColor(UIColor::white());
    // A clear panel holding a half-transparent red wash and a blue square that is hidden after the first
    // render: after many renders the wash keeps its own alpha and the square is gone from the screen.
    RecordingView panel(window.handle(), "panel", UIColor::clear());
    RecordingView wash(window.handle(), "wash", UIColor::make(255, 0, 0, 128));
    RecordingView square(window.handle(), "square", UIColor::make(0, 0, 255, 255));
    panel.setFrame(UIRect{140, 90, 60, 40});
    wash.setFrame(UIRect{0, 0, 20, 20});
    square.setFrame(UIRect{30, 0, 20, 20});
    panel.addChild(&wash);
    panel.addChild(&square);
    root->addChild(&first);
    root->addChild(&second);
    root->addChild(&vertical);
    root->addChild(&horizontal);
    root->addChild(&panel);
    ASSERT_TRUE(pumpUntil([&] { return window.renders >= 1 && !window.isRedrawPending(); }));
    square.setHidden(true);
    for (int render = 0; render < 5; ++render) {
        window.setRedrawPending(true);
        pumpQueued();
    }
    sendMouse(window, WM_MOUSEMOVE, 0, 60, 158);
    pumpQueued();

    // The wash, premultiplied (128, 0, 0) at alpha 128, over the background's (12, 24, 48) at alpha 128.
    const uint32_t washed = pixelAt(root, 150, 100);
    EXPECT_NEAR(192, alphaOf(washed), 1);
    EXPECT_NEAR(134, redOf(washed), 1);
    EXPECT_EQ(pixelAt(root, 5, 5), pixelAt(root, 175, 100));
    EXPECT_EQ(128, alphaOf(pixelAt(root, 5, 5)));
    EXPECT_EQ(0xFF00FF00u, pixelAt(root, 24, 144));
    EXPECT_GT(inkBounds(&horizontal).width, 100);
    EXPECT_GT(inkBounds(&vertical).height, 100);
    holdForScreenshot(window);
}

}  // namespace
