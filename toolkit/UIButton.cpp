#include "toolkit/UIButton.h"

#include <algorithm>
#include <iterator>

#include "toolkit/UILabel.h"
#include "toolkit/UIResources.h"

using namespace Gdiplus;

UIButton::UIButton(HWND windowHandle) : UIControl(windowHandle), titleLabel_(new UILabel(windowHandle)) {
    addChild(titleLabel_);
}

UIButton::~UIButton() {
    delete titleLabel_;
    UIImage* images[] = {normalImage, hoverImage, pressedImage, disabledImage};
    for (auto it = std::begin(images); it != std::end(images); ++it) {
        // The same image may sit in several fields; it is destroyed once.
        if (*it != nullptr && std::find(std::begin(images), it, *it) == it) delete *it;
    }
}

const UIImage* UIButton::backgroundImage() const {
    if (disabled_) return disabledImage != nullptr ? disabledImage : normalImage;
    return currentImage_ != nullptr ? currentImage_ : normalImage;
}

void UIButton::paint(GpGraphics* graphics, UIRect bounds) { UIView::paint(graphics, bounds); }

void UIButton::setFrame(UIRect frame) {
    UIView::setFrame(frame);
    titleLabel_->setFrame(UIRect{0, 0, frame.width, frame.height});
}

void UIButton::onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) {
    UIControl::onLeftButtonDown(flags, x, y);
    currentImage_ = pressedImage;
}

void UIButton::onLeftButtonUpOutside(uint32_t flags, int32_t x, int32_t y) {
    UIControl::onLeftButtonUpOutside(flags, x, y);
    currentImage_ = normalImage;
}

void UIButton::onMouseEnter() {
    UIControl::onMouseEnter();
    currentImage_ = isPressed() ? pressedImage : hoverImage;
    titleLabel_->setHighlighted(true);
}

void UIButton::onMouseExit() {
    UIControl::onMouseExit();
    currentImage_ = isPressed() ? hoverImage : nullptr;
    titleLabel_->setHighlighted(false);
}

void UIButton::setDisabled(bool disabled) {
    if (disabled == disabled_) return;
    disabled_ = disabled;
    setInteractive(!disabled);
    setDirty(true);
}
