#include "toolkit/ScopedGdi.h"

Surface makeSurface(int32_t width, int32_t height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows run bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    Surface surface;
    void* bits = nullptr;
    surface.bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (surface.bitmap) {
        surface.bits = bits;
        surface.width = width;
        surface.height = height;
    }
    return surface;
}

BLENDFUNCTION sharedBlend() {
    BLENDFUNCTION blend = {};
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = 255;
    blend.AlphaFormat = AC_SRC_ALPHA;
    return blend;
}

ScopedImage bitmapOverPixels(void* bits, int32_t width, int32_t height) {
    using namespace Gdiplus;
    // The first scan line is the last one in memory: the stride is negative.
    const INT stride = width * 4;
    BYTE* topRow = static_cast<BYTE*>(bits) + static_cast<size_t>(height - 1) * stride;
    GpBitmap* bitmap = nullptr;
    if (DllExports::GdipCreateBitmapFromScan0(width, height, -stride, PixelFormat32bppPARGB, topRow, &bitmap) != Ok) {
        return nullptr;
    }
    // The logical grid is 96 to the inch whatever the display: a point is then 4/3 logical pixels, and the
    // display scale is the transform's alone. (A new bitmap would otherwise take the system's DPI, which a
    // program aware of it sees, and count it twice.)
    DllExports::GdipBitmapSetResolution(bitmap, 96.0f, 96.0f);
    return ScopedImage(bitmap);
}

void drawThroughScale(Gdiplus::GpGraphics* graphics, float scale) {
    using namespace Gdiplus;
    if (scale == 1.0f) return;
    DllExports::GdipScaleWorldTransform(graphics, scale, scale, MatrixOrderPrepend);
    DllExports::GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
}
