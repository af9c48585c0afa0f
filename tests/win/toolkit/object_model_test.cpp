// The foundation classes: reference counting, the list's two cursors, the owned string and colours.
#include <gtest/gtest.h>

#include <cstring>

#include "toolkit/MGObject.h"
#include "toolkit/UITypes.h"

namespace {

struct Lifecycle {
    int freed = 0;
    int destroyed = 0;
};

class CountedObject : public MGObject {
public:
    explicit CountedObject(Lifecycle& lifecycle) : lifecycle_(lifecycle) {}
    ~CountedObject() override { ++lifecycle_.destroyed; }
    void freeResources() override {
        // Runs before the storage goes: the object is still whole here.
        EXPECT_EQ(0, lifecycle_.destroyed);
        ++lifecycle_.freed;
    }

private:
    Lifecycle& lifecycle_;
};

TEST(MGObjectTest, LastReleaseFreesResourcesOnceThenDestroys) {
    Lifecycle lifecycle;
    auto* object = new CountedObject(lifecycle);
    EXPECT_EQ(1, object->refCount());
    object->retain();
    object->release();
    EXPECT_EQ(1, object->refCount());
    EXPECT_EQ(0, lifecycle.freed);
    object->release();
    EXPECT_EQ(1, lifecycle.freed);
    EXPECT_EQ(1, lifecycle.destroyed);
}

TEST(MGArrayTest, EmptyListYieldsNothingFromEitherCursor) {
    MGArray list;
    MGArrayIterator iterator = list.makeIterator();
    EXPECT_EQ(nullptr, MGArray::nextForward(iterator));
    EXPECT_EQ(nullptr, MGArray::nextBackward(iterator));
    EXPECT_EQ(0, list.count());
}

TEST(MGArrayTest, CursorsWalkBothWaysIndependentlyAndAppendRetains) {
    Lifecycle lifecycle;
    CountedObject a(lifecycle), b(lifecycle), c(lifecycle);
    auto* list = new MGArray;
    list->append(&a);
    list->append(&b);
    list->append(&c);
    EXPECT_EQ(3, list->count());
    EXPECT_EQ(2, a.refCount());

    MGArrayIterator iterator = list->makeIterator();
    EXPECT_EQ(&a, MGArray::nextForward(iterator));
    EXPECT_EQ(&c, MGArray::nextBackward(iterator));
    EXPECT_EQ(&b, MGArray::nextForward(iterator));
    EXPECT_EQ(&b, MGArray::nextBackward(iterator));
    EXPECT_EQ(&a, MGArray::nextBackward(iterator));
    EXPECT_EQ(nullptr, MGArray::nextBackward(iterator));
    EXPECT_EQ(&c, MGArray::nextForward(iterator));
    EXPECT_EQ(nullptr, MGArray::nextForward(iterator));

    // The list's destruction frees its nodes; the elements keep the reference it took.
    list->release();
    EXPECT_EQ(2, a.refCount());
    EXPECT_EQ(0, lifecycle.freed);
}

TEST(MGArrayTest, ElementAppendedAfterIteratorReachesOnlyTheForwardCursor) {
    Lifecycle lifecycle;
    CountedObject a(lifecycle), b(lifecycle);
    MGArray list;
    list.append(&a);
    MGArrayIterator iterator = list.makeIterator();
    list.append(&b);
    EXPECT_EQ(&a, MGArray::nextBackward(iterator));
    EXPECT_EQ(nullptr, MGArray::nextBackward(iterator));
    EXPECT_EQ(&a, MGArray::nextForward(iterator));
    EXPECT_EQ(&b, MGArray::nextForward(iterator));
    EXPECT_EQ(nullptr, MGArray::nextForward(iterator));
}

TEST(MGStringTest, SetCharsCopiesWithTerminatorAndEmptyLeavesNoBuffer) {
    MGString text;
    text.setChars(L"hello");
    ASSERT_NE(nullptr, text.chars());
    EXPECT_EQ(5, text.length());
    EXPECT_EQ(0, std::memcmp(L"hello", text.chars(), 6 * sizeof(wchar_t)));
    text.setChars(L"");
    EXPECT_EQ(nullptr, text.chars());
    EXPECT_EQ(0, text.length());
    text.setChars(L"x");
    text.setChars(nullptr);
    EXPECT_EQ(nullptr, text.chars());
    EXPECT_EQ(0, text.length());
}

TEST(MGStringTest, SetStringKeepsOnNullClearsOnEmptyAndSurvivesItself) {
    MGString text, empty, other;
    text.setChars(L"first");
    text.setString(nullptr);
    EXPECT_EQ(5, text.length());
    other.setChars(L"second");
    text.setString(&other);
    EXPECT_EQ(6, text.length());
    EXPECT_EQ(0, std::wcscmp(L"second", text.chars()));
    EXPECT_NE(other.chars(), text.chars());
    text.setString(&text);
    ASSERT_NE(nullptr, text.chars());
    EXPECT_EQ(0, std::wcscmp(L"second", text.chars()));
    text.setString(&empty);
    EXPECT_EQ(nullptr, text.chars());
    EXPECT_EQ(0, text.length());
}

TEST(UIColorTest, BytesLieInRgbaOrderAndReachTheDrawingLibraryAsArgb) {
    const UIColor color = UIColor::make(0x11, 0x22, 0x33, 0x44);
    uint32_t word = 0;
    static_assert(sizeof color == 4, "a colour is four bytes");
    std::memcpy(&word, &color, sizeof word);
    EXPECT_EQ(0x44332211u, word);
    EXPECT_EQ(0x44112233u, color.argb());
}

}  // namespace
