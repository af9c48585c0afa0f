#include "toolkit/UILabel.h"

#include "toolkit/UIResources.h"

using namespace Gdiplus;

UILabel::UILabel(HWND windowHandle) : UIView(windowHandle), text_(std::make_unique<MGString>()) {
    UIView::setInteractive(false);
    UIView::setBackgroundColor(UIColor::make(0, 0, 0, 0));
}

UILabel::~UILabel() {
    if (font_ != nullptr) font_->release();
}

void UILabel::paint(GpGraphics* graphics, UIRect bounds) {
    UIView::paint(graphics, bounds);
    drawText(graphics, bounds);
}

void UILabel::drawText(GpGraphics* graphics, UIRect bounds) const {
    if (text_->length() == 0) return;
    const UIFont* font = font_ != nullptr ? font_ : defaultFont();
    if (font == nullptr || font->gdiFont() == nullptr) return;
    // The extent across the line: the height for a plain line, the width for a turned one. A turned
    // line measured by the height would sit outside any label taller than it is wide.
    auto across = static_cast<REAL>(bounds.height);
    if (!horizontal_) {
        across = static_cast<REAL>(bounds.width);
        // A point (u, v) of the line lands at (w - v, u): the line runs down from the top edge.
        DllExports::GdipRotateWorldTransform(graphics, 90.0f, MatrixOrderPrepend);
        DllExports::GdipTranslateWorldTransform(graphics, 0.0f, -across, MatrixOrderPrepend);
    }
    DllExports::GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAlias);
    GpSolidFill* brush = nullptr;
    const UIColor color = highlighted_ ? highlightColor_ : textColor_;
    if (DllExports::GdipCreateSolidFill(color.argb(), &brush) != Ok) return;
    ScopedSolidBrush ownedBrush(brush);
    // One unbounded line from the start, centred across by the font's pixel size.
    const RectF layout(0.0f, (across - static_cast<REAL>(font->size())) * 0.5f, 0.0f, 0.0f);
    DllExports::GdipDrawString(graphics, text_->chars(), text_->length(), font->gdiFont(), &layout, nullptr, brush);
}

void UILabel::setHorizontal(bool horizontal) {
    if (horizontal == horizontal_) return;
    horizontal_ = horizontal;
    setDirty(true);
}

void UILabel::setLayoutOption(int32_t option) {
    if (option == layoutOption_) return;
    layoutOption_ = option;
    setDirty(true);
}

void UILabel::setText(const wchar_t* text) {
    text_->setChars(text);
    setDirty(true);
}

void UILabel::setText(const MGString* text) {
    text_->setString(text);
    setDirty(true);
}

void UILabel::setFont(UIFont* font) {
    if (font_ != nullptr) font_->release();
    font_ = font;
}

void UILabel::setTextColor(UIColor color) {
    textColor_ = color;
    setDirty(true);
}

void UILabel::setHighlightColor(UIColor color) {
    highlightColor_ = color;
    setDirty(true);
}

void UILabel::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    setDirty(true);
}
