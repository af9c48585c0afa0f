#include "app/CProgressView.h"

#include <algorithm>

#include "app/PageText.h"
#include "engine/Progress.h"

using namespace Gdiplus;

namespace {

constexpr UIColor kTrackColor{0xC8, 0xC8, 0xC8, 0xFF};
constexpr UIColor kFillColor{0x00, 0xFF, 0x00, 0xFF};
constexpr uint32_t kTextColor = 0xFF0A0A0A;
constexpr int32_t kBarHeight = 5;

}  // namespace

// The percentage is the product in single precision, truncated: the 32-bit build must not show 44 for 0.45.
int32_t wholePercent(float progress) { return static_cast<int32_t>(singlePrecision(progress * 100.0f)); }

float percentTextX(int32_t width, float progress) {
    float x = static_cast<float>(width) * progress;
    if (x > 20.0f) x -= 20.0f;
    return std::min(static_cast<float>(width - 60), x);
}

CProgressView::CProgressView(UIWindow* window) : UIView(window), percentFont_(makePointFont(L"宋体", 18.0f)) {}

void CProgressView::paint(GpGraphics* graphics, UIRect bounds) {
    const int32_t barTop = bounds.height - kBarHeight;
    fillRect(graphics, UIRect{0, barTop, bounds.width, kBarHeight}, kTrackColor);
    const auto filled = static_cast<int32_t>(static_cast<float>(bounds.width) * progress_);
    fillRect(graphics, UIRect{0, barTop, filled, kBarHeight}, kFillColor);

    wchar_t text[16];
    wsprintfW(text, L"%d%%", wholePercent(progress_));
    DllExports::GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAlias);
    drawText(graphics, text, percentFont_.get(), kTextColor, RectF(percentTextX(bounds.width, progress_), 0, 0, 0));
}
