#include "toolkit/UIResources.h"

#include <cstring>
#include <utility>

#include "toolkit/UITypes.h"

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
// of the surfaces, when it is exactly `width` x `height`; none when it has another size, is not a bitmap or
// cannot be read. The size is asked first: a form of another size is never read.
std::vector<uint32_t> pixelsOfSize(GpImage* image, int32_t width, int32_t height) {
    ImageType type = ImageTypeUnknown;
    UINT imageWidth = 0, imageHeight = 0;
    if (image == nullptr || DllExports::GdipGetImageType(image, &type) != Ok || type != ImageTypeBitmap ||
        DllExports::GdipGetImageWidth(image, &imageWidth) != Ok ||
        DllExports::GdipGetImageHeight(image, &imageHeight) != Ok || imageWidth != static_cast<UINT>(width) ||
        imageHeight != static_cast<UINT>(height)) {
        return {};
    }
    auto* bitmap = static_cast<GpBitmap*>(image);
    const GpRect whole(0, 0, width, height);
    BitmapData locked = {};
    if (DllExports::GdipBitmapLockBits(bitmap, &whole, ImageLockModeRead, PixelFormat32bppPARGB, &locked) != Ok) {
        return {};
    }
    std::vector<uint32_t> pixels;
    const INT64 stride = locked.Stride;
    if (locked.Width == imageWidth && locked.Height == imageHeight && locked.Scan0 != nullptr &&
        (stride < 0 ? -stride : stride) >= static_cast<INT64>(width) * 4) {
        pixels.resize(static_cast<size_t>(width) * height);
        for (int32_t row = 0; row < height; ++row) {
            const BYTE* source = static_cast<const BYTE*>(locked.Scan0) + static_cast<INT64>(row) * stride;
            std::memcpy(&pixels[static_cast<size_t>(height - 1 - row) * width], source, static_cast<size_t>(width) * 4);
        }
    }
    DllExports::GdipBitmapUnlockBits(bitmap, &locked);
    return pixels;
}

// Pictures filtered to a view's size so far, for `pictureFilterings`.
uint64_t filteredSoFar = 0;

// The form drawn over (0, 0, width, height) of the logical grid at the scale onto transparent pixels of that
// rectangle's device size, exactly as a view's painting would draw it; none when it cannot be drawn.
std::vector<uint32_t> filteredPixels(GpImage* form, int32_t width, int32_t height, int32_t deviceWidth,
                                     int32_t deviceHeight, float scale) {
    std::vector<uint32_t> pixels(static_cast<size_t>(deviceWidth) * deviceHeight, 0);
    ScopedImage target = bitmapOverPixels(pixels.data(), deviceWidth, deviceHeight);
    GpGraphics* graphics = nullptr;
    if (!target || DllExports::GdipGetImageGraphicsContext(target.get(), &graphics) != Ok) return {};
    ScopedGraphics owned(graphics);
    drawThroughScale(graphics, scale);
    if (DllExports::GdipDrawImageRectI(graphics, form, 0, 0, width, height) != Ok) return {};
    ++filteredSoFar;
    return pixels;
}

// The image the bytes decode to, or none.
ScopedImage decodeImage(const void* bytes, size_t length) {
    ScopedStream stream = streamOverCopy(bytes, length);
    GpImage* image = nullptr;
    if (!stream || DllExports::GdipLoadImageFromStream(stream.get(), &image) != Ok) return nullptr;
    return ScopedImage(image);
}

}  // namespace

UIImage::UIImage(const void* bytes, size_t length) : base_(decodeImage(bytes, length)) {}

void UIImage::freeResources() {
    base_.reset();
    doubleSizeBytes_.clear();
    doubleSize_.reset();
    kept_.clear();
}

void UIImage::setDoubleSize(const void* bytes, size_t length) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    doubleSizeBytes_.assign(first, first + length);
    doubleSize_.reset();
    kept_.clear();
}

GpImage* UIImage::formFor(float scale) const {
    if (scale <= 1.0f) return base_.get();
    if (!doubleSize_ && !doubleSizeBytes_.empty()) {
        doubleSize_ = decodeImage(doubleSizeBytes_.data(), doubleSizeBytes_.size());
        std::vector<uint8_t>().swap(doubleSizeBytes_);
    }
    return doubleSize_ ? doubleSize_.get() : base_.get();
}

const std::vector<uint32_t>& UIImage::pixelsAt(int32_t width, int32_t height, float scale) const {
    if (scale != keptScale_) {
        kept_.clear();
        keptScale_ = scale;
    }
    for (const Fitted& fitted : kept_) {
        if (fitted.width == width && fitted.height == height) return fitted.pixels;
    }
    Fitted fitted{width, height, {}};
    const int32_t deviceWidth = deviceLength(width, scale);
    const int32_t deviceHeight = deviceLength(height, scale);
    GpImage* form = formFor(scale);
    if (form != nullptr && deviceWidth > 0 && deviceHeight > 0) {
        fitted.pixels = pixelsOfSize(form, deviceWidth, deviceHeight);
        if (fitted.pixels.empty()) {
            fitted.pixels = filteredPixels(form, width, height, deviceWidth, deviceHeight, scale);
        }
    }
    kept_.push_back(std::move(fitted));
    return kept_.back().pixels;
}

uint64_t pictureFilterings() { return filteredSoFar; }

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
