#include "Array.hpp"
#include "Owner.hpp"
#include "Ref.hpp"

#include <gtest/gtest.h>

namespace {

struct Counted {
    static inline int alive = 0;
    int value;
    explicit Counted(int v = 0) : value(v) { ++alive; }
    Counted(const Counted& o) : value(o.value) { ++alive; }
    virtual ~Counted() { --alive; }
};

struct Derived : Counted {
    using Counted::Counted;
};

struct Other : Counted {
    using Counted::Counted;
};

class RefOwnerTest : public ::testing::Test {
protected:
    void SetUp() override { Counted::alive = 0; }
    void TearDown() override { EXPECT_EQ(Counted::alive, 0) << "an object leaked or was destroyed twice"; }
};

TEST_F(RefOwnerTest, LastCopyOfARefDestroysTheObjectOnce) {
    GS::Ref<Counted> a = GS::NewRef<Counted>(1);
    {
        GS::Ref<Counted> b = a;
        GS::Ref<Counted> c(std::move(b));
        EXPECT_EQ(a.GetRefCount(), 2);
        EXPECT_TRUE(b.IsNull());
    }
    EXPECT_EQ(Counted::alive, 1);
    a.Clear();
    EXPECT_EQ(Counted::alive, 0);
}

TEST_F(RefOwnerTest, RefFromRawPointerOwnsIt) {
    GS::Ref<Counted> r(new Derived(5));
    GS::Ref<Counted> r2 = r;
    r = nullptr;
    EXPECT_EQ(r2->value, 5);
}

TEST_F(RefOwnerTest, EmptyRefThrowsNullPointer) {
    GS::Ref<Counted> empty;
    EXPECT_TRUE(empty == nullptr);
    EXPECT_THROW((void)empty->value, GS::NullPointerException);
    EXPECT_THROW((void)*empty, GS::NullPointerException);
    EXPECT_EQ(empty.Get(), nullptr);
}

TEST_F(RefOwnerTest, CastsTestTheDynamicType) {
    GS::Ref<Counted> base = GS::NewRef<Derived>(3);
    EXPECT_EQ(GS::DynamicCast<Derived>(base)->value, 3);
    EXPECT_TRUE(GS::DynamicCast<Other>(base).IsNull());
    EXPECT_EQ(GS::CheckedCast<Derived>(base)->value, 3);
    EXPECT_THROW(GS::CheckedCast<Other>(base), GS::ClassCastException);
    EXPECT_TRUE(GS::CheckedCast<Other>(GS::Ref<Counted>()).IsNull()) << "an empty reference is not a bad cast";
}

TEST_F(RefOwnerTest, OwnerIsSoleOwnerAndReleaseHandsOwnershipOver) {
    GS::Owner<Counted> owner = GS::NewOwned<Derived>(7);
    GS::Owner<Counted> moved = std::move(owner);
    EXPECT_TRUE(owner.IsNull());
    EXPECT_THROW((void)owner->value, GS::NullPointerException);
    EXPECT_EQ(moved->value, 7);
    Counted* raw = moved.Release();
    EXPECT_EQ(Counted::alive, 1);
    delete raw;
    moved.Reset(new Counted(2));
    moved.Reset();
}

TEST_F(RefOwnerTest, ArrayOfOwnersDestroysEachOnce) {
    GS::Array<GS::Owner<Counted>> owners;
    for (int i = 0; i < 10; ++i)
        owners.Push(GS::NewOwned<Counted>(i));
    owners.Delete(3);
    EXPECT_EQ(owners.GetSize(), 9u);
    EXPECT_EQ(owners[3]->value, 4);
    EXPECT_EQ(Counted::alive, 9);
}

TEST(ArrayTest, BoundsAreCheckedAndOrderIsKept) {
    GS::Array<int> a{1, 2, 3};
    a.Insert(0, 0);
    a.Push(4);
    EXPECT_EQ(a, (GS::Array<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(a.FindFirst(3), 3u);
    EXPECT_EQ(a.FindFirst(9), MaxUIndex);
    EXPECT_THROW(a[5], GS::IndexOutOfRangeException);
    EXPECT_THROW(a.Insert(7, 1), GS::IndexOutOfRangeException);
    EXPECT_EQ(a.Pop(), 4);
    GS::Array<int> empty;
    EXPECT_THROW(empty.GetLast(), GS::IndexOutOfRangeException);
    EXPECT_THROW(empty.Pop(), GS::IndexOutOfRangeException);
}

} // namespace
