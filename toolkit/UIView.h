#pragma once
// The view tree: each view caches its painting in a 32-bit premultiplied surface of its frame's size;
// a render repaints the dirty views and composites the tree bottom-up onto the root's surface. The same
// tree answers hit tests. `UIControl` adds the pressed/hover look and target/action.
#include <windows.h>
#include <gdiplus.h>

#include "toolkit/MGObject.h"
#include "toolkit/ScopedGdi.h"
#include "toolkit/UITypes.h"

class UIWindow;

class UIView : public MGObject {
public:
    // A view for the operating-system window whose display its surface is made compatible with.
    explicit UIView(HWND windowHandle);
    // A view that reports its dirtiness to the window; making it requests a render.
    explicit UIView(UIWindow* window);
    ~UIView() override;

    // Draws the view's own content into its surface (already cleared to transparent).
    virtual void paint(Gdiplus::GpGraphics* graphics, UIRect bounds);
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
    HDC drawingContext() const { return drawingContext_.get(); }
    UIWindow* window() const { return window_; }
    int32_t tag() const { return tag_; }
    void setTag(int32_t tag) { tag_ = tag; }

    // The render walk: repaints the view if dirty, composites its children onto it, then composites it
    // onto the parent (none for the root).
    friend void paintTree(UIView* parent, UIView* view);

private:
    friend class UIWindow;

    void repaintSurface();
    void compositeOnto(UIView& parent) const;

    UIWindow* window_ = nullptr;
    int32_t tag_ = 0;
    MGArray* children_;
    UIView* parent_ = nullptr;
    // The surface is declared first so that it goes last: the context it is selected into is deleted
    // before it, which is what frees it for deletion.
    Surface surface_;
    ScopedMemoryDc drawingContext_;
    UIRect frame_{0, 0, 0, 0};
    UIColor backgroundColor_ = UIColor::white();
    bool dirty_ = true;
    bool hidden_ = false;
    bool interactive_ = true;
};

void paintTree(UIView* parent, UIView* view);
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
