#pragma once
// The toolkit's foundation: the reference-counted root class with the target/action hook, the list of
// object references that holds a view's children, and the owned wide string that holds a label's text.
// Interface thread only; nothing here is synchronised.
#include <cstdint>
#include <memory>

class MGObject {
public:
    MGObject() = default;
    MGObject(const MGObject&) = delete;
    MGObject& operator=(const MGObject&) = delete;
    // Virtual, so that `release` and every owner that deletes through a base reference run the whole
    // chain of destructors.
    virtual ~MGObject() = default;

    // Called once when the last reference goes, before the object is destroyed.
    virtual void freeResources() {}
    // The receiving end of target/action: a clicked control calls it on its target.
    virtual void handleAction(int32_t action, MGObject* sender);

    void retain();
    // Drops one reference; at 0 or below runs `freeResources` and destroys the object.
    void release();
    int32_t refCount() const { return refCount_; }

private:
    int32_t refCount_ = 1;
};

struct MGArrayNode {
    MGObject* object;
    MGArrayNode* next;
    MGArrayNode* previous;
};

// Two cursors that move independently: `forward` from the first node made at the time the iterator was
// made, `backward` from the last one. Drawing walks forward, hit testing backward.
struct MGArrayIterator {
    MGArrayNode* forward;
    MGArrayNode* backward;
};

// A doubly linked list of object references. It takes one reference on each element when it is appended
// and never gives it back: there is no removal.
class MGArray : public MGObject {
public:
    MGArray() = default;
    ~MGArray() override;

    void append(MGObject* object);
    int32_t count() const { return count_; }

    MGArrayIterator makeIterator() const { return MGArrayIterator{first_, last_}; }
    static MGObject* nextForward(MGArrayIterator& iterator);
    static MGObject* nextBackward(MGArrayIterator& iterator);

private:
    int32_t count_ = 0;
    MGArrayNode* first_ = nullptr;
    MGArrayNode* last_ = nullptr;
};

// An owned, NUL-terminated UTF-16 string; an empty string holds no buffer.
class MGString : public MGObject {
public:
    MGString() = default;

    // Empties the string, then copies a non-empty text with its terminator.
    void setChars(const wchar_t* text);
    // A null other string changes nothing; otherwise the same as `setChars` of its characters.
    void setString(const MGString* other);

    const wchar_t* chars() const { return chars_.get(); }
    int32_t length() const { return length_; }

private:
    std::unique_ptr<wchar_t[]> chars_;
    int32_t length_ = 0;
};
