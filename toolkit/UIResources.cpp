#include "toolkit/UIResources.h"

#include <climits>
#include <cstring>

using namespace Gdiplus;

namespace {

UIFont* theDefaultFont = nullptr;

// The module that holds the toolkit's code: the allocation base of one of its own functions.
HMODULE toolkitCodeModule() {
    MEMORY_BASIC_INFORMATION memory = {};
    if (VirtualQuery(reinterpret_cast<const void*>(&loadDefaultFont), &memory, sizeof memory) == 0) return nullptr;
    return static_cast<HMODULE>(memory.AllocationBase);
}

// Copies the bytes into a fixed global block that the returned stream owns.
ScopedStream streamOverCopy(const void* bytes, size_t length) {
    ScopedGlobal block(GlobalAlloc(GMEM_FIXED, length));
    if (!block) return nullptr;
    if (length != 0) std::memcpy(block.get(), bytes, length);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(static_cast<HGLOBAL>(block.get()), TRUE, &stream) != S_OK) return nullptr;
    block.release();  // the stream frees it now
    return ScopedStream(stream);
}

// "Zelnsoft2012" as the collection offers it, or none.
ScopedFontFamily namedFamily(GpFontCollection* collection) {
    GpFontFamily* family = nullptr;
    if (collection == nullptr ||
        DllExports::GdipCreateFontFamilyFromName(kFontFamilyName, collection, &family) != Ok) {
        return nullptr;
    }
    return ScopedFontFamily(family);
}

ScopedFontFamily sansSerifFamily() {
    GpFontFamily* family = nullptr;
    if (DllExports::GdipGetGenericFontFamilySansSerif(&family) != Ok) return nullptr;
    return ScopedFontFamily(family);
}

ScopedFont makeFont(GpFontFamily* family, int32_t pixelSize, int32_t style) {
    GpFont* font = nullptr;
    if (family == nullptr ||
        DllExports::GdipCreateFont(family, static_cast<REAL>(pixelSize), style, UnitPixel, &font) != Ok) {
        return nullptr;
    }
    return ScopedFont(font);
}

// The bitmap's pixels converted by the drawing library to premultiplied 32-bit, in the bottom-up row order
// of the surfaces; none when the image is not a bitmap or cannot be read.
UIImage::SurfacePixels readSurfacePixels(GpImage* image) {
    ImageType type = ImageTypeUnknown;
    UINT width = 0, height = 0;
    if (image == nullptr || DllExports::GdipGetImageType(image, &type) != Ok || type != ImageTypeBitmap ||
        DllExports::GdipGetImageWidth(image, &width) != Ok || DllExports::GdipGetImageHeight(image, &height) != Ok ||
        width == 0 || height == 0 || width > INT_MAX || height > INT_MAX) {
        return {};
    }
    auto* bitmap = static_cast<GpBitmap*>(image);
    const GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    BitmapData locked = {};
    if (DllExports::GdipBitmapLockBits(bitmap, &whole, ImageLockModeRead, PixelFormat32bppPARGB, &locked) != Ok) {
        return {};
    }
    UIImage::SurfacePixels read;
    const INT64 stride = locked.Stride;
    if (locked.Width == width && locked.Height == height && locked.Scan0 != nullptr &&
        (stride < 0 ? -stride : stride) >= static_cast<INT64>(width) * 4) {
        read.pixels.resize(static_cast<size_t>(width) * height);
        for (UINT row = 0; row < height; ++row) {
            const BYTE* source = static_cast<const BYTE*>(locked.Scan0) + static_cast<INT64>(row) * stride;
            std::memcpy(&read.pixels[static_cast<size_t>(height - 1 - row) * width], source, width * 4u);
        }
        read.width = width;
    }
    DllExports::GdipBitmapUnlockBits(bitmap, &locked);
    return read;
}

// The image the bytes decode to, or none.
ScopedImage decodeImage(const void* bytes, size_t length) {
    ScopedStream stream = streamOverCopy(bytes, length);
    GpImage* image = nullptr;
    if (!stream || DllExports::GdipLoadImageFromStream(stream.get(), &image) != Ok) return nullptr;
    return ScopedImage(image);
}

}  // namespace

UIImage::UIImage(const void* bytes, size_t length) { base_.bitmap = decodeImage(bytes, length); }

void UIImage::freeResources() {
    base_ = Form{};
    doubleSizeBytes_.clear();
    doubleSize_.reset();
}

void UIImage::setDoubleSize(const void* bytes, size_t length) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    doubleSizeBytes_.assign(first, first + length);
    doubleSize_.reset();
}

const UIImage::Form& UIImage::formFor(float scale) const {
    if (scale <= 1.0f) return base_;
    if (!doubleSize_ && !doubleSizeBytes_.empty()) {
        doubleSize_.emplace();
        doubleSize_->bitmap = decodeImage(doubleSizeBytes_.data(), doubleSizeBytes_.size());
        std::vector<uint8_t>().swap(doubleSizeBytes_);
    }
    return doubleSize_ && doubleSize_->bitmap ? *doubleSize_ : base_;
}

GpImage* UIImage::bitmapFor(float scale) const { return formFor(scale).bitmap.get(); }

const std::vector<uint32_t>& UIImage::surfacePixels(int32_t width, int32_t height, float scale) const {
    const Form& form = formFor(scale);
    if (!form.surfacePixels) form.surfacePixels = readSurfacePixels(form.bitmap.get());
    static const std::vector<uint32_t> none;
    const std::vector<uint32_t>& pixels = form.surfacePixels->pixels;
    const bool sameSize = width > 0 && height > 0 && form.surfacePixels->width == static_cast<UINT>(width) &&
                          pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height);
    return sameSize ? pixels : none;
}

void UIFont::freeResources() {
    if (!record_) return;
    record_->gdiFont.reset();
    record_->family.reset();
    record_->collection.reset();
    record_.reset();
}

UIFont* createFont(const void* bytes, size_t length, int32_t pixelSize, int32_t style) {
    auto record = std::make_unique<UIFont::Record>();
    GpFontCollection* collection = nullptr;
    if (DllExports::GdipNewPrivateFontCollection(&collection) == Ok) record->collection.reset(collection);
    if (record->collection && bytes != nullptr && length != 0) {
        DllExports::GdipPrivateAddMemoryFont(record->collection.get(), bytes, static_cast<INT>(length));
    }
    // The family is needed only to make the font; the record keeps the font's own family.
    ScopedFontFamily family = namedFamily(record->collection.get());
    record->gdiFont = makeFont(family.get(), pixelSize, style);
    if (!record->gdiFont) {
        family = sansSerifFamily();
        record->gdiFont = makeFont(family.get(), pixelSize, style);
    }
    if (record->gdiFont) {
        GpFontFamily* fontFamily = nullptr;
        if (DllExports::GdipGetFamily(record->gdiFont.get(), &fontFamily) == Ok) record->family.reset(fontFamily);
    }
    record->size = pixelSize;
    auto* font = new UIFont;
    font->record_ = std::move(record);
    return font;
}

void loadDefaultFont() {
    if (theDefaultFont != nullptr) return;
    ResourceCopy copy;
    if (loadResourceCopy(toolkitCodeModule(), kDefaultFontResource, L"TTF", copy) == 0) {
        theDefaultFont = createFont(copy.bytes, copy.length, kDefaultFontPixelSize, FontStyleRegular);
        freeResourceCopy(copy.block);
    } else {
        theDefaultFont = createFont(nullptr, 0, kDefaultFontPixelSize, FontStyleRegular);
    }
}

UIFont* defaultFont() { return theDefaultFont; }

void releaseDefaultFont() {
    if (theDefaultFont == nullptr) return;
    theDefaultFont->release();
    theDefaultFont = nullptr;
}

int loadResourceCopy(HMODULE module, int32_t id, const wchar_t* type, ResourceCopy& copy) {
    copy = ResourceCopy{};
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (resource == nullptr) return 1;
    const DWORD length = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr) return 1;
    const void* data = LockResource(loaded);
    ScopedGlobal block(data != nullptr ? GlobalAlloc(GMEM_FIXED, length) : nullptr);
    void* bytes = block ? GlobalLock(static_cast<HGLOBAL>(block.get())) : nullptr;
    if (bytes != nullptr) {
        std::memcpy(bytes, data, length);
        GlobalUnlock(static_cast<HGLOBAL>(block.get()));
    }
    FreeResource(loaded);
    if (bytes == nullptr) return 1;
    copy.block = static_cast<HGLOBAL>(block.release());
    copy.bytes = bytes;
    copy.length = length;
    return 0;
}

int freeResourceCopy(HGLOBAL& block) {
    if (block == nullptr) return 1;
    GlobalFree(block);
    block = nullptr;
    return 0;
}

UIImage* loadPngResource(HMODULE module, int32_t id) {
    ResourceCopy copy;
    if (loadResourceCopy(module, id, L"PNG", copy) != 0) return nullptr;
    auto* image = new UIImage(copy.bytes, copy.length);
    freeResourceCopy(copy.block);
    if (loadResourceCopy(module, id, kDoubleSizePngType, copy) == 0) {
        image->setDoubleSize(copy.bytes, copy.length);
        freeResourceCopy(copy.block);
    }
    return image;
}
