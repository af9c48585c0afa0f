#include "toolkit/UIResources.h"

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

}  // namespace

UIImage::UIImage(const void* bytes, size_t length) {
    ScopedStream stream = streamOverCopy(bytes, length);
    GpImage* image = nullptr;
    if (stream && DllExports::GdipLoadImageFromStream(stream.get(), &image) == Ok) bitmap_.reset(image);
}

void UIImage::freeResources() { bitmap_.reset(); }

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
