#pragma once
// The progress bar of the installing page: a grey track along the bottom five rows, a green fill for the
// fraction done, and the percentage written just above the fill's end.
#include "toolkit/UIView.h"

class CProgressView : public UIView {
public:
    explicit CProgressView(UIWindow* window);

    void paint(Gdiplus::GpGraphics* graphics, UIRect bounds) override;

    // Fraction done, 0.0 to 1.0.
    float progress() const { return progress_; }
    void setProgress(float progress) { progress_ = progress; }

private:
    float progress_ = 0.0f;
    ScopedFont percentFont_;
};

// The whole percentage the bar shows for a fraction (truncated, single precision).
int32_t wholePercent(float progress);
// Where the percentage text starts: just behind the fill's end, and never past the bar's last 60 pixels.
float percentTextX(int32_t width, float progress);
