#include "app/PageText.h"

#include <cwchar>

using namespace Gdiplus;

namespace {

ScopedFontFamily familyOrSansSerif(const wchar_t* name) {
    GpFontFamily* family = nullptr;
    if (DllExports::GdipCreateFontFamilyFromName(name, nullptr, &family) == Ok && family != nullptr) {
        return ScopedFontFamily(family);
    }
    family = nullptr;
    if (DllExports::GdipGetGenericFontFamilySansSerif(&family) != Ok) return nullptr;
    return ScopedFontFamily(family);
}

}  // namespace

ScopedFont makePointFont(const wchar_t* family, float points) {
    ScopedFontFamily fontFamily = familyOrSansSerif(family);
    if (!fontFamily) return nullptr;
    GpFont* font = nullptr;
    if (DllExports::GdipCreateFont(fontFamily.get(), points, FontStyleRegular, UnitPoint, &font) != Ok) {
        return nullptr;
    }
    return ScopedFont(font);
}

void drawText(GpGraphics* graphics, const wchar_t* text, const GpFont* font, uint32_t argb, const RectF& layout) {
    if (font == nullptr) return;
    GpSolidFill* brush = nullptr;
    if (DllExports::GdipCreateSolidFill(argb, &brush) != Ok) return;
    ScopedSolidBrush ownedBrush(brush);
    DllExports::GdipDrawString(graphics, text, static_cast<INT>(wcslen(text)), font, &layout, nullptr, brush);
}
