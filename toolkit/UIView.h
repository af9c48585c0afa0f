#pragma once
// The view tree: each view caches its own painting in a 32-bit premultiplied surface of its frame's size
// in device pixels (the frame times the display scale), and a view with children keeps a second surface,
// its composite: that painting with its visible children over it. A render repaints the dirty views and
// rebuilds, bottom-up, only the composites of subtrees in which something changed, each from clean caches;
// the root's composite is what the window pushes, and the part of it that changed is what it pushes again.
// Frames, painting and hit tests are in the logical coordinates of the window's grid; only surfaces and
// composition are in device pixels. `UIControl` adds the pressed/hover look and target/action.
#include <windows.h>
#include <gdiplus.h>

#include "toolkit/MGObject.h"
#include "toolkit/ScopedGdi.h"
#include "toolkit/UIResources.h"
#include "toolkit/UITypes.h"

class UIWindow;

class UIView : public MGObject {
public:
    // A view for the operating-system window whose display its surface is made compatible with.
    explicit UIView(HWND windowHandle);
    // A view that reports its dirtiness to the window; making it requests a render.
    explicit UIView(UIWindow* window);
    ~UIView() override;

    // Draws the view's own content into its surface, which already holds the background image (or is
    // cleared to transparent when there is none). The graphics object takes logical coordinates: the
    // bounds are the frame's size, and the display scale is in its transform.
    virtual void paint(Gdiplus::GpGraphics* graphics, UIRect bounds);
    // The picture every painting of the view starts from, stretched to its frame; none by default. It is
    // copied in from the pixels the image keeps at the view's size and scale: a picture is filtered to a
    // size once, not at every repaint, and a repaint costs a copy, not a blend of every pixel.
    virtual const UIImage* backgroundImage() const { return nullptr; }
    virtual UIView* parent() const { return parent_; }
    virtual void setParent(UIView* parent) { parent_ = parent; }
    virtual UIRect frame() const { return frame_; }
    virtual void setFrame(UIRect frame);
    virtual UIColor backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(UIColor color);
    virtual bool isDirty() const { return dirty_; }
    virtual void setDirty(bool dirty);
    virtual bool isInteractive() const { return interactive_; }
    virtual void setInteractive(bool interactive);
    virtual bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    // The display scale the view paints at, the same throughout a tree: its window's, handed down to each
    // view added. A change remakes the surfaces of the view and of every view inside it and repaints them.
    float scale() const { return scale_; }
    void setScale(float scale);

    virtual bool acceptsLeftButtonDown(uint32_t flags, int32_t x, int32_t y);
    virtual bool acceptsLeftButtonUp(uint32_t flags, int32_t x, int32_t y);
    virtual bool acceptsMouseMove(uint32_t flags, int32_t x, int32_t y);
    virtual bool acceptsMouseEnter() { return true; }
    virtual bool acceptsMouseExit() { return true; }
    virtual void onLeftButtonDown(uint32_t flags, int32_t x, int32_t y);
    virtual void onLeftButtonUpOutside(uint32_t flags, int32_t x, int32_t y);
    virtual void onLeftButtonUp(uint32_t flags, int32_t x, int32_t y);
    virtual void onMouseMove(uint32_t flags, int32_t x, int32_t y);
    virtual void onMouseEnter() {}
    virtual void onMouseExit() {}
    // The system cursor shown over the view; 0 means the arrow.
    virtual uint32_t cursorId() const { return 0; }

    // Appends the child (taking a reference on it) and hands it this view's window.
    void addChild(UIView* child);
    MGArray* children() const { return children_; }
    // The view's own painting, without its children.
    HDC drawingContext() const { return drawingContext_.get(); }
    // The view as the tree shows it: its painting with its visible children over it, as of the last render;
    // for a view that has never composited children, its painting itself.
    HDC compositeContext() const;
    UIWindow* window() const { return window_; }
    int32_t tag() const { return tag_; }
    void setTag(int32_t tag) { tag_ = tag; }

    friend bool paintTree(UIView* view);

private:
    friend class UIWindow;

    // A surface for the frame at the scale, when both give it a size; otherwise the old one stays.
    void resizeSurface();
    void repaintSurface();
    // The surface as the painting finds it: the background image, or transparent where there is none.
    void startFromBackgroundImage();
    // Rebuilds the composite from the painting and the children's composites within `area` (device pixels
    // of this view), or wholly when the composite has to be made anew; outside the area it stays as it was.
    void recomposite(UIRect area);
    // Blends the part of this view's composite that lies within `area` of its parent onto the parent's.
    void compositeOnto(HDC destination, UIRect area) const;
    // The frame at the scale: where the view lies on its parent's surfaces.
    UIRect deviceFrame() const;
    // Brings the child up to date and adds what changed of it to this view's changed area; answers whether
    // anything did.
    bool walkChild(UIView* child);
    // The part of the composite that changed since it was last taken, in device pixels; none afterwards.
    UIRect takeChangedArea();

    UIWindow* window_ = nullptr;
    int32_t tag_ = 0;
    MGArray* children_;
    UIView* parent_ = nullptr;
    // Each surface is declared before the context it is selected into, so that it goes after it: deleting
    // the context first is what frees the surface for deletion.
    Surface surface_;
    ScopedMemoryDc drawingContext_;
    Surface composite_;
    ScopedMemoryDc compositeContext_;
    UIRect frame_{0, 0, 0, 0};
    float scale_ = 1.0f;
    UIColor backgroundColor_ = UIColor::white();
    bool dirty_ = true;
    // The parent's composite holds this view as it was last rendered: hiding it must rebuild that composite.
    bool shownInParent_ = false;
    // Where the parent's composite shows it (none while hidden), and what of this view's own composite has
    // changed since the parent (or, for the root, the window's push) last took it: device pixels.
    UIRect shownArea_{0, 0, 0, 0};
    UIRect changedArea_{0, 0, 0, 0};
    bool hidden_ = false;
    bool interactive_ = true;
};

// The render walk: repaints the dirty views of the subtree and rebuilds the composites of the views in
// which something changed, each exactly once and from its children's finished composites. Answers whether
// what the view shows changed since the previous walk (so that its parent rebuilds its own composite).
bool paintTree(UIView* view);
// The deepest visible, interactive view containing (x, y), given in `view`'s own coordinates; the right
// and bottom edges belong to a view. `local` (optional) receives the point in the answering view's
// coordinates.
UIView* hitTest(UIView* view, int32_t x, int32_t y, UIPoint* local);
// A point in root coordinates expressed in the view's own coordinates.
UIPoint toLocal(const UIView* view, int32_t x, int32_t y);

class UIControl : public UIView {
public:
    explicit UIControl(HWND windowHandle);

    void paint(Gdiplus::GpGraphics* graphics, UIRect bounds) override;
    void setBackgroundColor(UIColor color) override;
    void onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) override;
    void onLeftButtonUpOutside(uint32_t flags, int32_t x, int32_t y) override;
    // Fires the action when released inside the bounds (the right and bottom edges are outside), then
    // gives back the capture and takes the look of what lies under the cursor.
    void onLeftButtonUp(uint32_t flags, int32_t x, int32_t y) override;
    void onMouseEnter() override;
    void onMouseExit() override;

    // The target is not retained: it must outlive the control or be replaced.
    void setAction(MGObject* target, int32_t actionCode);
    void setHoverColor(UIColor color) { hoverColor_ = color; }
    void setPressedColor(UIColor color) { pressedColor_ = color; }
    UIColor currentColor() const { return currentColor_; }
    bool isPressed() const { return pressed_; }

private:
    UIColor hoverColor_ = UIColor::clear();
    UIColor pressedColor_ = UIColor::clear();
    MGObject* actionTarget_ = nullptr;
    int32_t actionCode_ = 0;
    bool pressed_ = false;
    UIColor currentColor_ = UIColor::clear();
};

// Fills the rectangle with the colour, as every default painting does.
void fillRect(Gdiplus::GpGraphics* graphics, UIRect bounds, UIColor color);
