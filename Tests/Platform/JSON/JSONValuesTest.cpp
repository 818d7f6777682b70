#include "JSONValues.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace JSON;

std::vector<std::string> KeysOf(const ObjectValue& object) {
    std::vector<std::string> keys;
    for (const ObjectValue::Member& member : object)
        keys.push_back(member.key.ToCStr().Get());
    return keys;
}

// A flag must come from a bool; texts and numbers must not slip into one.
static_assert(!std::is_constructible_v<BoolValue, const char*>);
static_assert(!std::is_constructible_v<BoolValue, int>);
static_assert(!std::is_constructible_v<NumberValue, bool>);

TEST(JSONObjectValue, MembersKeepInsertionOrderAndReplaceInPlace) {
    ObjectValue object;
    object.Add("zeta", 1);
    object.Add("alpha", 2);
    object.Add("mid", 3);
    object.Add("alpha", "again");

    EXPECT_EQ(KeysOf(object), (std::vector<std::string>{"zeta", "alpha", "mid"}));
    EXPECT_EQ(object.GetSize(), 3u);
    EXPECT_EQ(object.GetAs<StringValue>("alpha")->Get(), "again");
}

TEST(JSONObjectValue, AddOverloadsGiveTheExpectedTypes) {
    ObjectValue object;
    object.Add("text", "8-bit \xC3\xA9");
    object.Add("uni", GS::UniString(u"\u00E9"));
    object.Add("flag", false);
    object.Add("int", -7);
    object.Add("big", Int64(1) << 40);
    object.Add("real", 2.5);
    object.Add("none", nullptr);

    EXPECT_EQ(object.Get("text")->GetType(), Value::Type::String);
    EXPECT_EQ(object.GetAs<StringValue>("text")->Get(), GS::UniString(u"8-bit \u00E9"));
    EXPECT_EQ(object.GetAs<StringValue>("uni")->Get(), GS::UniString(u"\u00E9"));
    EXPECT_FALSE(object.GetAs<BoolValue>("flag")->Get());
    EXPECT_EQ(object.GetAs<NumberValue>("int")->Get(), -7.0);
    EXPECT_EQ(object.GetAs<NumberValue>("big")->Get(), 1099511627776.0);
    EXPECT_EQ(object.GetAs<NumberValue>("real")->Get(), 2.5);
    EXPECT_EQ(object.Get("none")->GetType(), Value::Type::Null);

    EXPECT_FALSE(object.Contains("TEXT"));
    EXPECT_TRUE(object.Get("missing").IsNull());
    EXPECT_TRUE(object.GetAs<StringValue>("missing").IsNull());
    EXPECT_TRUE(object.GetAs<NumberValue>("text").IsNull());
}

TEST(JSONObjectValue, EmptyReferenceIsRefusedAndLeavesObjectUnchanged) {
    ObjectValue object;
    object.Add("a", 1);
    EXPECT_THROW(object.Add("a", ValueRef()), GS::NullPointerException);
    EXPECT_THROW(object.Add("b", ValueRef()), GS::NullPointerException);
    EXPECT_EQ(KeysOf(object), std::vector<std::string>{"a"});
    EXPECT_EQ(object.GetAs<NumberValue>("a")->Get(), 1.0);
}

TEST(JSONArrayValue, OrderBoundsAndEmptyReferences) {
    ArrayValue array;
    for (int i = 0; i < 3; ++i)
        array.Add(GS::NewRef<NumberValue>(i));
    EXPECT_THROW(array.Add(ValueRef()), GS::NullPointerException);

    ASSERT_EQ(array.GetSize(), 3u);
    double expected = 0.0;
    for (const ValueRef& item : array) {
        EXPECT_EQ(GS::CheckedCast<NumberValue>(item)->Get(), expected);
        expected += 1.0;
    }
    EXPECT_EQ(GS::CheckedCast<NumberValue>(array.Get(2))->Get(), 2.0);
    EXPECT_THROW(array.Get(3), GS::IndexOutOfRangeException);
    EXPECT_THROW(array.Get(MaxUIndex), GS::IndexOutOfRangeException);
}

TEST(JSONTree, DeepTreeIsDestroyedWithoutRecursion) {
    // Recursive destruction of this many levels would overflow the stack.
    ValueRef root = GS::NewRef<ArrayValue>();
    ValueRef innermost = root;
    for (int i = 0; i < 300000; ++i) {
        auto next = GS::NewRef<ObjectValue>();
        GS::CheckedCast<ArrayValue>(innermost)->Add(next);
        auto array = GS::NewRef<ArrayValue>();
        next->Add("a", array);
        innermost = array;
    }
    innermost.Clear();
    root.Clear();
}

TEST(JSONTree, SubtreeHeldElsewhereSurvivesItsParent) {
    auto shared = GS::NewRef<ObjectValue>();
    shared->Add("kept", GS::NewRef<ArrayValue>());
    GS::CheckedCast<ArrayValue>(shared->Get("kept"))->Add(GS::NewRef<NullValue>());
    {
        auto parent = GS::NewRef<ArrayValue>();
        parent->Add(shared);
    }
    ASSERT_TRUE(shared->Contains("kept"));
    EXPECT_EQ(shared->GetAs<ArrayValue>("kept")->GetSize(), 1u);
}

} // namespace
