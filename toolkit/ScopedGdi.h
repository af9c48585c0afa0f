#pragma once
// Small owners for the GDI, GDI+ and global-memory handles of the toolkit, so that each is given back
// on every path; the two things every composition shares: the 32-bit surface and the blend; and the
// drawing library set up over such pixels at a display scale.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <type_traits>

namespace toolkit_detail {

struct GdiObjectCloser {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct MemoryDcCloser {
    void operator()(HDC context) const { DeleteDC(context); }
};
struct GlobalCloser {
    void operator()(void* block) const { GlobalFree(static_cast<HGLOBAL>(block)); }
};
struct GraphicsCloser {
    void operator()(Gdiplus::GpGraphics* graphics) const { Gdiplus::DllExports::GdipDeleteGraphics(graphics); }
};
struct BrushCloser {
    void operator()(Gdiplus::GpSolidFill* brush) const { Gdiplus::DllExports::GdipDeleteBrush(brush); }
};
struct ImageCloser {
    void operator()(Gdiplus::GpImage* image) const { Gdiplus::DllExports::GdipDisposeImage(image); }
};
struct FontCloser {
    void operator()(Gdiplus::GpFont* font) const { Gdiplus::DllExports::GdipDeleteFont(font); }
};
struct FontFamilyCloser {
    void operator()(Gdiplus::GpFontFamily* family) const { Gdiplus::DllExports::GdipDeleteFontFamily(family); }
};
struct FontCollectionCloser {
    void operator()(Gdiplus::GpFontCollection* collection) const {
        Gdiplus::DllExports::GdipDeletePrivateFontCollection(&collection);
    }
};
struct StreamCloser {
    void operator()(IStream* stream) const { stream->Release(); }
};

}  // namespace toolkit_detail

using ScopedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, toolkit_detail::GdiObjectCloser>;
using ScopedMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, toolkit_detail::MemoryDcCloser>;
using ScopedGlobal = std::unique_ptr<void, toolkit_detail::GlobalCloser>;
using ScopedGraphics = std::unique_ptr<Gdiplus::GpGraphics, toolkit_detail::GraphicsCloser>;
using ScopedSolidBrush = std::unique_ptr<Gdiplus::GpSolidFill, toolkit_detail::BrushCloser>;
using ScopedImage = std::unique_ptr<Gdiplus::GpImage, toolkit_detail::ImageCloser>;
using ScopedFont = std::unique_ptr<Gdiplus::GpFont, toolkit_detail::FontCloser>;
using ScopedFontFamily = std::unique_ptr<Gdiplus::GpFontFamily, toolkit_detail::FontFamilyCloser>;
using ScopedFontCollection = std::unique_ptr<Gdiplus::GpFontCollection, toolkit_detail::FontCollectionCloser>;
using ScopedStream = std::unique_ptr<IStream, toolkit_detail::StreamCloser>;

// A window's display context, borrowed with GetDC or GetWindowDC and handed back with ReleaseDC.
class ScopedWindowDc {
public:
    ScopedWindowDc(HWND window, HDC context) : window_(window), context_(context) {}
    ~ScopedWindowDc() {
        if (context_ != nullptr) ReleaseDC(window_, context_);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC get() const { return context_; }

private:
    HWND window_;
    HDC context_;
};

// A 32-bit premultiplied BGRA surface: a bottom-up DIB section, zero-filled (fully transparent) when made.
struct Surface {
    ScopedBitmap bitmap;
    void* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};
Surface makeSurface(int32_t width, int32_t height);

// The source-over, per-pixel-alpha blend of every composition and of the push to the screen.
BLENDFUNCTION sharedBlend();

// A drawing-library bitmap laid over `width` x `height` premultiplied pixels held as a surface holds them
// (bottom row first), so that what is drawn on it lands in those pixels; none when it cannot be made.
ScopedImage bitmapOverPixels(void* bits, int32_t width, int32_t height);
// Sets a graphics object to take logical coordinates at the display scale: above or below 1.0 everything
// drawn goes through the scale, and pictures that must be resized are filtered at their best.
void drawThroughScale(Gdiplus::GpGraphics* graphics, float scale);
