#pragma once
// The toolkit's value types, passed and returned by value.
#include <algorithm>
#include <cstdint>

// A colour as four bytes in the order r, g, b, a.
struct UIColor {
    uint8_t r;
    uint8_t g;
    uint8_t b;
    uint8_t a;

    static constexpr UIColor make(uint8_t r, uint8_t g, uint8_t b, uint8_t a) { return UIColor{r, g, b, a}; }
    static constexpr UIColor white() { return UIColor{255, 255, 255, 255}; }
    static constexpr UIColor black() { return UIColor{0, 0, 0, 255}; }
    static constexpr UIColor clear() { return UIColor{0, 0, 0, 0}; }

    // The drawing library's 32-bit ARGB form.
    constexpr uint32_t argb() const {
        return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
               (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
    }
};

struct UIRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// A rectangle without area stands for nothing: it adds nothing to another.
inline bool isEmpty(UIRect rect) { return rect.width <= 0 || rect.height <= 0; }
inline bool operator==(UIRect left, UIRect right) {
    return left.x == right.x && left.y == right.y && left.width == right.width && left.height == right.height;
}
// The smallest rectangle that holds both.
inline UIRect unite(UIRect first, UIRect second) {
    if (isEmpty(first)) return second;
    if (isEmpty(second)) return first;
    const int32_t left = std::min(first.x, second.x);
    const int32_t top = std::min(first.y, second.y);
    const int32_t right = std::max(first.x + first.width, second.x + second.width);
    const int32_t bottom = std::max(first.y + first.height, second.y + second.height);
    return UIRect{left, top, right - left, bottom - top};
}

// The part that both hold; empty when they do not meet.
inline UIRect intersect(UIRect first, UIRect second) {
    const int32_t left = std::max(first.x, second.x);
    const int32_t top = std::max(first.y, second.y);
    const int32_t right = std::min(first.x + first.width, second.x + second.width);
    const int32_t bottom = std::min(first.y + first.height, second.y + second.height);
    if (right <= left || bottom <= top) return UIRect{0, 0, 0, 0};
    return UIRect{left, top, right - left, bottom - top};
}

struct UIPoint {
    int32_t x;
    int32_t y;
};

// A length of the window's logical grid (96 to the inch) in device pixels at a display scale: the product
// in single precision, truncated toward zero. Surfaces, places on them and the pushed size all take it.
inline int32_t deviceLength(int32_t logical, float scale) {
    // Stored before it is truncated: the 32-bit build's x87 registers would otherwise keep more precision.
    volatile float product = static_cast<float>(logical) * scale;
    return static_cast<int32_t>(product);
}
