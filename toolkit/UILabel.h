#pragma once
// A text view. Vertical by default: the line is turned 90 degrees clockwise and runs down the view from
// its top edge, the tops of the glyphs facing right. Labels never take the mouse.
#include "toolkit/UIView.h"

class UIFont;

class UILabel : public UIView {
public:
    explicit UILabel(HWND windowHandle);
    ~UILabel() override;

    void paint(Gdiplus::GpGraphics* graphics, UIRect bounds) override;

    void setHorizontal(bool horizontal);
    bool isHorizontal() const { return horizontal_; }
    // Kept for the application; the drawing does not read it.
    void setLayoutOption(int32_t option);
    int32_t layoutOption() const { return layoutOption_; }
    MGString* text() const { return text_.get(); }
    void setText(const wchar_t* text);
    void setText(const MGString* text);
    // Takes over the caller's reference on the font and releases the previous one; none means the
    // default font.
    void setFont(UIFont* font);
    UIFont* font() const { return font_; }
    UIColor textColor() const { return textColor_; }
    void setTextColor(UIColor color);
    UIColor highlightColor() const { return highlightColor_; }
    void setHighlightColor(UIColor color);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);

private:
    void drawText(Gdiplus::GpGraphics* graphics, UIRect bounds) const;

    bool horizontal_ = false;
    int32_t layoutOption_ = 0;
    std::unique_ptr<MGString> text_;
    UIFont* font_ = nullptr;
    UIColor textColor_ = UIColor::black();
    UIColor highlightColor_ = UIColor::black();
    bool highlighted_ = false;
};
