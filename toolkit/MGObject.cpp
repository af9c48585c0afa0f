#include "toolkit/MGObject.h"

#include <cwchar>
#include <utility>

void MGObject::handleAction(int32_t, MGObject*) {}

void MGObject::retain() { ++refCount_; }

void MGObject::release() {
    if (--refCount_ > 0) return;
    freeResources();
    delete this;
}

MGArray::~MGArray() {
    MGArrayNode* node = first_;
    while (node != nullptr) {
        MGArrayNode* next = node->next;
        delete node;
        node = next;
    }
}

void MGArray::append(MGObject* object) {
    object->retain();
    auto* node = new MGArrayNode{object, nullptr, last_};
    if (last_ != nullptr) {
        last_->next = node;
    } else {
        first_ = node;
    }
    last_ = node;
    ++count_;
}

MGObject* MGArray::nextForward(MGArrayIterator& iterator) {
    if (iterator.forward == nullptr) return nullptr;
    MGObject* object = iterator.forward->object;
    iterator.forward = iterator.forward->next;
    return object;
}

MGObject* MGArray::nextBackward(MGArrayIterator& iterator) {
    if (iterator.backward == nullptr) return nullptr;
    MGObject* object = iterator.backward->object;
    iterator.backward = iterator.backward->previous;
    return object;
}

void MGString::setChars(const wchar_t* text) {
    // The copy is made before the old buffer goes, so a string may be set from its own characters.
    std::unique_ptr<wchar_t[]> copy;
    size_t length = 0;
    if (text != nullptr && text[0] != L'\0') {
        length = std::wcslen(text);
        copy = std::make_unique<wchar_t[]>(length + 1);
        std::wmemcpy(copy.get(), text, length + 1);
    }
    chars_ = std::move(copy);
    length_ = static_cast<int32_t>(length);
}

void MGString::setString(const MGString* other) {
    if (other == nullptr) return;
    setChars(other->chars());
}
