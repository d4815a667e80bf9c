#include "platform/base/KxEnumeration.h"

#include <gtest/gtest.h>

#include "platform/base/KxCString.h"

namespace {

// Counts how many bodies are alive, to see that the last handle deletes.
struct CountingImpl : KxEnumerationImpl<int> {
    explicit CountingImpl(int& alive) : alive_(alive) { ++alive_; }
    ~CountingImpl() override { --alive_; }
    bool hasMoreElements() override { return next_ < 3; }
    int nextElement() override { return next_++; }

    int& alive_;
    int next_ = 0;
};

TEST(KxEnumeration, EmptyHandleAndBaseBodyHaveNoElementsAVectorBodyItsOwnCopy) {
    KxEnumeration<KxCString> empty;
    EXPECT_FALSE(empty.isValid());
    EXPECT_FALSE(empty.hasMoreElements());
    EXPECT_THROW(empty.getImpl(), KxNullReferenceError);
    EXPECT_THROW(empty.nextElement(), KxNullReferenceError);

    // The base body is empty and refuses an element.
    KxEnumeration<KxCString> enumeration(new KxEnumerationImpl<KxCString>());
    EXPECT_FALSE(enumeration.hasMoreElements());
    EXPECT_THROW(enumeration.nextElement(), KxBoundsError);

    // A vector body walks its own copy front to back.
    std::vector<KxCString> names = {"a", "b"};
    KxEnumeration<KxCString> vector(new KxVectorEnumerationImpl<KxCString>(names));
    names.clear();
    EXPECT_EQ(vector.nextElement(), "a");
    EXPECT_EQ(vector.nextElement(), "b");
    EXPECT_FALSE(vector.hasMoreElements());
    EXPECT_THROW(vector.nextElement(), KxBoundsError);
}

TEST(KxEnumeration, CopiesShareOneBodyThatTheLastHandleDeletes) {
    int alive = 0;
    {
        KxEnumeration<int> first(new CountingImpl(alive));
        KxEnumeration<int> second = first;
        EXPECT_EQ(first.nextElement(), 0);
        EXPECT_EQ(second.nextElement(), 1);  // the same sequence, not a fresh one
        KxEnumeration<int> moved = std::move(first);
        EXPECT_FALSE(first.isValid());
        EXPECT_EQ(moved.nextElement(), 2);
        EXPECT_FALSE(second.hasMoreElements());
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
