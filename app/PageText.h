#pragma once
// The few texts the wizard draws itself over its pictures: fonts made from a family name, and one string
// drawn in one colour.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>

#include "toolkit/ScopedGdi.h"

// A font of the named family at `points` points, regular; the drawing library's generic sans-serif
// family stands in when the named one is not installed. None when neither gives a font: text drawn with
// it is then left out.
ScopedFont makePointFont(const wchar_t* family, float points);

// Draws the text with the default string format from the layout rectangle's corner, in a solid colour
// given as ARGB. A zero-sized rectangle neither wraps nor clips.
void drawText(Gdiplus::GpGraphics* graphics, const wchar_t* text, const Gdiplus::GpFont* font, uint32_t argb,
              const Gdiplus::RectF& layout);
