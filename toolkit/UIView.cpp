#include "toolkit/UIView.h"

#include <cstring>

#include "toolkit/UIWindow.h"

using namespace Gdiplus;

namespace {

// A compatible memory context for the window's display; the display context is only borrowed for it.
HDC makeDrawingContext(HWND windowHandle) {
    ScopedWindowDc display(windowHandle, GetDC(windowHandle));
    return CreateCompatibleDC(display.get());
}

// Copies pixels laid out as the surface lays out its own; false (nothing copied) when they are not the
// surface's size.
bool copyPixels(const std::vector<uint32_t>& pixels, const Surface& surface) {
    if (pixels.empty() || pixels.size() != static_cast<size_t>(surface.width) * surface.height) return false;
    std::memcpy(surface.bits, pixels.data(), pixels.size() * sizeof pixels[0]);
    return true;
}

}  // namespace

UIView::UIView(HWND windowHandle)
    : children_(new MGArray), drawingContext_(makeDrawingContext(windowHandle)) {}

UIView::UIView(UIWindow* window) : UIView(window->handle()) {
    window_ = window;
    window->setRedrawPending(true);
}

UIView::~UIView() { children_->release(); }

void fillRect(GpGraphics* graphics, UIRect bounds, UIColor color) {
    GpSolidFill* brush = nullptr;
    if (DllExports::GdipCreateSolidFill(color.argb(), &brush) != Ok) return;
    ScopedSolidBrush owned(brush);
    DllExports::GdipFillRectangleI(graphics, brush, bounds.x, bounds.y, bounds.width, bounds.height);
}

void UIView::paint(GpGraphics* graphics, UIRect bounds) { fillRect(graphics, bounds, backgroundColor_); }

void UIView::setFrame(UIRect frame) {
    frame_ = frame;
    resizeSurface();
    setDirty(true);
}

void UIView::setScale(float scale) {
    if (scale == scale_) return;
    scale_ = scale;
    resizeSurface();
    setDirty(true);
    MGArrayIterator children = children_->makeIterator();
    while (MGObject* child = MGArray::nextForward(children)) static_cast<UIView*>(child)->setScale(scale);
}

void UIView::resizeSurface() {
    // Only a positive size makes a surface: a negative height would give a top-down one, which the
    // clearing and painting (made for bottom-up rows) would run past. Any other size keeps the old one.
    const int32_t width = deviceLength(frame_.width, scale_);
    const int32_t height = deviceLength(frame_.height, scale_);
    if (width <= 0 || height <= 0) return;
    Surface replacement = makeSurface(width, height);
    if (replacement.bitmap) {
        SelectObject(drawingContext_.get(), replacement.bitmap.get());
        surface_ = std::move(replacement);
    }
}

void UIView::setBackgroundColor(UIColor color) {
    backgroundColor_ = color;
    setDirty(true);
}

void UIView::setDirty(bool dirty) {
    dirty_ = dirty;
    if (dirty && window_ != nullptr) window_->setRedrawPending(true);
}

void UIView::setInteractive(bool interactive) {
    if (interactive == interactive_) return;
    interactive_ = interactive;
    setDirty(true);
}

void UIView::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    setDirty(true);
}

bool UIView::acceptsLeftButtonDown(uint32_t, int32_t, int32_t) { return true; }
bool UIView::acceptsLeftButtonUp(uint32_t, int32_t, int32_t) { return true; }
bool UIView::acceptsMouseMove(uint32_t, int32_t, int32_t) { return true; }
void UIView::onLeftButtonDown(uint32_t, int32_t, int32_t) {}
void UIView::onLeftButtonUpOutside(uint32_t, int32_t, int32_t) {}
void UIView::onLeftButtonUp(uint32_t, int32_t, int32_t) {}
void UIView::onMouseMove(uint32_t, int32_t, int32_t) {}

void UIView::addChild(UIView* child) {
    children_->append(child);
    child->setParent(this);
    child->window_ = window_;
    child->parent_ = this;
    child->setScale(scale_);
    setDirty(true);
}

void UIView::repaintSurface() {
    if (surface_.bits != nullptr) {
        GdiFlush();
        startFromBackgroundImage();
        ScopedImage bitmap = bitmapOverPixels(surface_.bits, surface_.width, surface_.height);
        GpGraphics* graphics = nullptr;
        if (bitmap && DllExports::GdipGetImageGraphicsContext(bitmap.get(), &graphics) == Ok) {
            ScopedGraphics owned(graphics);
            drawThroughScale(graphics, scale_);
            paint(graphics, UIRect{0, 0, frame_.width, frame_.height});
        }
    }
    setDirty(false);
}

void UIView::startFromBackgroundImage() {
    const UIImage* picture = backgroundImage();
    const bool pictureCopied =
        picture != nullptr && copyPixels(picture->pixelsAt(frame_.width, frame_.height, scale_), surface_);
    if (!pictureCopied) std::memset(surface_.bits, 0, static_cast<size_t>(surface_.width) * surface_.height * 4);
}

HDC UIView::compositeContext() const {
    return composite_.bits != nullptr ? compositeContext_.get() : drawingContext_.get();
}

void UIView::recomposite(UIRect area) {
    if (surface_.bits == nullptr) return;
    if (!compositeContext_) {
        compositeContext_.reset(CreateCompatibleDC(drawingContext_.get()));
        if (!compositeContext_) return;
    }
    const UIRect whole{0, 0, surface_.width, surface_.height};
    if (composite_.bits == nullptr || composite_.width != surface_.width || composite_.height != surface_.height) {
        Surface replacement = makeSurface(surface_.width, surface_.height);
        if (!replacement.bitmap) return;
        SelectObject(compositeContext_.get(), replacement.bitmap.get());
        composite_ = std::move(replacement);
        area = whole;
    }
    area = intersect(area, whole);
    if (isEmpty(area)) return;
    GdiFlush();
    if (area == whole) {
        std::memcpy(composite_.bits, surface_.bits, static_cast<size_t>(surface_.width) * surface_.height * 4);
    } else {
        BitBlt(compositeContext_.get(), area.x, area.y, area.width, area.height, drawingContext_.get(), area.x,
               area.y, SRCCOPY);
    }
    MGArrayIterator children = children_->makeIterator();
    while (MGObject* child = MGArray::nextForward(children)) {
        const auto* view = static_cast<const UIView*>(child);
        if (!view->isHidden()) view->compositeOnto(compositeContext_.get(), area);
    }
}

// Each pixel is blended on its own, so a part blended now is what a blend of the whole would give there.
void UIView::compositeOnto(HDC destination, UIRect area) const {
    const UIRect place = deviceFrame();
    const UIRect part = intersect(place, area);
    if (isEmpty(part) || surface_.bits == nullptr) return;
    GdiAlphaBlend(destination, part.x, part.y, part.width, part.height, compositeContext(), part.x - place.x,
                  part.y - place.y, part.width, part.height, sharedBlend());
}

UIRect UIView::deviceFrame() const {
    return UIRect{deviceLength(frame_.x, scale_), deviceLength(frame_.y, scale_), deviceLength(frame_.width, scale_),
                  deviceLength(frame_.height, scale_)};
}

UIRect UIView::takeChangedArea() {
    const UIRect changed = changedArea_;
    changedArea_ = UIRect{0, 0, 0, 0};
    return changed;
}

// A child that stays in its place passes on only what changed inside it; one that moved, appeared or went
// changes both the place it left and the one it takes.
bool UIView::walkChild(UIView* child) {
    const UIRect before = child->shownArea_;
    const bool changed = paintTree(child);
    const UIRect after = child->isHidden() ? UIRect{0, 0, 0, 0} : child->deviceFrame();
    child->shownArea_ = after;
    UIRect inside = child->takeChangedArea();
    if (!changed) return false;
    if (before == after) {
        inside.x += after.x;
        inside.y += after.y;
        changedArea_ = unite(changedArea_, inside);
    } else {
        changedArea_ = unite(changedArea_, unite(before, after));
    }
    return true;
}

bool paintTree(UIView* view) {
    if (view == nullptr) return false;
    if (view->isHidden()) {
        const bool wasShown = view->shownInParent_;
        view->shownInParent_ = false;
        return wasShown;
    }
    bool changed = !view->shownInParent_;
    view->shownInParent_ = true;
    if (view->isDirty()) {
        view->repaintSurface();
        view->changedArea_ = UIRect{0, 0, view->surface_.width, view->surface_.height};
        changed = true;
    }
    // Every child is walked, whatever the earlier ones answered: each must come up to date in this render.
    bool childrenChanged = false;
    MGArrayIterator children = view->children()->makeIterator();
    while (MGObject* child = MGArray::nextForward(children)) {
        childrenChanged = view->walkChild(static_cast<UIView*>(child)) || childrenChanged;
    }
    // A view repainted or shown anew is composited whole; otherwise only where its children changed it.
    if (view->children()->count() > 0 && (changed || childrenChanged)) {
        view->recomposite(changed ? UIRect{0, 0, view->surface_.width, view->surface_.height} : view->changedArea_);
    }
    return changed || childrenChanged;
}

UIView* hitTest(UIView* view, int32_t x, int32_t y, UIPoint* local) {
    if (view == nullptr || view->isHidden() || !view->isInteractive()) return nullptr;
    const UIRect frame = view->frame();
    if (x < 0 || x > frame.width || y < 0 || y > frame.height) return nullptr;
    MGArrayIterator children = view->children()->makeIterator();
    while (MGObject* object = MGArray::nextBackward(children)) {
        auto* child = static_cast<UIView*>(object);
        const UIRect childFrame = child->frame();
        if (UIView* hit = hitTest(child, x - childFrame.x, y - childFrame.y, local)) return hit;
    }
    if (local != nullptr) *local = UIPoint{x, y};
    return view;
}

UIPoint toLocal(const UIView* view, int32_t x, int32_t y) {
    if (view == nullptr) return UIPoint{0, 0};
    UIPoint point{x, y};
    for (const UIView* step = view; step != nullptr; step = step->parent()) {
        const UIRect frame = step->frame();
        point.x -= frame.x;
        point.y -= frame.y;
    }
    return point;
}

UIControl::UIControl(HWND windowHandle) : UIView(windowHandle) { UIView::setBackgroundColor(UIColor::clear()); }

void UIControl::paint(GpGraphics* graphics, UIRect bounds) { fillRect(graphics, bounds, currentColor_); }

void UIControl::setBackgroundColor(UIColor color) {
    UIView::setBackgroundColor(color);
    currentColor_ = color;
}

void UIControl::setAction(MGObject* target, int32_t actionCode) {
    actionTarget_ = target;
    actionCode_ = actionCode;
}

void UIControl::onLeftButtonDown(uint32_t, int32_t, int32_t) {
    pressed_ = true;
    if (window() != nullptr) window()->captureMouse(this);
    currentColor_ = pressedColor_;
    setDirty(true);
}

void UIControl::onLeftButtonUpOutside(uint32_t, int32_t, int32_t) {
    currentColor_ = backgroundColor();
    pressed_ = false;
    setDirty(true);
}

void UIControl::onLeftButtonUp(uint32_t flags, int32_t x, int32_t y) {
    pressed_ = false;
    const UIRect bounds = frame();
    if (x >= 0 && x < bounds.width && y >= 0 && y < bounds.height) {
        if (actionTarget_ != nullptr) actionTarget_->handleAction(actionCode_, this);
    } else {
        onLeftButtonUpOutside(flags, x, y);
    }
    UIView* underCursor = window() != nullptr ? window()->releaseMouse() : nullptr;
    if (underCursor == this) {
        onMouseEnter();
    } else {
        onMouseExit();
    }
    setDirty(true);
}

void UIControl::onMouseEnter() {
    currentColor_ = hoverColor_;
    setDirty(true);
}

void UIControl::onMouseExit() {
    currentColor_ = backgroundColor();
    setDirty(true);
}
