#pragma once
// A control drawn from images, one per mouse situation, with a title label covering it.
#include "toolkit/UIView.h"

class UIImage;
class UILabel;

class UIButton : public UIControl {
public:
    explicit UIButton(HWND windowHandle);
    // Destroys the title label, then each distinct image once.
    ~UIButton() override;

    // The image of the state, stretched over the whole button, is what its painting starts from.
    const UIImage* backgroundImage() const override;
    // Only the background colour, clear unless set, over the image: the control's state colours are not
    // painted, the images show the states.
    void paint(Gdiplus::GpGraphics* graphics, UIRect bounds) override;
    void setFrame(UIRect frame) override;
    void onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) override;
    void onLeftButtonUpOutside(uint32_t flags, int32_t x, int32_t y) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    // The system hand cursor.
    uint32_t cursorId() const override { return 32649; }

    // A disabled button is not hit: clicks reach what lies under it.
    void setDisabled(bool disabled);
    bool isDisabled() const { return disabled_; }
    UILabel* titleLabel() const { return titleLabel_; }
    // The image of the present state; none means `normalImage`.
    UIImage* currentImage() const { return currentImage_; }

    // Owned; assigned by the application. `normalImage` stands in for every state without its own.
    UIImage* normalImage = nullptr;
    UIImage* hoverImage = nullptr;
    UIImage* pressedImage = nullptr;
    UIImage* disabledImage = nullptr;

private:
    UILabel* titleLabel_;
    bool disabled_ = false;
    UIImage* currentImage_ = nullptr;
};
