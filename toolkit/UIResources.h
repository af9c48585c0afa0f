#pragma once
// Images and fonts, and copies of the program's resources for them. The default font that every label
// falls back to is made when the drawing library starts and released when it stops.
#include <windows.h>
#include <gdiplus.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/MGObject.h"
#include "toolkit/ScopedGdi.h"

// A bitmap decoded from PNG (or any format the drawing library decodes) bytes. Bytes that do not decode
// give an image without a bitmap, which draws nothing. An image may also carry its double-size form, the
// same picture drawn with twice the pixels each way, which views painting above scale 1.0 start from.
class UIImage : public MGObject {
public:
    UIImage(const void* bytes, size_t length);

    void freeResources() override;
    Gdiplus::GpImage* bitmap() const { return base_.get(); }
    // Keeps a copy of the bytes of the double-size form; they are decoded when a scale above 1.0 first
    // asks for it, so that a display at 100 percent never pays for them.
    void setDoubleSize(const void* bytes, size_t length);
    // The picture stretched over a view of `width` x `height` on the logical grid, as that view's surface
    // holds it at the scale: premultiplied, the bottom row first, ready to be copied in. The form for the
    // scale (the double-size one above 1.0) is taken as it is when it has the surface's size and otherwise
    // filtered to it, once: the result is kept for as long as the scale stays, and what was kept for another
    // scale is let go. Empty when the picture gives no pixels. Valid until the next call.
    const std::vector<uint32_t>& pixelsAt(int32_t width, int32_t height, float scale) const;

private:
    // The picture at one view size, at `keptScale_`.
    struct Fitted {
        int32_t width = 0;
        int32_t height = 0;
        std::vector<uint32_t> pixels;
    };
    // The form to start from at a display scale: the double-size one above 1.0 when it decodes, else the bitmap.
    Gdiplus::GpImage* formFor(float scale) const;

    ScopedImage base_;
    // The double-size form's bytes until a scale first asks for it, then the form.
    mutable std::vector<uint8_t> doubleSizeBytes_;
    mutable ScopedImage doubleSize_;
    mutable float keptScale_ = 0.0f;
    mutable std::vector<Fitted> kept_;
};

// How many times, in this process, a picture has been filtered to the size a view shows it at: each is a
// pass of high-quality interpolation over every pixel, made once per picture, view size and scale.
uint64_t pictureFilterings();

// A font with its own private collection, in which font bytes from the program's resources can be
// placed. The family "Zelnsoft2012" is taken from that collection, or else the generic sans-serif one;
// when neither gives a font, `gdiFont` is none and text drawn with it draws nothing.
class UIFont : public MGObject {
public:
    UIFont() = default;

    void freeResources() override;
    int32_t size() const { return record_ ? record_->size : 0; }
    Gdiplus::GpFont* gdiFont() const { return record_ ? record_->gdiFont.get() : nullptr; }
    Gdiplus::GpFontFamily* family() const { return record_ ? record_->family.get() : nullptr; }

private:
    friend UIFont* createFont(const void* bytes, size_t length, int32_t pixelSize, int32_t style);

    struct Record {
        ScopedFontCollection collection;
        ScopedFont gdiFont;
        ScopedFontFamily family;
        int32_t size = 0;
    };
    std::unique_ptr<Record> record_;
};

constexpr wchar_t kFontFamilyName[] = L"Zelnsoft2012";
constexpr int32_t kDefaultFontResource = 112;
constexpr int32_t kDefaultFontPixelSize = 18;

// A new font (one reference, the caller's) of `pixelSize` pixels, from the bytes if any are given.
UIFont* createFont(const void* bytes, size_t length, int32_t pixelSize, int32_t style);
// Makes the default font, from the "TTF" resource 112 of the toolkit's module when it has one.
void loadDefaultFont();
UIFont* defaultFont();
// Releases and forgets the default font; a later `loadDefaultFont` makes a new one.
void releaseDefaultFont();

// A copy of a program resource in a global memory block.
struct ResourceCopy {
    HGLOBAL block = nullptr;
    const void* bytes = nullptr;
    size_t length = 0;
};
// 0 when the resource was found and copied, 1 otherwise (then `copy` is left empty).
int loadResourceCopy(HMODULE module, int32_t id, const wchar_t* type, ResourceCopy& copy);
// Frees the block and clears the caller's handle; 1 for an empty handle, 0 otherwise.
int freeResourceCopy(HGLOBAL& block);

// The resource type of a picture's double-size form, under the number of the picture's own "PNG" resource.
constexpr wchar_t kDoubleSizePngType[] = L"PNG2X";
// A new image (one reference, the caller's) from the module's "PNG" resource `id`, carrying the "PNG2X"
// resource of that number as its double-size form when the module has one; none without the "PNG" resource.
UIImage* loadPngResource(HMODULE module, int32_t id);
